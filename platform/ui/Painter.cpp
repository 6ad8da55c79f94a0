#include "platform/ui/Painter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Colors.h"
#include "platform/ui/FontEngine.h"
#include "platform/ui/Graphic.h"

namespace platform::ui {

namespace {

TColor Plain(TColor c) { return ColorToRGB(c) & 0x00FFFFFF; }

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Pixel-centre test of a rounded rectangle [l, r) x [t, b) whose corners
// are quarters of an ellipse of rx, ry half-axes (0: square corners).
struct ShapeTest {
  double L, T, R, B, Rx, Ry;
  ShapeTest(int32_t l, int32_t t, int32_t r, int32_t b, int32_t ew, int32_t eh)
      : L(l), T(t), R(r), B(b),
        Rx(std::clamp<double>(ew, 0, std::max(0, r - l)) / 2.0),
        Ry(std::clamp<double>(eh, 0, std::max(0, b - t)) / 2.0) {}
  bool operator()(int32_t x, int32_t y) const {
    const double px = x + 0.5;
    const double py = y + 0.5;
    if (px < L || px > R || py < T || py > B) return false;
    if (Rx <= 0 || Ry <= 0) return true;
    const double cx = std::clamp(px, L + Rx, R - Rx);
    const double cy = std::clamp(py, T + Ry, B - Ry);
    const double dx = (px - cx) / Rx;
    const double dy = (py - cy) / Ry;
    return dx * dx + dy * dy <= 1.0;
  }
};

// DrawText's input after "&" prefixes are resolved: the shown bytes and
// the indexes of those underlined.
struct PrefixedText {
  std::string Text;
  std::vector<int> Underlined;
};

PrefixedText ResolvePrefixes(std::string_view text, bool prefixes) {
  PrefixedText out;
  if (!prefixes) {
    out.Text = std::string(text);
    return out;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out.Text += text[i];
      continue;
    }
    if (i + 1 >= text.size()) break;  // a lone "&" at the end shows nothing
    if (text[i + 1] != '&') out.Underlined.push_back(static_cast<int>(out.Text.size()));
    out.Text += text[++i];
  }
  return out;
}

}  // namespace

// ---- pen and brush ----

void TPen::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TPen*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  color_ = other->color_;
  width_ = other->width_;
  style_ = other->style_;
}

void TBrush::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TBrush*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  color_ = other->color_;
  style_ = other->style_;
}

// ---- state ----

struct TPainter::State {
  TPen Pen;
  TBrush Brush;
  TFont Font;
  TPoint PenPos;
  int BkMode;
  TColor TextColor;
  TColor BkColor;
  std::optional<TRegion> Clip;
};

TPainter::TPainter() { SyncDeviceState(); }

TPainter::~TPainter() = default;

HDC TPainter::Handle() {
  SyncDeviceState();
  return this;
}

void TPainter::SyncDeviceState() {
  textColor_ = Font().Color();
  bkColor_ = brush_.Color();
  bkMode_ = brush_.Style() == TBrushStyle::bsClear ? TRANSPARENT : OPAQUE;
}

int TPainter::SetBkMode(int mode) {
  const int old = bkMode_;
  if (mode == TRANSPARENT || mode == OPAQUE) bkMode_ = mode;
  return old;
}

TColor TPainter::SetTextColor(TColor color) {
  const TColor old = textColor_;
  textColor_ = color;
  return old;
}

TColor TPainter::SetBkColor(TColor color) {
  const TColor old = bkColor_;
  bkColor_ = color;
  return old;
}

int TPainter::SaveDC() {
  auto s = std::make_unique<State>();
  s->Pen.Assign(&pen_);
  s->Brush.Assign(&brush_);
  s->Font.Assign(&Font());
  s->PenPos = penPos_;
  s->BkMode = bkMode_;
  s->TextColor = textColor_;
  s->BkColor = bkColor_;
  s->Clip = clip_;
  saved_.push_back(std::move(s));
  return static_cast<int>(saved_.size());
}

