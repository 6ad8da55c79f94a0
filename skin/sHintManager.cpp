#include "skin/sHintManager.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "platform/ui/Colors.h"
#include "skin/sBorderMasks.h"
#include "skin/sCanvasDraw.h"
#include "skin/sGradient.h"
#include "skin/sGraphics.h"
#include "skin/sHintWindows.h"

namespace skin {

namespace ui = platform::ui;
using ui::TBitmap;
using ui::TRect;

namespace {

TsHintManager* gActiveManager = nullptr;

// The managers alive: one freed out of order passes what it replaced to
// the manager that replaced it in turn.
std::vector<TsHintManager*>& LiveManagers() {
  static std::vector<TsHintManager*> managers;
  return managers;
}

template <class Pred>
TsHintManager* FindManager(Pred pred) {
  const std::vector<TsHintManager*>& managers = LiveManagers();
  const auto it = std::find_if(managers.begin(), managers.end(), [&](const TsHintManager* m) { return pred(*m); });
  return it == managers.end() ? nullptr : *it;
}

bool IsThunkOf(const ui::TShowHintEvent& handler, const TsHintManager* manager) {
  const auto* thunk = handler.target<TsShowHintThunk>();
  return thunk != nullptr && thunk->Manager == manager;
}

bool IsMakerOf(const ui::THintWindowClass& windowClass, const TsHintManager* manager) {
  const auto* maker = windowClass.target<TsHintWindowMaker>();
  return maker != nullptr && maker->Manager == manager;
}

// A predefined look: Style, the manager's numbers, the body painting, the
// gradient and the shadow; ExOffset, Radius and FontSize are kept when
// absent. Every look also sets the bevel cbRaisedSoft, gradient percent
// 100, no image, a black shadow that is on and a plain black font.
struct TsHintLook {
  TsHintStyle Style;
  int32_t BevelWidth, MarginH, MarginV, MaxWidth, Blur;
  std::optional<int32_t> ExOffset, Radius;
  ui::TColor Color;
  int32_t Transparency;
  ui::TColor ColorBorderTop, ColorBorderBottom;
  std::string_view GradientData;
  int32_t ShadowBlur, ShadowOffset, ShadowTransparency;
  std::optional<int32_t> FontSize;
};

constexpr std::string_view kG1 = "167827;14680063;58;0;0;14680063;15400959;41;0;0;15400959;15400959;0;0;0";
constexpr std::string_view kG2 = "11468799;16777215;47;0;0;16777215;14325588;52;0;0;14325588;14325588;0;0;0";

constexpr ui::TColor kInfoBk = static_cast<ui::TColor>(0xFF000018);  // system colour COLOR_INFOBK

using S = TsHintStyle;
// shSimply .. shComicsTransparent, in the order of TsHintsPredefinitions.
const std::array<TsHintLook, 7> kLooks{{
    {S::hsSimply, 1, 4, 4, 240, 0, {}, {}, kInfoBk, 0, 0xFFFFFF, 0, "", 4, 8, 50, 8},
    {S::hsSimply, 5, 8, 5, 240, 3, {}, {}, 0xB6FCFA, 10, 0xECFFFF, 0x2C848D, kG1, 15, 10, 0, {}},
    {S::hsSimply, 0, 18, 16, 240, 15, {}, {}, 0xB6FCFA, 15, 0xECFFFF, 0x2C848D, "", 15, 15, 70, {}},
    {S::hsEllipse, 1, 6, 12, 200, 0, 26, {}, 0xC2FCFC, 5, 0, 0, "", 4, 16, 74, {}},
    {S::hsBalloon, 1, 11, 13, 240, 0, 25, {}, 0xC2FCFC, 7, 0, 0, "", 2, 9, 50, {}},
    {S::hsComics, 1, 18, 12, 180, 0, 24, 25, 0xC2FCFC, 10, 0xFFFFFF, 0, kG2, 10, 7, 28, {}},
    {S::hsComics, 1, 18, 12, 180, 0, 24, 15, 0xC2FCFC, 10, 0, 0, "", 4, 10, 50, {}},
}};

bool IsSkinnedStyle(TsHintStyle s) {
  return s == TsHintStyle::hsSimply || s == TsHintStyle::hsComics || s == TsHintStyle::hsEllipse ||
         s == TsHintStyle::hsBalloon;
}

// The live manager a maker belongs to; null when none.
TsHintManager* LiveOwner(const TsHintWindowMaker& maker) {
  return FindManager([&maker](const TsHintManager& m) { return &m == maker.Manager; });
}

// The live manager whose skinned class windowClass is; null for another.
TsHintManager* ManagerOfClass(const ui::THintWindowClass& windowClass) {
  const auto* maker = windowClass.target<TsHintWindowMaker>();
  if (maker == nullptr || !IsSkinnedStyle(maker->Style)) return nullptr;
  return LiveOwner(*maker);
}

// The class to hand back: a live manager's own class carries that
// manager's Style as it is now, which may have been set while another
// manager covered its class.
ui::THintWindowClass WithCurrentStyle(ui::THintWindowClass windowClass) {
  const auto* maker = windowClass.target<TsHintWindowMaker>();
  const TsHintManager* owner = maker != nullptr ? LiveOwner(*maker) : nullptr;
  return owner != nullptr ? TsHintWindowMaker{owner, owner->Style()} : windowClass;
}

// The full look of shSimply .. shComicsTransparent; null for the others.
const TsHintLook* PredefinedHintLook(TsHintsPredefinitions look) {
  const auto index = static_cast<std::size_t>(look);
  return index < kLooks.size() ? &kLooks[index] : nullptr;
}

// The steps in their order: Style through its setter, the numbers, the
// body painting, background, shadow, font.
void ApplyLook(TsHintManager& m, const TsHintLook& look) {
  m.SetStyle(look.Style);
  m.BevelWidth = look.BevelWidth;
  m.MarginH = look.MarginH;
  m.MarginV = look.MarginV;
  m.MaxWidth = look.MaxWidth;
  m.Blur = look.Blur;
  if (look.ExOffset) m.ExOffset = *look.ExOffset;
  if (look.Radius) m.Radius = *look.Radius;
  TsPassivePainting& painting = m.sStyle().Painting();
  painting.SetColor(look.Color);
  painting.SetTransparency(look.Transparency);
  painting.SetColorBorderTop(look.ColorBorderTop);
  painting.SetColorBorderBottom(look.ColorBorderBottom);
  painting.SetBevel(TsControlBevel::cbRaisedSoft);
  TsBackground& background = m.sStyle().Background();
  background.Gradient().SetPercent(100);
  background.Gradient().SetData(look.GradientData);
  background.Image().SetPercent(0);
  background.Image().SetImageName("");
  TsPassiveShadow& shadow = m.sStyle().Shadow();
  shadow.SetBlur(look.ShadowBlur);
  shadow.SetOffset(look.ShadowOffset);
  shadow.SetTransparency(look.ShadowTransparency);
  shadow.SetEnabled(true);
  shadow.SetColor(0);
  ui::TFont& font = m.Font();
  font.SetStyle(0);
  if (look.FontSize) font.SetSize(*look.FontSize);
  font.SetColor(0);
}

}  // namespace

TsHintManager* ActiveHintManager() { return gActiveManager; }

void TsShowHintThunk::operator()(std::string& hintStr, bool& canShow, ui::THintInfo& info) const {
  if (Manager->OnShowHint) Manager->OnShowHint(hintStr, canShow, info);
}

// ---- life ----

TsHintManager::TsHintManager(ui::TComponent* owner)
    : ui::TComponent(owner),
      style_(std::make_unique<TsPassivePaintStyle>(this)),
      font_(std::make_unique<ui::TFont>()) {
  style_->SetStyleKind(kKindHintManager);
  style_->SetGroupIndex(-101);
  style_->Background().SetListenMSG(false);
  ui::TApplication& app = ui::Application();
  app.HintPause = kManagerHintPause;
  app.HintShortPause = kManagerHintShortPause;
  replacedShowHint_ = std::move(app.OnShowHint);
  app.OnShowHint = TsShowHintThunk{this};
  LiveManagers().push_back(this);
}

TsHintManager::~TsHintManager() { HandBack(); }

// What this manager replaced goes back where its own handler and class now
// sit: into the application while it holds them, else into the manager
// that replaced them in turn, so that nothing refers to this one after it.
// Someone else's handler or class in the application stays. A manager's
// class goes back with that manager's current Style. The active manager,
// when this one, becomes the one whose class the application then holds.
void TsHintManager::HandBack() {
  std::erase(LiveManagers(), this);
  ui::TApplication& app = ui::Application();
  const auto tookHandler = [this](const TsHintManager& m) { return IsThunkOf(m.replacedShowHint_, this); };
  const auto tookClass = [this](const TsHintManager& m) { return IsMakerOf(m.replacedHintWindowClass_, this); };
  if (IsThunkOf(app.OnShowHint, this))
    app.OnShowHint = std::move(replacedShowHint_);
  else if (TsHintManager* next = FindManager(tookHandler))
    next->replacedShowHint_ = std::move(replacedShowHint_);
  if (IsMakerOf(app.HintWindowClass(), this))
    app.SetHintWindowClass(WithCurrentStyle(std::move(replacedHintWindowClass_)));
  else if (TsHintManager* next = FindManager(tookClass))
    next->replacedHintWindowClass_ = std::move(replacedHintWindowClass_);
  if (gActiveManager == this) gActiveManager = ManagerOfClass(app.HintWindowClass());
}

void TsHintManager::Loaded() {
  ui::TComponent::Loaded();
  ApplyStyle();
}

// The first time, the application's class is kept to hand back; later, a
// class someone else installed since stays.
void TsHintManager::ApplyStyle() {
  ui::TApplication& app = ui::Application();
  if (!hintWindowClassReplaced_) {
    replacedHintWindowClass_ = app.HintWindowClass();
    hintWindowClassReplaced_ = true;
  } else if (!IsMakerOf(app.HintWindowClass(), this)) {
    return;
  }
  app.SetHintWindowClass(TsHintWindowMaker{this, hintStyle_});
  if (IsSkinnedStyle(hintStyle_)) gActiveManager = this;
}

// ---- setters ----

void TsHintManager::SetStyle(TsHintStyle value) {
  hintStyle_ = value;
  ApplyStyle();
  preDefinitions_ = TsHintsPredefinitions::shCustom;
}

void TsHintManager::SetFont(const ui::TFont& value) {
  font_->Assign(&value);
  preDefinitions_ = TsHintsPredefinitions::shCustom;
}

void TsHintManager::PassiveStyleChanged() { preDefinitions_ = TsHintsPredefinitions::shCustom; }

void TsHintManager::SetPreDefinitions(TsHintsPredefinitions value) {
  if (const TsHintLook* look = PredefinedHintLook(value))
    ApplyLook(*this, *look);
  else if (value == TsHintsPredefinitions::shStandard)
    SetStyle(TsHintStyle::hsStandard);
  else if (value == TsHintsPredefinitions::shNone)
    SetStyle(TsHintStyle::hsNone);
  preDefinitions_ = value;
}

void TsHintManager::AssignTo(ui::TPersistent* dest) const {
  auto* d = dynamic_cast<TsHintManager*>(dest);
  if (d == nullptr) {
    ui::TComponent::AssignTo(dest);
    return;
  }
  d->BevelWidth = BevelWidth;
  d->Blur = Blur;
  d->ExOffset = ExOffset;
  ui::TFont& font = *d->font_;
  font.SetCharset(font_->Charset());
  font.SetColor(font_->Color());
  font.SetName(font_->Name());
  font.SetStyle(font_->Style());
  font.SetHeight(font_->Height());
  d->MarginH = MarginH;
  d->MarginV = MarginV;
  d->PauseHide = PauseHide;
  d->Radius = Radius;
  const TsBackground& from = style_->Background();
  TsBackground& to = d->style_->Background();
  to.Gradient().SetData(from.Gradient().Data());
  to.Gradient().SetPercent(from.Gradient().Percent());
  to.Image().SetImage(from.Image().Image());
  to.Image().SetPercent(from.Image().Percent());
  const TsPassivePainting& painting = style_->Painting();
  TsPassivePainting& toPainting = d->style_->Painting();
  toPainting.SetBevel(painting.Bevel());
  toPainting.SetColor(painting.Color());
  toPainting.SetColorBorderTop(painting.ColorBorderTop());
  toPainting.SetColorBorderBottom(painting.ColorBorderBottom());
  toPainting.SetTransparency(painting.Transparency());
  const TsPassiveShadow& shadow = style_->Shadow();
  TsPassiveShadow& toShadow = d->style_->Shadow();
  toShadow.SetBlur(shadow.Blur());
  toShadow.SetColor(shadow.Color());
  toShadow.SetEnabled(shadow.Enabled());
  toShadow.SetOffset(shadow.Offset());
  toShadow.SetTransparency(shadow.Transparency());
  d->SetStyle(hintStyle_);
  d->preDefinitions_ = preDefinitions_;
}

// ---- painting ----

TsHintNumbers TsHintManager::Numbers() const {
  const auto side = [](int32_t v) { return std::clamp(v, -ui::kMaxGraphicSide, ui::kMaxGraphicSide); };
  return TsHintNumbers{side(Radius),  side(BevelWidth), side(Blur), side(ExOffset),
                       side(MarginH), side(MarginV),    std::clamp(MaxWidth, 0, ui::kMaxGraphicSide)};
}

int32_t TsHintManager::ShadowShift() const {
  const TsPassiveShadow& shadow = style_->Shadow();
  return shadow.Enabled() ? shadow.Offset() : 0;
}

int32_t TsHintManager::ShadowTransparency() const {
  return CombineTransparency(std::clamp(style_->Painting().Transparency(), 0, 100), style_->Shadow().Transparency());
}

void TsHintManager::PaintBG(TBitmap& b, const TRect& r) {
  const TBitmap& screen = style_->WorkBitmap();
  const int32_t t = std::clamp(style_->Painting().Transparency(), 0, 100);
  if (t == 100) {
    b.Canvas().DrawBitmap(screen, r, r);
    return;
  }
  FillBody(b, r);
  if (t == 0) return;
  TBitmap seen;
  seen.Assign(&b);
  seen.Canvas().DrawBitmap(screen, r, r);
  MixBitmaps(b, seen, (100 - t) * 255 / 100);
}

// Picture, gradient and colour by their percents.
void TsHintManager::FillBody(TBitmap& b, const TRect& r) {
  const TsBackground& background = style_->Background();
  const TsBGImage& image = background.Image();
  const TsBGGradient& gradient = background.Gradient();
  const ui::TGraphic* graphic = image.Image().Graphic();
  bool imageDrawn = false;
  if (image.Percent() > 0 && graphic != nullptr && graphic->Width() > 0 && graphic->Height() > 0) {
    RepeatGraphic(b.Canvas(), r, graphic);
    imageDrawn = true;
  }
  if (gradient.Percent() > 0) {
    if (imageDrawn) {
      const std::unique_ptr<TBitmap> layer = NewBitmapOfSize(b);
      PaintGradientOrColor(*layer, r);
      MixBitmaps(b, *layer, image.Percent() * 255 / 100);
    } else {
      PaintGradientOrColor(b, r);
    }
  }
  const int32_t sum = gradient.Percent() + image.Percent();
  const ui::TColor colour = ui::ColorToRGB(style_->Painting().Color());
  if (sum == 0 || sum > 100)
    FillAreaSolid(b.Canvas().Handle(), r, colour);
  else if (sum < 100)
    BlendRectWithColor(b, ui::Rect(0, 0, b.Width() - 1, b.Height() - 1), sum, colour);
}

void TsHintManager::PaintGradientOrColor(TBitmap& b, const TRect& r) {
  const TsGradArray& bands = style_->Background().Gradient().Bands();
  if (bands.empty())
    FillAreaSolid(b.Canvas().Handle(), r, ui::ColorToRGB(style_->Painting().Color()));
  else
    PaintGradient(b, r, bands);
}

}  // namespace skin
