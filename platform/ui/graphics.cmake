# Libraries of the drawing side of platform/ui (fonts, JPEG pictures, X11),
# linked into the platform target. Safe to include more than once.
include_guard(GLOBAL)
find_package(Freetype REQUIRED)
find_package(JPEG REQUIRED)
target_link_libraries(platform PRIVATE Freetype::Freetype JPEG::JPEG)
# The display backend speaks X11 (Xlib and the SHAPE extension).
find_package(X11 REQUIRED)
target_link_libraries(platform PRIVATE X11::X11 X11::Xext)