bool TPainter::RestoreDC(int level) {
  const int depth = static_cast<int>(saved_.size());
  if (level < 0) level = depth + 1 + level;
  if (level < 1 || level > depth) return false;
  const State& s = *saved_[static_cast<std::size_t>(level - 1)];
  pen_.Assign(&s.Pen);
  brush_.Assign(&s.Brush);
  Font().Assign(&s.Font);
  penPos_ = s.PenPos;
  bkMode_ = s.BkMode;
  textColor_ = s.TextColor;
  bkColor_ = s.BkColor;
  clip_ = s.Clip;
  saved_.resize(static_cast<std::size_t>(level - 1));
  return true;
}

// ---- clipping ----

TRect TPainter::TargetBounds() const {
  if (target_ == nullptr) return {};
  return {0, 0, target_->Width(), target_->Height()};
}

TRegion TPainter::EffectiveClip() const { return clip_ ? *clip_ : TRegion(TargetBounds()); }

int TPainter::SelectClipRgn(const TRegion* region) {
  if (region == nullptr) {
    clip_.reset();
    return SIMPLEREGION;
  }
  clip_ = *region;
  return clip_->Kind();
}

int TPainter::IntersectClipRect(int32_t l, int32_t t, int32_t r, int32_t b) {
  clip_ = TRegion::Combine(EffectiveClip(), TRegion(TRect{l, t, r, b}), RGN_AND);
  return clip_->Kind();
}

int TPainter::ExcludeClipRect(int32_t l, int32_t t, int32_t r, int32_t b) {
  clip_ = TRegion::Combine(EffectiveClip(), TRegion(TRect{l, t, r, b}), RGN_DIFF);
  return clip_->Kind();
}

TRect TPainter::ClipRect() const { return clip_ ? clip_->Bounds() : TargetBounds(); }

// ---- pixels ----

bool TPainter::Visible(int32_t x, int32_t y) const {
  if (target_ == nullptr || x < 0 || y < 0 || x >= target_->Width() || y >= target_->Height()) return false;
  return !clip_ || clip_->Contains(x, y);
}

void TPainter::Put(int32_t x, int32_t y, TColor rgb) {
  if (!Visible(x, y)) return;
  uint8_t* p = target_->ScanLine(y) + static_cast<std::ptrdiff_t>(x) * target_->BytesPerPixel();
  p[0] = GetBValue(rgb);
  p[1] = GetGValue(rgb);
  p[2] = GetRValue(rgb);
}

void TPainter::Blend(int32_t x, int32_t y, TColor rgb, unsigned coverage) {
  if (coverage == 0 || !Visible(x, y)) return;
  uint8_t* p = target_->ScanLine(y) + static_cast<std::ptrdiff_t>(x) * target_->BytesPerPixel();
  const uint8_t c[3] = {GetBValue(rgb), GetGValue(rgb), GetRValue(rgb)};
  for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>((c[i] * coverage + p[i] * (255 - coverage) + 127) / 255);
}

TColor TPainter::Pixel(int32_t x, int32_t y) const {
  if (!Visible(x, y)) return CLR_INVALID;
  const uint8_t* p = target_->ScanLine(y) + static_cast<std::ptrdiff_t>(x) * target_->BytesPerPixel();
  return RGB(p[2], p[1], p[0]);
}

void TPainter::SetPixel(int32_t x, int32_t y, TColor color) { Put(x, y, Plain(color)); }

void TPainter::FillSpan(int32_t y, int32_t x0, int32_t x1, TColor rgb) {
  if (target_ == nullptr || y < 0 || y >= target_->Height()) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, target_->Width());
  if (x0 >= x1) return;
  uint8_t* row = target_->ScanLine(y);
  const int bpp = target_->BytesPerPixel();
  auto fill = [&](int32_t a, int32_t b) {
    for (int32_t x = a; x < b; ++x) {
      uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * bpp;
      p[0] = GetBValue(rgb);
      p[1] = GetGValue(rgb);
      p[2] = GetRValue(rgb);
    }
  };
  if (!clip_) {
    fill(x0, x1);
    return;
  }
  std::vector<TRegion::Span> spans;
  clip_->RowSpans(y, x0, x1, spans);
  for (const auto& s : spans) fill(s.X0, s.X1);
}

