#include "skin/sMaskData.h"

#include "platform/ui/Colors.h"
#include "skin/sBorderMasks.h"
#include "skin/sCanvasDraw.h"
#include "skin/sSkinData.h"

namespace skin {

namespace ui = platform::ui;

namespace {

struct TsMaskDataStore {
  std::vector<TsSkinSection> Sections;
  std::vector<TsMaskRecord> Masks;
  std::vector<TsImageRecord> Images;
  std::string Text;
  ~TsMaskDataStore() { Finalize(); }
  void Finalize();
};

TsMaskDataStore& Store() {
  static TsMaskDataStore store;
  return store;
}

template <class Records>
void FreeLastToFirst(Records& records) {
  while (!records.empty()) records.pop_back();
}

// Three equal bytes: the weight colour of MixRectOnto.
TColor WeightColor(int32_t byte) {
  const auto v = static_cast<uint32_t>(byte) & 0xFF;
  return static_cast<TColor>(v | v << 8 | v << 16);
}

// The state's picture: a mask image of that name first, then an image.
const TBitmap* StateImage(int32_t sectionIndex, std::string_view sectionName, bool hot) {
  const std::string_view property = hot ? kHotImageFileProperty : kImageFileProperty;
  const int32_t mask = FindSkinImage(sectionIndex, sectionName, property);
  if (mask >= 0) return SkinMasks()[static_cast<std::size_t>(mask)].Bmp.get();
  const int32_t image = FindSkinPicture(sectionIndex, sectionName, property);
  return image >= 0 ? SkinImages()[static_cast<std::size_t>(image)].Bmp.get() : nullptr;
}

void FillWithGradient(TBitmap& b, const TRect& area, const TsSectionState& s) {
  if (s.Gradient.empty())
    FillAreaSolid(&b.Canvas(), area, s.Color);
  else
    PaintGradient(b, area, s.GradientData);
}

// A section's state painted into area of b: image, gradient over it, then
// the fade toward the state's colour.
void PaintSection(TBitmap& b, const TRect& area, const TsSectionState& s, const TBitmap* image) {
  const bool imaged = s.ImagePercent > 0;
  if (imaged) {
    if (image != nullptr)
      RepeatGraphic(b.Canvas(), area, image);
    else
      FillAreaSolid(&b.Canvas(), area, s.Color);
  }
  if (s.GradientPercent > 0) {
    if (imaged) {
      TBitmap gradient;
      gradient.SetSize(area.Width(), area.Height());
      FillWithGradient(gradient, ui::Rect(0, 0, area.Width(), area.Height()), s);
      MixRectOnto(b, gradient, WeightColor(s.ImagePercent * 256 / 100),
                  ui::Rect(0, 0, area.Width() - 1, area.Height() - 1), TPoint{area.Left, area.Top});
    } else {
      FillWithGradient(b, area, s);
    }
  }
  const int32_t sum = s.ImagePercent + s.GradientPercent;
  if (sum >= 1 && sum <= 99)
    BlendRectWithColor(b, area, sum, s.Color);
  else if (sum != 100)
    FillAreaSolid(&b.Canvas(), area, s.Color);
}

}  // namespace

std::vector<TsSkinSection>& SkinSections() { return Store().Sections; }
std::vector<TsMaskRecord>& SkinMasks() { return Store().Masks; }
std::vector<TsImageRecord>& SkinImages() { return Store().Images; }
std::string& SkinText() { return Store().Text; }

bool IsSectionIndexValid(int32_t index) {
  return SkinData().Active && index >= 0 && static_cast<std::size_t>(index) < SkinSections().size();
}

bool IsMaskIndexValid(int32_t index) {
  return SkinData().Active && index >= 0 && static_cast<std::size_t>(index) < SkinMasks().size();
}

void FreeSkinMasks() { FreeLastToFirst(Store().Masks); }
void FreeSkinImages() { FreeLastToFirst(Store().Images); }

void TsMaskDataStore::Finalize() {
  FreeLastToFirst(Masks);
  FreeLastToFirst(Images);
  Text.clear();
  Sections.clear();
}

void FinalizeSkinStore() { Store().Finalize(); }

void FillSectionBack(int32_t sectionIndex, std::string_view sectionName, const TBackSource& back, bool hot,
                     const TRect& r, TPoint p, TBitmap& d) {
  if (!IsSectionIndexValid(sectionIndex)) return;
  const TsSkinSection& section = SkinSections()[static_cast<std::size_t>(sectionIndex)];
  const TsSectionState& state = hot ? section.Hot : section.Normal;
  const TBitmap* image = StateImage(sectionIndex, sectionName, hot);
  const bool substitute = back.Valid && back.Bitmap != nullptr;
  const int32_t t = state.Transparency;
  if (!substitute || t <= 0) {
    PaintSection(d, r, state, image);
    return;
  }
  TBitmap own;
  if (t < 100) {
    own.SetSize(r.Width(), r.Height());
    PaintSection(own, ui::Rect(0, 0, r.Width(), r.Height()), state, image);
  }
  if (back.Bitmap != &d)
    d.Canvas().BitBlt(r.Left, r.Top, r.Width(), r.Height(), &back.Bitmap->Canvas(), back.X + p.X, back.Y + p.Y,
                      ui::SRCCOPY);
  if (t < 100)
    MixRectOnto(d, own, WeightColor(t * 255 / 100), ui::Rect(0, 0, r.Width() - 1, r.Height() - 1),
                TPoint{r.Left, r.Top});
}

void PutSectionOnBitmap(int32_t sectionIndex, std::string_view sectionName, const TBackSource& back,
                        bool fillMiddle, bool hot, const TRect& r, TPoint p, TBitmap& d) {
  if (!IsSectionIndexValid(sectionIndex) || r.Left < 0 || r.Top < 0 || r.Right > d.Width() ||
      r.Bottom > d.Height())
    return;
  FillSectionBack(sectionIndex, sectionName, back, hot, r, p, d);
  const int32_t mask = FindSkinImage(sectionIndex, sectionName, kBordersMaskProperty);
  if (!IsMaskIndexValid(mask) || SkinMasks()[static_cast<std::size_t>(mask)].Bmp == nullptr) return;
  const TBackSource shifted{back.Bitmap, back.X + p.X, back.Y + p.Y, back.Valid};
  DrawNineCells(d, *SkinMasks()[static_cast<std::size_t>(mask)].Bmp, hot ? 1 : 0, r, fillMiddle, shifted);
}

void PutSectionOnDC(int32_t sectionIndex, std::string_view sectionName, const TBackSource& back, bool fillMiddle,
                    bool hot, const TRect& r, TPoint p, ui::HDC dc) {
  if (dc == nullptr || !IsSectionIndexValid(sectionIndex) || r.Left < 0 || r.Top < 0) return;
  TSavedDC saved(dc);
  TBitmap temp;
  temp.SetSize(r.Width(), r.Height());
  PutSectionOnBitmap(sectionIndex, sectionName, back, fillMiddle, hot, ui::Rect(0, 0, r.Width(), r.Height()), p,
                     temp);
  dc->BitBlt(r.Left, r.Top, r.Width(), r.Height(), &temp.Canvas(), 0, 0, ui::SRCCOPY);
}

void PutSectionText(ui::TCanvas& c, const char* text, TRect r, uint32_t format, int32_t sectionIndex, bool hot) {
  if (text == nullptr || !IsSectionIndexValid(sectionIndex)) return;
  const TsSkinSection& section = SkinSections()[static_cast<std::size_t>(sectionIndex)];
  const std::array<TColor, 5>& colours = (hot ? section.Hot : section.Normal).FontColors;
  constexpr TPoint kShift[4] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
  c.Brush().SetStyle(ui::TBrushStyle::bsClear);
  for (int i = 0; i < 4; ++i) {
    if (colours[i + 1] == -1) continue;
    c.Font().SetColor(colours[i + 1]);
    TRect shifted = ui::Rect(r.Left + kShift[i].X, r.Top + kShift[i].Y, r.Right + kShift[i].X, r.Bottom + kShift[i].Y);
    ui::DrawText(c.Handle(), text, -1, &shifted, format);
  }
  c.Font().SetColor(colours[0]);
  ui::DrawText(c.Handle(), text, -1, &r, format);
}

}  // namespace skin
