#!/usr/bin/env python3
"""Draws the six built-in border masks BORD1..BORD6 of the skinned controls
as 24-bit BMP files into skin/masks/. A mask is 9 x 6 cells: three looks
(normal, hot, pressed) of 3 x 3 colour cells side by side over their 3 x 3
alpha cells; fuchsia marks pixels left out of the control. Each look is
drawn as one small frame whose pixels depend on their distance to its
edges, so edge and centre cells tile without seams. Run it again after
changing a mask; the build embeds the committed files."""
import importlib.util
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
_spec = importlib.util.spec_from_file_location("pictures", HERE / "draw-dialog-pictures.py")
_pictures = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_pictures)
write_bmp = _pictures.write_bmp

FUCHSIA = (255, 0, 255)
OPAQUE = 0      # alpha: the mask colour replaces the picture
CLEAR = 255     # alpha: the picture shows (nearly) unchanged
FACE = (192, 192, 192)
FRAME = (64, 64, 64)
LIGHT = (255, 255, 255)
DARK = (96, 96, 96)


class Look:
    """Distances of a pixel (u, v) of a gw x gh look to its four edges."""

    def __init__(self, u, v, gw, gh):
        self.left, self.top, self.right, self.bottom = u, v, gw - 1 - u, gh - 1 - v
        self.d = min(self.left, self.top, self.right, self.bottom)

    def corner(self, reach):
        """Distances into the nearest corner when both lie below reach."""
        dx, dy = min(self.left, self.right), min(self.top, self.bottom)
        return (dx, dy) if dx < reach and dy < reach else None

    def lit(self):
        """+1 nearer the top or left edge, -1 nearer the bottom or right, 0 on the diagonal."""
        a, b = min(self.left, self.top), min(self.right, self.bottom)
        return (a < b) - (a > b)


def shade(look, state, ramp, raised, sunken, face=FACE):
    """Inner shading over len(ramp) pixels: flat (state 0), raised (1), sunken (2)."""
    alpha = ramp[look.d - 1] if 1 <= look.d <= len(ramp) else CLEAR
    lit = look.lit() * (1 if state == 1 else -1 if state == 2 else 0)
    colour = raised if lit > 0 else sunken if lit < 0 else face
    return colour, alpha


def bord2(look, state):
    """The forms' mask: a dark-grey frame less its four corner pixels."""
    if look.corner(1):
        return FUCHSIA, OPAQUE
    if look.d == 0:
        return FRAME, OPAQUE
    return shade(look, state, (64, 128, 192), LIGHT, DARK)


def rounded(look):
    """Three see-through pixels in each outer corner, a frame pixel inside them."""
    c = look.corner(3)
    if c and sum(c) < 2:
        return "cut"
    if c and sum(c) == 2 or look.d == 0:
        return "edge"
    return None


def bord1(look, state):
    kind = rounded(look)
    if kind == "cut":
        return FUCHSIA, OPAQUE
    if kind == "edge":
        return FRAME, OPAQUE
    ramp = (20, 70, 130, 200) if state == 1 else (40, 100, 160, 220)  # hot: stronger
    return shade(look, 2 if state == 2 else 1, ramp, LIGHT, (40, 40, 40))


def bord3(look, state):
    kind = rounded(look)
    if kind == "cut":
        return FUCHSIA, OPAQUE
    outer, inner = ((224, 224, 224), (48, 48, 48)) if state != 2 else ((48, 48, 48), (224, 224, 224))
    if kind == "edge":
        return outer, OPAQUE
    if look.d == 1:
        return (inner if state != 1 else (0, 0, 128)), OPAQUE
    return FACE, (96 if look.d == 2 else CLEAR)


def bord4(look, state, cw, ch):
    """Opaque frame lines with a diamond lattice in the corner cells."""
    if look.d in (0, 2):
        return FRAME, OPAQUE
    if look.d == 1:
        return ((255, 230, 160) if state == 1 else LIGHT if state == 0 else DARK), OPAQUE
    c = look.corner(min(cw, ch))
    if c and c[0] < cw - 1 and c[1] < ch - 1 and (c[0] + c[1]) % 4 == 0:
        return (150, 110, 40), OPAQUE
    return shade(look, state, (), LIGHT, DARK)


def bord5(look, state):
    """Small: single see-through corner pixels, a light face, a dark right edge."""
    if look.corner(1):
        return FUCHSIA, OPAQUE
    dark_edge = look.left if state == 2 else look.right
    if look.d == 0 or dark_edge <= 1:
        return (FRAME if dark_edge <= 1 else (128, 128, 128)), OPAQUE
    return (240, 240, 240), (64 if state == 1 else 128)


def bord6(look, state):
    """Large: corners rounded with radius 6, a frame line, shading over 8 pixels."""
    c = look.corner(6)
    if c and (5.5 - c[0]) ** 2 + (5.5 - c[1]) ** 2 > 36:
        return FUCHSIA, OPAQUE
    if look.d == 0 or c and (5.5 - c[0]) ** 2 + (5.5 - c[1]) ** 2 > 25:
        return FRAME, OPAQUE
    return shade(look, state, (24, 56, 88, 120, 152, 184, 216, 240), LIGHT, DARK)


def mask(cw, ch, draw):
    gw, gh, half = 3 * cw, 3 * ch, 3 * ch

    def pixel(x, y):
        state, u = divmod(x, gw)
        colour, alpha = draw(Look(u, y % half, gw, gh), state)
        return colour if y < half else (alpha, alpha, alpha)

    return 9 * cw, 6 * ch, pixel


def main():
    folder = HERE.parent / "skin" / "masks"
    folder.mkdir(exist_ok=True)
    masks = {
        "BORD1": mask(10, 10, bord1),
        "BORD2": mask(10, 10, bord2),
        "BORD3": mask(10, 10, bord3),
        "BORD4": mask(10, 10, lambda look, state: bord4(look, state, 10, 10)),
        "BORD5": mask(6, 6, bord5),
        "BORD6": mask(50, 16, bord6),
    }
    for name, (width, height, pixel) in masks.items():
        write_bmp(folder / f"{name}.bmp", width, height, pixel)


if __name__ == "__main__":
    main()