void TPainter::FillArea(const TRect& r, TColor rgb) {
  if (target_ == nullptr) return;
  const int32_t top = std::max(r.Top, 0);
  const int32_t bottom = std::min(r.Bottom, target_->Height());
  for (int32_t y = top; y < bottom; ++y) FillSpan(y, r.Left, r.Right, rgb);
}

// ---- lines ----

void TPainter::Stamp(int32_t x, int32_t y, int32_t w, TColor rgb) {
  if (w <= 1) {
    Put(x, y, rgb);
    return;
  }
  // A disc of diameter w around the pixel (centred between pixels for an
  // even width).
  const double c = (w % 2 == 0) ? -0.5 : 0.0;
  const double r2 = (w / 2.0) * (w / 2.0);
  for (int32_t j = -(w / 2); j <= (w - 1) / 2; ++j)
    for (int32_t i = -(w / 2); i <= (w - 1) / 2; ++i)
      if ((i - c) * (i - c) + (j - c) * (j - c) <= r2) Put(x + i, y + j, rgb);
}

void TPainter::Line(TPoint from, TPoint to, bool includeLast) {
  if (pen_.Style() == TPenStyle::psClear || target_ == nullptr) return;
  const TColor rgb = Plain(pen_.Color());
  const int32_t w = pen_.Width();
  const int64_t dx = static_cast<int64_t>(to.X) - from.X;
  const int64_t dy = static_cast<int64_t>(to.Y) - from.Y;
  const int64_t n = std::max(std::llabs(dx), std::llabs(dy));
  if (w > 1) includeLast = true;  // round ends
  if (n == 0) {
    if (includeLast) Stamp(from.X, from.Y, w, rgb);
    return;
  }
  // Step along the major axis; the minor coordinate is the exact one
  // rounded, halves away from the start. Only steps that can reach the
  // target are walked.
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const int64_t major0 = xMajor ? from.X : from.Y;
  const int64_t s = (xMajor ? dx : dy) > 0 ? 1 : -1;
  const int64_t lo = -w;
  const int64_t hi = static_cast<int64_t>(xMajor ? target_->Width() : target_->Height()) + w;
  int64_t tFirst = s > 0 ? lo - major0 : major0 - hi;
  int64_t tLast = s > 0 ? hi - major0 : major0 - lo;
  tFirst = std::max<int64_t>(tFirst, 0);
  tLast = std::min<int64_t>(tLast, includeLast ? n : n - 1);
  const int64_t minorDelta = xMajor ? dy : dx;
  const int64_t minor0 = xMajor ? from.Y : from.X;
  for (int64_t t = tFirst; t <= tLast; ++t) {
    const int64_t major = major0 + s * t;
    const int64_t num = 2 * t * std::llabs(minorDelta) + n;
    const int64_t minor = minor0 + (minorDelta < 0 ? -1 : 1) * (num / (2 * n));
    const int64_t x = xMajor ? major : minor;
    const int64_t y = xMajor ? minor : major;
    if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) continue;
    Stamp(static_cast<int32_t>(x), static_cast<int32_t>(y), w, rgb);
  }
}

void TPainter::LineTo(int32_t x, int32_t y) {
  Line(penPos_, {x, y}, false);
  penPos_ = {x, y};
}

void TPainter::Polyline(std::span<const TPoint> points) {
  for (std::size_t i = 1; i < points.size(); ++i) Line(points[i - 1], points[i], false);
}

// ---- shapes ----

