#include "skin/sStyleSimply.h"

#include <algorithm>
#include <exception>

#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/WinControl.h"
#include "skin/sMaskData.h"
#include "skin/sSkinData.h"
#include "skin/sStyleActive.h"

namespace skin {

using namespace platform::ui;
namespace msg = platform::win;

namespace {

bool InRange(int32_t kind, int32_t low, int32_t high) { return kind >= low && kind <= high; }

// Pixel counts that messages carry, bounded to what a bitmap side can be.
int32_t BoundedPixels(LPARAM value) {
  return static_cast<int32_t>(std::clamp<LPARAM>(value, -kMaxGraphicSide, kMaxGraphicSide));
}

int32_t BoundedPercent(LPARAM value) { return static_cast<int32_t>(std::clamp<LPARAM>(value, 0, 100)); }

}  // namespace

bool InHotlessKinds(int32_t kind) { return InRange(kind, 51, 74) || kind == 110 || InRange(kind, 141, 161); }

bool InShadowlessKinds(int32_t kind) {
  return kind == 57 || kind == 74 || kind == 110 || kind == 141 || kind == 151;
}

bool InShadowContainerKinds(int32_t kind) { return InRange(kind, 51, 68) || kind == 151; }

bool InListenKinds(int32_t kind) {
  return InRange(kind, 51, 68) || InRange(kind, 91, 95) || kind == 141 || kind == 151 || kind == 161 ||
         kind == 165;
}

bool InSoftCornerKinds(int32_t kind) { return InRange(kind, 1, 140) || InRange(kind, 150, 200); }

bool CarriesGroup(const TMessage& message, int32_t group) {
  return static_cast<intptr_t>(message.WParam) == static_cast<intptr_t>(group);
}

// ---- TsGenStyle ----

TsGenStyle::TsGenStyle(TControl* control) : control_(control), cache_(std::make_unique<TBitmap>()) {
  UpdateCacheSize();
  effects_ = std::make_unique<TsEffects>(*this);
}

TsGenStyle::~TsGenStyle() {
  if (control_ == nullptr || control_->Parent() == nullptr || control_->Parent()->Destroying()) return;
  try {
    RepaintParent();
  } catch (...) {
    HandleDispatchException(std::current_exception());
  }
}

void TsGenStyle::SetSkinSection(std::string_view section) {
  if (section == skinSection_) return;
  skinSection_ = std::string(section);
  LookUpSkinIndexes();
  regionPending_ = true;
  Invalidate();
}

void TsGenStyle::SetSoftControl(bool soft) {
  if (soft == softControl_) return;
  softControl_ = soft;
  regionPending_ = true;
  Invalidate();
}

TsStyleButton* TsGenStyle::Button() const { return dynamic_cast<TsStyleButton*>(control_); }

bool TsGenStyle::ButtonDown() const {
  const TsStyleButton* button = Button();
  return button != nullptr && button->Down();
}

bool TsGenStyle::ControlFocused() const {
  const auto* windowed = dynamic_cast<const TWinControl*>(control_);
  return windowed != nullptr && windowed->Focused();
}

bool TsGenStyle::ControlHidden() const { return control_ == nullptr || !control_->Visible(); }

void TsGenStyle::LookUpSkinIndexes() { indexes_ = skin::LookUpSkinIndexes(skinSection_); }

bool TsGenStyle::IsHot() const {
  if (control_ == nullptr || control_->Destroying()) return false;
  const TsStyleButton* button = Button();
  if (button != nullptr && button->IsActiveDefault()) return true;
  if (!control_->Enabled()) return false;
  if (button != nullptr && button->Down()) return true;
  if (InHotlessKinds(styleKind_)) return false;
  return hasFocus_ || ControlFocused();
}

void TsGenStyle::Invalidate() {
  cacheStale_ = true;
  if (control_ == nullptr || control_->Loading() || control_->Destroying() || !control_->Visible()) return;
  control_->Invalidate();
}

void TsGenStyle::RepaintParent() {
  if (control_ == nullptr || control_->Parent() == nullptr) return;
  TWinControl* parent = control_->Parent();
  PerformGroupRefresh(parent, true);
  parent->Repaint();
}

TBackSource TsGenStyle::GetParentBackground() {
  if (control_ == nullptr || control_->Parent() == nullptr) return kNoBackSource;
  ParentBackgroundInfo().Valid = false;
  control_->Parent()->Perform(msg::SM_PARENTBACKGROUND, 0, 0);
  return ParentBackgroundInfo();
}

void TsGenStyle::UpdateCacheSize() {
  if (control_ != nullptr)
    cache_->SetSize(control_->Width(), control_->Height());
  else
    cache_->SetSize(0, 0);
  cache_->SetPixelFormat(TPixelFormat::pf24bit);
}

HRGN TsGenStyle::NewCornerRegion() const {
  if (!softControl_ || !InSoftCornerKinds(styleKind_) || dynamic_cast<TWinControl*>(control_) == nullptr)
    return nullptr;
  const int32_t w = control_->Width();
  const int32_t h = control_->Height();
  HRGN region = CreateRectRgn(1, 0, w - 1, h);
  HRGN second = CreateRectRgn(0, 1, w, h - 1);
  CombineRgn(region, region, second, RGN_OR);
  DeleteObject(second);
  return region;
}

void TsGenStyle::SetWindowRegion(HRGN region) {
  if (auto* windowed = dynamic_cast<TWinControl*>(control_)) {
    windowed->SetWindowRgn(region, true);
  } else if (region != nullptr) {
    DeleteObject(region);
  }
}

void TsGenStyle::UpdateRegion() {
  if (!regionPending_) return;
  regionPending_ = false;
  region_ = nullptr;
  if (control_ == nullptr) return;
  region_ = NewCornerRegion();
  cacheStale_ = true;
  SetWindowRegion(region_);
}

void TsGenStyle::UpdateSkinIndexes() {
  cacheStale_ = true;
  if (skinSection_.empty()) {
    if (const TsStyleButton* button = Button()) skinSection_ = std::string(button->ClassName());
  }
  LookUpSkinIndexes();
}

const TBitmap* TsGenStyle::SkinBordersMask() const {
  if (!IsSectionIndexValid(indexes_.Skin) || !IsMaskIndexValid(indexes_.Mask)) return nullptr;
  return SkinMasks()[static_cast<std::size_t>(indexes_.Mask)].Bmp.get();
}

void TsGenStyle::PaintShadow(TCanvas& /*canvas*/, int32_t /*dx*/, int32_t /*dy*/) {}

bool TsGenStyle::FadingEnabled() const { return false; }

// ---- messages ----

void TsGenStyle::HandleMessage(TMessage& message) {
  if (message.Msg == msg::SM_STYLEQUERY) {
    message.WParam = 1;
    message.LParam = reinterpret_cast<LPARAM>(this);
    message.Result = 1;
    return;
  }
  const bool library = (message.Msg >= msg::SM_FIRST && message.Msg <= msg::SM_BASELAST) ||
                       (IsPaintStyle() && message.Msg >= msg::SM_SOFTCONTROL && message.Msg <= msg::SM_LAST);
  if (library) {
    if (CarriesGroup(message, baseGroup_)) HandleLibraryMessage(message);
    return;
  }
  HandleWindowMessage(message);
}

void TsGenStyle::RepaintAfterMove() {
  if (effects_->Shadow().Enabled()) RepaintParent();
  if (Button() != nullptr) control_->Repaint();
}

void TsGenStyle::MouseCrossed(bool entered) {
  if (InHotlessKinds(styleKind_) || hasFocus_ || ControlFocused()) return;
  TsStyleButton* button = Button();
  if (button != nullptr && FadingEnabled()) {
    if (entered)
      button->StartFadeIn();
    else
      button->StartFadeOut();
    return;
  }
  Invalidate();
}

void TsGenStyle::HandleWindowMessage(TMessage& message) {
  switch (message.Msg) {
    case WM_MOVE:
      cacheStale_ = true;
      if (control_ != nullptr) RepaintAfterMove();
      break;
    case WM_SIZE:
      cacheStale_ = true;
      regionPending_ = true;
      UpdateRegion();
      regionPending_ = true;
      if (control_ != nullptr) RepaintAfterMove();
      break;
    case WM_SETFOCUS:
    case CM_ENTER:
      hasFocus_ = true;
      if (!InRange(styleKind_, 1, 15)) Invalidate();
      break;
    case WM_KILLFOCUS:
    case CM_EXIT:
      hasFocus_ = false;
      Invalidate();
      break;
    case WM_FONTCHANGE:
    case CM_ENABLEDCHANGED:
      Invalidate();
      break;
    case CM_VISIBLECHANGED:
      if (ControlHidden() && control_ != nullptr && styleKind_ > 0 && effects_->Shadow().Enabled()) RepaintParent();
      break;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      message.Result = 1;
      MouseCrossed(message.Msg == CM_MOUSEENTER);
      break;
    default:
      break;
  }
}

void TsGenStyle::RefreshForChildShadow() {
  auto* container = dynamic_cast<TWinControl*>(control_);
  if (!InShadowContainerKinds(styleKind_) || container == nullptr) return;
  for (int i = 0; i < container->ControlCount(); ++i) {
    TsGenStyle* childStyle = GetStyleOf(container->Controls(i));
    if (childStyle == nullptr || childStyle->Effects().Shadow().DontUse()) continue;
    cacheStale_ = true;
    control_->Repaint();
    return;
  }
}

void TsGenStyle::ApplyShadowDefaults(const TMessage& message) {
  const auto* defaults = reinterpret_cast<const TsShadowDefaults*>(message.LParam);
  if (defaults == nullptr) return;
  TsShadow& shadow = effects_->Shadow();
  shadow.StoreColor(defaults->ShadowColor);
  shadow.StoreTransparency(std::clamp(defaults->ShadowTransparency, 0, 100));
  shadow.StoreOffset(BoundedPixels(defaults->ShadowOffset));
  shadow.StoreBlur(BoundedPixels(defaults->ShadowBlur));
  const bool refused = InShadowlessKinds(styleKind_) || ControlHidden() || shadow.DontUse();
  shadow.StoreEnabled(!refused && defaults->ShadowEnabled);
  softControl_ = defaults->SoftControl;
  cacheStale_ = true;
  Invalidate();
}

void TsGenStyle::HandleLibraryMessage(TMessage& message) {
  TsShadow& shadow = effects_->Shadow();
  switch (message.Msg) {
    case msg::SM_CACHESTALE:
      cacheStale_ = message.LParam != 0;
      break;
    case msg::SM_SKINLOADED:
      cacheStale_ = true;
      LookUpSkinIndexes();
      regionPending_ = true;
      break;
    case msg::SM_SKINREMOVED:
      indexes_ = TsSkinIndexes{};
      regionPending_ = true;
      Invalidate();
      break;
    case msg::SM_SKINRESET:
      indexes_ = TsSkinIndexes{};
      break;
    case msg::SM_INVALIDATE:
      cacheStale_ = true;
      Invalidate();
      break;
    case msg::SM_PARENTBACKGROUND:
      ParentBackgroundInfo() = TBackSource{cache_.get(), 0, 0, styleKind_ != 7 && styleKind_ != 8};
      break;
    case msg::SM_SECTIONREPAINT:
      if (platform::os::AnsiUpperCase(skinSection_) == CurrentSectionName()) {
        regionPending_ = true;
        Invalidate();
        if (control_ != nullptr) control_->Perform(WM_PAINT, 0, 0);
      }
      break;
    case msg::SM_SOFTCONTROL:
      SetSoftControl(message.LParam != 0);
      cacheStale_ = true;
      break;
    case msg::SM_SHADOWENABLED:
      shadow.StoreEnabled(!(InShadowlessKinds(styleKind_) || ControlHidden() || shadow.DontUse()) &&
                          message.LParam != 0);
      cacheStale_ = true;
      break;
    case msg::SM_SHADOWCOLOR:
      shadow.StoreColor(static_cast<TColor>(message.LParam));
      cacheStale_ = true;
      break;
    case msg::SM_SHADOWTRANSPARENCY:
      shadow.StoreTransparency(BoundedPercent(message.LParam));
      cacheStale_ = true;
      break;
    case msg::SM_SHADOWOFFSET:
      shadow.StoreOffset(BoundedPixels(message.LParam));
      cacheStale_ = true;
      break;
    case msg::SM_SHADOWBLUR:
      shadow.StoreBlur(BoundedPixels(message.LParam));
      cacheStale_ = true;
      break;
    case msg::SM_CHILDSHADOW:
      RefreshForChildShadow();
      break;
    case msg::SM_SHADOWDEFAULTS:
      ApplyShadowDefaults(message);
      break;
    default:
      break;
  }
}

// ---- unit level ----

TsGenStyle* GetStyleOf(TObject* control) {
  auto* c = dynamic_cast<TControl*>(control);
  if (c == nullptr) return nullptr;
  TMessage query{msg::SM_STYLEQUERY, 0, 0, 0};
  c->Perform(query);
  return reinterpret_cast<TsGenStyle*>(query.LParam);
}

int32_t GetStyleKind(TObject* control) {
  auto* c = dynamic_cast<TControl*>(control);
  if (c == nullptr) return 0;
  TMessage query{msg::SM_STYLEQUERY, 0, 0, 0};
  c->Perform(query);
  return static_cast<int32_t>(query.WParam);
}

TsSkinIndexes LookUpSkinIndexes(std::string_view section) {
  const int32_t skinIndex = FindSkinSection(section);
  return TsSkinIndexes{skinIndex, FindSkinImage(skinIndex, section, kBordersMaskProperty)};
}

TBackSource& ParentBackgroundInfo() {
  static TBackSource info;
  return info;
}

void PerformGroupRefresh(TControl* control, bool flag) {
  if (control != nullptr) control->Perform(msg::SM_CACHESTALE, 0, flag ? -1 : 0);
}

}  // namespace skin
