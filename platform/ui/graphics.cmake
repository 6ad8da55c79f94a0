# Libraries of the drawing side of platform/ui (fonts and JPEG pictures),
# linked into the platform target. Safe to include more than once.
include_guard(GLOBAL)
find_package(Freetype REQUIRED)
find_package(JPEG REQUIRED)
target_link_libraries(platform PRIVATE Freetype::Freetype JPEG::JPEG)