void TPainter::Shape(int32_t l, int32_t t, int32_t r, int32_t b, int32_t ew, int32_t eh) {
  if (target_ == nullptr) return;
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  const bool brushOn = brush_.Style() == TBrushStyle::bsSolid;
  const TColor fill = Plain(brush_.Color());
  const TRect bounds = TargetBounds();
  if (pen_.Style() == TPenStyle::psClear) {
    if (!brushOn) return;
    const ShapeTest inside(l, t, r - 1, b - 1, ew, eh);
    for (int32_t y = std::max(t, bounds.Top); y < std::min(b - 1, bounds.Bottom); ++y)
      for (int32_t x = std::max(l, bounds.Left); x < std::min(r - 1, bounds.Right); ++x)
        if (inside(x, y)) Put(x, y, fill);
    return;
  }
  const int32_t w = std::max(1, std::min(pen_.Width(), std::max(r - l, b - t)));
  const TColor line = Plain(pen_.Color());
  const ShapeTest outer(l, t, r, b, ew, eh);
  const ShapeTest inner(l + w - 1, t + w - 1, r - w + 1, b - w + 1, ew - 2 * (w - 1), eh - 2 * (w - 1));
  for (int32_t y = std::max(t, bounds.Top); y < std::min(b, bounds.Bottom); ++y)
    for (int32_t x = std::max(l, bounds.Left); x < std::min(r, bounds.Right); ++x) {
      if (!outer(x, y)) continue;
      const bool edge = !inner(x - 1, y) || !inner(x + 1, y) || !inner(x, y - 1) || !inner(x, y + 1);
      if (edge)
        Put(x, y, line);
      else if (brushOn)
        Put(x, y, fill);
    }
}

void TPainter::Rectangle(int32_t l, int32_t t, int32_t r, int32_t b) { Shape(l, t, r, b, 0, 0); }

void TPainter::RoundRect(int32_t l, int32_t t, int32_t r, int32_t b, int32_t ew, int32_t eh) {
  Shape(l, t, r, b, std::abs(ew), std::abs(eh));
}

void TPainter::Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) {
  Shape(l, t, r, b, std::abs(r - l), std::abs(b - t));
}

void TPainter::Polygon(std::span<const TPoint> points) {
  if (target_ == nullptr || points.empty()) return;
  if (brush_.Style() == TBrushStyle::bsSolid && points.size() >= 3) {
    const TColor fill = Plain(brush_.Color());
    int64_t minY = INT32_MAX;
    int64_t maxY = INT32_MIN;
    for (const TPoint& p : points) {
      minY = std::min<int64_t>(minY, p.Y);
      maxY = std::max<int64_t>(maxY, p.Y);
    }
    minY = std::max<int64_t>(minY, 0);
    maxY = std::min<int64_t>(maxY, target_->Height());
    std::vector<double> xs;
    for (int64_t y = minY; y < maxY; ++y) {
      const double py = static_cast<double>(y) + 0.5;
      xs.clear();
      for (std::size_t i = 0; i < points.size(); ++i) {
        const TPoint& a = points[i];
        const TPoint& c = points[(i + 1) % points.size()];
        if ((a.Y > py) == (c.Y > py)) continue;
        xs.push_back(a.X + (py - a.Y) * (static_cast<double>(c.X) - a.X) / (static_cast<double>(c.Y) - a.Y));
      }
      std::sort(xs.begin(), xs.end());
      for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
        // Pixels whose centre x + 0.5 lies in [xs[i], xs[i+1]).
        const double first = std::clamp(std::ceil(xs[i] - 0.5), -1.0, static_cast<double>(target_->Width()));
        const double end = std::clamp(std::ceil(xs[i + 1] - 0.5), -1.0, static_cast<double>(target_->Width()));
        FillSpan(static_cast<int32_t>(y), static_cast<int32_t>(first), static_cast<int32_t>(end), fill);
      }
    }
  }
  if (points.size() < 2) return;
  for (std::size_t i = 0; i < points.size(); ++i) Line(points[i], points[(i + 1) % points.size()], false);
}

void TPainter::FillRect(const TRect& r) {
  if (brush_.Style() == TBrushStyle::bsClear) return;
  FillArea(r, Plain(brush_.Color()));
}

void TPainter::FrameRect(const TRect& r) {
  if (brush_.Style() == TBrushStyle::bsClear || r.Left >= r.Right || r.Top >= r.Bottom) return;
  const TColor c = Plain(brush_.Color());
  FillArea({r.Left, r.Top, r.Right, r.Top + 1}, c);
  FillArea({r.Left, r.Bottom - 1, r.Right, r.Bottom}, c);
  FillArea({r.Left, r.Top, r.Left + 1, r.Bottom}, c);
  FillArea({r.Right - 1, r.Top, r.Right, r.Bottom}, c);
}

// ---- pictures and copies ----

void TPainter::Draw(int32_t x, int32_t y, const TGraphic& graphic) {
  graphic.Draw(*this, {x, y, x + graphic.Width(), y + graphic.Height()});
}

