#pragma once
// sStylePassive: the style of a component that is not a control (the hint
// manager): the look of the hint body (painting, shadow, background) and
// the shared work bitmap the hint windows paint into. Changes made through
// its setters tell an owner that implements TsPassiveStyleOwner. It also
// has a message hook and a background painter of its own. GUI thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Component.h"
#include "skin/sStyleActive.h"

namespace skin {

// What a passive style tells its owner (the hint manager): one of its
// settings changed through a setter.
class TsPassiveStyleOwner {
 public:
  virtual ~TsPassiveStyleOwner() = default;
  virtual void PassiveStyleChanged() = 0;

 protected:
  TsPassiveStyleOwner() = default;
  TsPassiveStyleOwner(const TsPassiveStyleOwner&) = default;
  TsPassiveStyleOwner& operator=(const TsPassiveStyleOwner&) = default;
};

// The hint manager's kind code.
inline constexpr int32_t kKindHintManager = 211;

class TsPassivePaintStyle;

class TsPassiveShadow : public TPersistent {
 public:
  explicit TsPassiveShadow(TsPassivePaintStyle& style) : style_(style) {}

  // Each setter stores a different value and notifies the owner. Offset
  // is kept within -kMaxGraphicSide..kMaxGraphicSide.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  int32_t Offset() const { return offset_; }
  void SetOffset(int32_t value);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  // Clamped to 0..100 first.
  TPercent Transparency() const { return transparency_; }
  void SetTransparency(int32_t value);
  int32_t Blur() const { return blur_; }
  void SetBlur(int32_t value);

  // Written by the message hook without notification.
  void StoreEnabled(bool value) { enabled_ = value; }
  void StoreOffset(int32_t value) { offset_ = value; }
  void StoreTransparency(TPercent value) { transparency_ = value; }
  void StoreBlur(int32_t value) { blur_ = value; }

 private:
  bool enabled_ = true;
  int32_t offset_ = 10;
  TColor color_ = 0;
  TsPassivePaintStyle& style_;
  TPercent transparency_ = 50;
  int32_t blur_ = 6;
};

class TsPassivePainting : public TPersistent {
 public:
  explicit TsPassivePainting(TsPassivePaintStyle& style) : style_(style) {}

  TsControlBevel Bevel() const { return bevel_; }
  void SetBevel(TsControlBevel value);
  // The three colours share one indexed setter: 0 ColorBorderTop,
  // 1 ColorBorderBottom, 3 Color; another index does nothing.
  TColor Color() const { return color_; }
  TColor ColorBorderTop() const { return colorBorderTop_; }
  TColor ColorBorderBottom() const { return colorBorderBottom_; }
  void SetColorByIndex(int32_t index, TColor value);
  void SetColor(TColor value) { SetColorByIndex(3, value); }
  void SetColorBorderTop(TColor value) { SetColorByIndex(0, value); }
  void SetColorBorderBottom(TColor value) { SetColorByIndex(1, value); }
  // Percent of the background showing through the body.
  int32_t Transparency() const { return transparency_; }
  void SetTransparency(int32_t value);

 private:
  TsControlBevel bevel_ = TsControlBevel::cbRaisedSoft;
  TColor color_ = static_cast<TColor>(-16777212);
  TColor colorBorderTop_ = 16777215;
  TColor colorBorderBottom_ = 0;
  int32_t transparency_ = 50;
  TsPassivePaintStyle& style_;
};

class TsPassivePaintStyle : public TPersistent {
 public:
  // owner may be null; it is told about changes when it implements
  // TsPassiveStyleOwner.
  explicit TsPassivePaintStyle(platform::ui::TComponent* owner);
  ~TsPassivePaintStyle() override;

  const std::string& SkinSection() const { return skinSection_; }
  // Stored, nothing else.
  void SetSkinSection(std::string_view section);
  int32_t GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int32_t group) { groupIndex_ = group; }
  int32_t SkinIndex() const { return indexes_.Skin; }
  int32_t MaskIndex() const { return indexes_.Mask; }
  platform::ui::TComponent* Owner() const { return owner_; }
  TsPassiveShadow& Shadow() { return *shadow_; }
  const TsPassiveShadow& Shadow() const { return *shadow_; }
  TsPassivePainting& Painting() { return *painting_; }
  const TsPassivePainting& Painting() const { return *painting_; }
  TsBackground& Background() { return *background_; }
  const TsBackground& Background() const { return *background_; }
  // The 24-bit bitmap the hint windows size and paint into.
  platform::ui::TBitmap& WorkBitmap() { return *work_; }
  // The owner's kind code (211 for the hint manager).
  int32_t StyleKind() const { return styleKind_; }
  void SetStyleKind(int32_t kind) { styleKind_ = kind; }

  // Tells the owner a setting changed (when it listens).
  void NotifyOwner();
  // Messages 0xA000..0xA464 whose WParam is GroupIndex or 21.
  void HandleMessage(TMessage& message);
  // The composition of Painting.Color and Background into b within r, no
  // see-through; then children's shadows for a shadow-container kind.
  void PaintBackground(platform::ui::TBitmap& b, const TRect& r);

 private:
  void ApplyShadowDefaults(const TMessage& message);

  std::string skinSection_;
  int32_t groupIndex_ = 0;
  TsSkinIndexes indexes_;
  platform::ui::TComponent* owner_;
  std::unique_ptr<TsPassiveShadow> shadow_;
  std::unique_ptr<TsPassivePainting> painting_;
  std::unique_ptr<TsBackground> background_;
  std::unique_ptr<platform::ui::TBitmap> work_;
  int32_t styleKind_ = 0;
};

}  // namespace skin
