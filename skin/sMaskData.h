#pragma once
// sMaskData: the store a loaded skin would be painted from (sections,
// masks, images and the skin's name), the index checks every skin path
// asks first, and the routines that paint a section. In this system the
// store stays empty and the skin inactive, so the checks answer false and
// the painting routines return at their first test. GUI thread.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Canvas.h"
#include "skin/sGradient.h"
#include "skin/sGraphics.h"

namespace skin {

// The look of a section in one state.
struct TsSectionState {
  TColor Color = 0;
  int32_t ImagePercent = 0;
  int32_t GradientPercent = 0;
  TsGradientData Gradient;
  TsGradArray GradientData;
  int32_t Transparency = 0;
  // Text colours: main, then the outlines drawn shifted left, up, right
  // and down (-1: none).
  std::array<TColor, 5> FontColors{};
};

struct TsSkinSection {
  std::string ParentName;  // upper case
  std::string Name;        // upper case
  TsSectionState Normal;
  TsSectionState Hot;
};

struct TsMaskRecord {
  std::unique_ptr<TBitmap> Bmp;
  std::string SectionName;  // upper case
  std::string PropertyName;
  uint32_t Flags = 0;
};

struct TsImageRecord {
  std::unique_ptr<TBitmap> Bmp;
  std::string SectionName;  // upper case
  std::string PropertyName;
};

// The process-wide store, empty from the library's start.
std::vector<TsSkinSection>& SkinSections();
std::vector<TsMaskRecord>& SkinMasks();
std::vector<TsImageRecord>& SkinImages();
std::string& SkinText();

// True only while the skin is active and 0 <= index < count.
bool IsSectionIndexValid(int32_t index);
bool IsMaskIndexValid(int32_t index);

// Free the bitmaps from the last record to the first and empty the array.
void FreeSkinMasks();
void FreeSkinImages();
// Masks, images, then the text and all three arrays cleared: the library's
// end.
void FinalizeSkinStore();

// Fills r of d from the section's state (hot or normal): image, gradient
// and colour, over the background copied from back at (back.X + p.X,
// back.Y + p.Y) by the state's transparency. A background record without a
// bitmap counts as off.
void FillSectionBack(int32_t sectionIndex, std::string_view sectionName, const TBackSource& back, bool hot,
                     const TRect& r, TPoint p, TBitmap& d);
// FillSectionBack, then the section's "BORDERSMASK" nine-cell mask. Nothing
// unless r lies within d.
void PutSectionOnBitmap(int32_t sectionIndex, std::string_view sectionName, const TBackSource& back,
                        bool fillMiddle, bool hot, const TRect& r, TPoint p, TBitmap& d);
// The same through a temporary bitmap of r's size, copied to dc at r.
void PutSectionOnDC(int32_t sectionIndex, std::string_view sectionName, const TBackSource& back, bool fillMiddle,
                    bool hot, const TRect& r, TPoint p, platform::ui::HDC dc);
// Enabled text in the section's colours: outline copies shifted by one
// pixel (each left out when its colour is -1), then the text itself.
void PutSectionText(platform::ui::TCanvas& c, const char* text, TRect r, uint32_t format, int32_t sectionIndex,
                    bool hot);

}  // namespace skin