void TPainter::StretchDraw(const TRect& r, const TGraphic& graphic) { graphic.Draw(*this, r); }

void TPainter::CopyRect(const TRect& dest, TPainter& source, const TRect& src) {
  StretchBlt(dest, &source, src, SRCCOPY);
}

namespace {

// Scaled copies ignore rectangles wider or higher than this, which keeps
// their sampling arithmetic inside 64 bits.
constexpr int64_t kMaxExtent = int64_t{1} << 30;

// Source pixel for destination offset d of a span of dn pixels scaled
// from sn source pixels: the one under the destination pixel's left edge.
int64_t SampleAt(int64_t d, int64_t dn, int64_t sn) { return FloorDiv(d * sn, dn); }

}  // namespace

void TPainter::DrawBitmap(const TBitmap& source, const TRect& dest, const TRect& srcRect) {
  if (target_ == nullptr || source.Empty()) return;
  const int64_t dw = static_cast<int64_t>(dest.Right) - dest.Left;
  const int64_t dh = static_cast<int64_t>(dest.Bottom) - dest.Top;
  const int64_t sw = static_cast<int64_t>(srcRect.Right) - srcRect.Left;
  const int64_t sh = static_cast<int64_t>(srcRect.Bottom) - srcRect.Top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  if (dw > kMaxExtent || dh > kMaxExtent || sw > kMaxExtent || sh > kMaxExtent) return;
  TBitmap copy;  // reading and writing the same bitmap: read from a copy
  const TBitmap* src = &source;
  if (src == target_) {
    copy.Assign(&source);
    src = &copy;
  }
  const int sbpp = src->BytesPerPixel();
  const int dbpp = target_->BytesPerPixel();
  const int64_t y0 = std::max<int64_t>(dest.Top, 0);
  const int64_t y1 = std::min<int64_t>(dest.Bottom, target_->Height());
  const int64_t x0 = std::max<int64_t>(dest.Left, 0);
  const int64_t x1 = std::min<int64_t>(dest.Right, target_->Width());
  std::vector<TRegion::Span> spans;
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t sy = srcRect.Top + SampleAt(y - dest.Top, dh, sh);
    if (sy < 0 || sy >= src->Height()) continue;
    const uint8_t* srow = src->ScanLine(static_cast<int32_t>(sy));
    uint8_t* drow = target_->ScanLine(static_cast<int32_t>(y));
    if (clip_)
      clip_->RowSpans(static_cast<int32_t>(y), static_cast<int32_t>(x0), static_cast<int32_t>(x1), spans);
    else
      spans.assign(1, {static_cast<int32_t>(x0), static_cast<int32_t>(x1)});
    for (const auto& span : spans)
      for (int64_t x = span.X0; x < span.X1; ++x) {
        const int64_t sx = srcRect.Left + SampleAt(x - dest.Left, dw, sw);
        if (sx < 0 || sx >= src->Width()) continue;
        std::memcpy(drow + x * dbpp, srow + sx * sbpp, 3);
      }
  }
}

void TPainter::DrawBitmapBlended(const TBitmap& source, const TRect& dest) {
  if (source.PixelFormat() != TPixelFormat::pf32bit) {
    DrawBitmap(source, dest, {0, 0, source.Width(), source.Height()});
    return;
  }
  if (target_ == nullptr || source.Empty() || dest.Left >= dest.Right || dest.Top >= dest.Bottom) return;
  if (static_cast<int64_t>(dest.Right) - dest.Left > kMaxExtent || static_cast<int64_t>(dest.Bottom) - dest.Top > kMaxExtent) return;
  const TRect bounds = TargetBounds();
  for (int32_t y = std::max(dest.Top, bounds.Top); y < std::min(dest.Bottom, bounds.Bottom); ++y) {
    const int64_t sy = SampleAt(y - dest.Top, dest.Height(), source.Height());
    const uint8_t* srow = source.ScanLine(static_cast<int32_t>(sy));
    for (int32_t x = std::max(dest.Left, bounds.Left); x < std::min(dest.Right, bounds.Right); ++x) {
      const uint8_t* p = srow + 4 * SampleAt(x - dest.Left, dest.Width(), source.Width());
      Blend(x, y, RGB(p[2], p[1], p[0]), p[3]);
    }
  }
}

bool TPainter::StretchBlt(const TRect& dest, TPainter* src, const TRect& srcRect, uint32_t rop) {
  if (target_ == nullptr) return false;
  if (rop == BLACKNESS || rop == WHITENESS) {
    FillArea(dest, rop == BLACKNESS ? clBlack : clWhite);
    return true;
  }
  if (rop != SRCCOPY || src == nullptr || src->target_ == nullptr) return false;
  DrawBitmap(*src->target_, dest, srcRect);
  return true;
}

bool TPainter::BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, TPainter* src, int32_t sx, int32_t sy,
                      uint32_t rop) {
  if (w <= 0 || h <= 0) return rop == SRCCOPY || rop == BLACKNESS || rop == WHITENESS;
  auto end = [](int32_t a, int32_t n) {
    return static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(a) + n, INT32_MIN, INT32_MAX));
  };
  // An end cut at the integer range shortens both sides alike.
  const int32_t cw = static_cast<int32_t>(std::min<int64_t>(end(x, w) - static_cast<int64_t>(x), end(sx, w) - static_cast<int64_t>(sx)));
  const int32_t ch = static_cast<int32_t>(std::min<int64_t>(end(y, h) - static_cast<int64_t>(y), end(sy, h) - static_cast<int64_t>(sy)));
  return StretchBlt({x, y, x + cw, y + ch}, src, {sx, sy, sx + cw, sy + ch}, rop);
}

// ---- text ----

TSize TPainter::TextExtent(std::string_view text) const {
  FontEngine& engine = FontEngine::Instance();
  return {engine.TextWidth(Font(), text), engine.Metrics(Font()).Height};
}

void TPainter::DrawLine(int32_t x, int32_t top, std::string_view text, const std::vector<int>& underlined,
                        const std::optional<TRect>& clip, bool expandTabs) {
  FontEngine& engine = FontEngine::Instance();
  const TFont& font = Font();
  const TTextMetrics m = engine.Metrics(font);
  const int32_t tab = 8 * m.AveCharWidth;
  auto inClip = [&](int32_t px, int32_t py) { return !clip || clip->Contains({px, py}); };
  // Pen positions of every byte, then the width of the whole line.
  std::vector<int32_t> starts(text.size() + 1, x);
  int32_t pen = x;
  for (std::size_t i = 0; i < text.size(); ++i) {
    starts[i] = pen;
    if (expandTabs && text[i] == '\t')
      pen = tab > 0 ? x + static_cast<int32_t>((pen - x) / tab + 1) * tab : pen;
    else
      pen += engine.Glyph(font, static_cast<uint8_t>(text[i]))->Advance;
  }
  starts[text.size()] = pen;
  if (bkMode_ == OPAQUE) {
    const TColor bk = Plain(bkColor_);
    for (int32_t py = top; py < top + m.Height; ++py)
      for (int32_t px = x; px < pen; ++px)
        if (inClip(px, py)) Put(px, py, bk);
  }
  const TColor ink = Plain(textColor_);
  const int32_t baseline = top + m.Ascent;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (expandTabs && text[i] == '\t') continue;
    const auto g = engine.Glyph(font, static_cast<uint8_t>(text[i]));
    for (int32_t gy = 0; gy < g->Rows; ++gy)
      for (int32_t gx = 0; gx < g->Width; ++gx) {
        const unsigned cov = g->Coverage[static_cast<std::size_t>(gy) * static_cast<std::size_t>(g->Width) +
                                         static_cast<std::size_t>(gx)];
        const int32_t px = starts[i] + g->Left + gx;
        const int32_t py = baseline - g->Top + gy;
        if (cov != 0 && inClip(px, py)) Blend(px, py, ink, cov);
      }
  }
  auto rule = [&](int32_t x0, int32_t x1, int32_t row) {
    for (int32_t py = row; py < row + m.LineThickness; ++py)
      for (int32_t px = x0; px < x1; ++px)
        if (inClip(px, py)) Put(px, py, ink);
  };
  for (int index : underlined)
    if (index >= 0 && static_cast<std::size_t>(index) < text.size())
      rule(starts[static_cast<std::size_t>(index)], starts[static_cast<std::size_t>(index) + 1],
           baseline + m.UnderlineOffset);
  if ((font.Style() & fsUnderline) != 0) rule(x, pen, baseline + m.UnderlineOffset);
  if ((font.Style() & fsStrikeOut) != 0) rule(x, pen, baseline - m.StrikeOffset);
}

void TPainter::TextOut(int32_t x, int32_t y, std::string_view text) {
  SyncDeviceState();
  DrawLine(x, y, text, {}, std::nullopt, false);
  penPos_ = {x + TextWidth(text), y};
}

void TPainter::TextRect(const TRect& r, int32_t x, int32_t y, std::string_view text) {
  SyncDeviceState();
  if (bkMode_ == OPAQUE) FillArea(r, Plain(bkColor_));
  const int mode = bkMode_;
  bkMode_ = TRANSPARENT;
  DrawLine(x, y, text, {}, r, false);
  bkMode_ = mode;
}

struct TPainter::TextLine {
  std::string Text;
  std::vector<int> Underlined;
  int32_t Width = 0;
};

int32_t TPainter::DrawText(std::string_view text, TRect& r, uint32_t format) {
  FontEngine& engine = FontEngine::Instance();
  const TFont& font = Font();
  const TTextMetrics m = engine.Metrics(font);
  const bool single = (format & DT_SINGLELINE) != 0;
  const bool expandTabs = (format & DT_EXPANDTABS) != 0;
  const bool wordBreak = (format & DT_WORDBREAK) != 0 && !single;
  const int32_t tab = 8 * m.AveCharWidth;
  auto width = [&](std::string_view s) {
    int32_t w = 0;
    for (char c : s) {
      if (expandTabs && c == '\t')
        w = tab > 0 ? (w / tab + 1) * tab : w;
      else
        w += engine.Glyph(font, static_cast<uint8_t>(c))->Advance;
    }
    return w;
  };

  const PrefixedText shown = ResolvePrefixes(text, (format & DT_NOPREFIX) == 0);
  std::vector<TextLine> lines;
  auto addLine = [&](std::size_t begin, std::size_t end) {
    TextLine line;
    line.Text = shown.Text.substr(begin, end - begin);
    for (int u : shown.Underlined)
      if (static_cast<std::size_t>(u) >= begin && static_cast<std::size_t>(u) < end)
        line.Underlined.push_back(u - static_cast<int>(begin));
    line.Width = width(line.Text);
    lines.push_back(std::move(line));
  };
  // Breaks a paragraph [begin, end) at spaces so that each line fits r's
  // width; a word wider than r stays whole on a line of its own.
  auto addParagraph = [&](std::size_t begin, std::size_t end) {
    const std::string_view p(shown.Text);
    if (!wordBreak) {
      addLine(begin, end);
      return;
    }
    std::size_t pos = begin;
    do {
      std::size_t lineEnd = pos;
      std::size_t i = pos;
      bool first = true;
      while (i < end) {
        std::size_t j = i;
        while (j < end && p[j] == ' ') ++j;
        while (j < end && p[j] != ' ') ++j;
        if (!first && width(p.substr(pos, j - pos)) > r.Width()) break;
        lineEnd = j;
        while (j < end && p[j] == ' ') ++j;
        i = j;
        first = false;
      }
      addLine(pos, lineEnd);
      pos = i;
    } while (pos < end);
  };
  if (single) {
    // Line ends have no meaning on one line and are not shown.
    std::string joined;
    std::vector<int> underlined;
    for (std::size_t i = 0; i < shown.Text.size(); ++i) {
      if (shown.Text[i] == '\r' || shown.Text[i] == '\n') continue;
      if (std::find(shown.Underlined.begin(), shown.Underlined.end(), static_cast<int>(i)) != shown.Underlined.end())
        underlined.push_back(static_cast<int>(joined.size()));
      joined += shown.Text[i];
    }
    lines.push_back({joined, underlined, width(joined)});
  } else {
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= shown.Text.size(); ++i) {
      if (i < shown.Text.size() && shown.Text[i] != '\r' && shown.Text[i] != '\n') continue;
      addParagraph(begin, i);
      if (i + 1 < shown.Text.size() && shown.Text[i] == '\r' && shown.Text[i + 1] == '\n') ++i;
      begin = i + 1;
    }
  }

  const int32_t total = static_cast<int32_t>(lines.size()) * m.Height;
  int32_t top = r.Top;
  if (single && (format & DT_VCENTER) != 0)
    top = r.Top + static_cast<int32_t>(FloorDiv(static_cast<int64_t>(r.Height()) - m.Height, 2));
  else if (single && (format & DT_BOTTOM) != 0)
    top = r.Bottom - m.Height;
  const int32_t result = (single && (format & (DT_VCENTER | DT_BOTTOM)) != 0) ? top - r.Top + m.Height : total;

  if ((format & DT_CALCRECT) != 0) {
    int32_t widest = 0;
    for (const TextLine& line : lines) widest = std::max(widest, line.Width);
    r.Right = r.Left + widest;
    r.Bottom = r.Top + total;
    return total;
  }
  const std::optional<TRect> clip = (format & DT_NOCLIP) != 0 ? std::nullopt : std::optional<TRect>(r);
  for (const TextLine& line : lines) {
    int32_t x = r.Left;
    if ((format & DT_CENTER) != 0)
      x = static_cast<int32_t>(FloorDiv(static_cast<int64_t>(r.Left) + r.Right - line.Width, 2));
    else if ((format & DT_RIGHT) != 0)
      x = r.Right - line.Width;
    DrawLine(x, top, line.Text, line.Underlined, clip, expandTabs);
    top += m.Height;
  }
  return result;
}

// ---- handle calls ----

bool BitBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t sx, int32_t sy, uint32_t rop) {
  return dst != nullptr && dst->BitBlt(x, y, w, h, src, sx, sy, rop);
}

bool StretchBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t sx, int32_t sy, int32_t sw,
                int32_t sh, uint32_t rop) {
  return dst != nullptr && dst->StretchBlt({x, y, x + w, y + h}, src, {sx, sy, sx + sw, sy + sh}, rop);
}

int SaveDC(HDC dc) { return dc != nullptr ? dc->SaveDC() : 0; }
bool RestoreDC(HDC dc, int level) { return dc != nullptr && dc->RestoreDC(level); }
int SetBkMode(HDC dc, int mode) { return dc != nullptr ? dc->SetBkMode(mode) : 0; }
TColor SetTextColor(HDC dc, TColor color) { return dc != nullptr ? dc->SetTextColor(color) : CLR_INVALID; }
TColor SetBkColor(HDC dc, TColor color) { return dc != nullptr ? dc->SetBkColor(color) : CLR_INVALID; }

int32_t DrawText(HDC dc, const char* text, int32_t count, TRect* r, uint32_t format) {
  if (dc == nullptr || text == nullptr || r == nullptr) return 0;
  const std::string_view s = count < 0 ? std::string_view(text) : std::string_view(text, static_cast<std::size_t>(count));
  return dc->DrawText(s, *r, format);
}

bool GetTextExtentPoint32(HDC dc, const char* text, int32_t count, TSize* size) {
  if (dc == nullptr || text == nullptr || size == nullptr || count < 0) return false;
  *size = dc->TextExtent(std::string_view(text, static_cast<std::size_t>(count)));
  return true;
}

int SelectClipRgn(HDC dc, HRGN rgn) {
  if (dc == nullptr) return RGN_ERROR;
  if (rgn == nullptr) return dc->SelectClipRgn(nullptr);
  const std::optional<TRegion> region = RegionOf(rgn);
  return region ? dc->SelectClipRgn(&*region) : RGN_ERROR;
}

TColor GetPixel(HDC dc, int32_t x, int32_t y) { return dc != nullptr ? dc->Pixel(x, y) : CLR_INVALID; }

TColor SetPixel(HDC dc, int32_t x, int32_t y, TColor color) {
  if (dc == nullptr) return CLR_INVALID;
  dc->SetPixel(x, y, color);
  return dc->Pixel(x, y);
}

}  // namespace platform::ui
