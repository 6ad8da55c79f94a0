#pragma once
// sStyleSimply: the base of the style objects that skinned controls own
// (TsGenStyle), the kind sets styles test their owner's kind code against,
// the style query of any control, the shared parent-background record, and
// the two helpers of a component's form and group refresh.
//
// A styled control creates its style in its constructor (itself as the
// owner), writes its kind code into StyleKind, forwards every message to
// HandleMessage before its own handling, and frees the style last in its
// destruction, clearing its pointer first (std::unique_ptr::reset does), so
// that no message reaches a freed style. Everything here runs on the GUI
// thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Control.h"
#include "platform/ui/Form.h"
#include "platform/ui/Picture.h"
#include "platform/ui/Region.h"
#include "platform/win/Messages.h"
#include "skin/sGraphics.h"

namespace skin {

using platform::ui::TControl;
using platform::ui::TMessage;

class TsEffects;

// ---- kind sets ----
// Kind codes above 255 are in none of them.
bool InHotlessKinds(int32_t kind);          // never hot, no reaction to mouse entry and exit
bool InShadowlessKinds(int32_t kind);       // their shadow can never be on
bool InShadowContainerKinds(int32_t kind);  // paint their children's shadows
bool InListenKinds(int32_t kind);           // take pictures from library messages
bool InSoftCornerKinds(int32_t kind);       // cut corners with SoftControl

// Kind codes the buttons write into their style.
inline constexpr int32_t kKindButtonControl = 91;
inline constexpr int32_t kKindButton = 93;
inline constexpr int32_t kKindBitBtn = 94;

// A section's index by name and the index of its border mask; -1 for none
// (always, with the skin store empty).
struct TsSkinIndexes {
  int32_t Skin = -1;
  int32_t Mask = -1;
};
static_assert(sizeof(TsSkinIndexes) == 8);
TsSkinIndexes LookUpSkinIndexes(std::string_view section);

// Whether a library message carries group in WParam.
bool CarriesGroup(const TMessage& message, int32_t group);

// What 0xA464 carries in LParam: the shadow defaults a styled parent or a
// skin source hands to its styles.
struct TsShadowDefaults {
  TColor ShadowColor = 0;
  int32_t ShadowTransparency = 0;
  int32_t ShadowOffset = 0;
  int32_t ShadowBlur = 0;
  bool ShadowEnabled = false;
  bool SoftControl = true;
  // A picture for backgrounds that listen (null for none).
  const platform::ui::TPicture* Picture = nullptr;
};
static_assert(sizeof(TsShadowDefaults) == (sizeof(void*) == 8 ? 32 : 24));

// What a style needs of a pressable button: the owner control of a style
// implements this when it is a button (TsButtonControl and its heirs).
// A style finds it by a cast of its control; a control without it is
// simply not a button. GUI thread.
class TsStyleButton {
 public:
  virtual ~TsStyleButton() = default;
  // The button is pressed.
  virtual bool Down() const = 0;
  // The button is a default button (Default set) and the form's active
  // default one; false for buttons that have no Default.
  virtual bool IsActiveDefault() const = 0;
  // Width of the button's own bevel, used by the not-hot border.
  virtual int32_t BevelWidth() const = 0;
  // Cross-fade toward the hot look (mouse entry) and back (mouse exit).
  virtual void StartFadeIn() = 0;
  virtual void StartFadeOut() = 0;
  // The button's own class name ("TsButtonControl", "TsButton",
  // "TsBitBtn"): an empty SkinSection takes it.
  virtual std::string_view ClassName() const = 0;

 protected:
  TsStyleButton() = default;
  TsStyleButton(const TsStyleButton&) = default;
  TsStyleButton& operator=(const TsStyleButton&) = default;
};

// The style of a control: its cache (a 24-bit bitmap of its size), its
// window region, its focus and its part of the library's messages.
class TsGenStyle : public platform::ui::TPersistent {
 public:
  // control may be null: such a style builds no region and sizes its cache
  // 0 by 0. The cache starts at the control's size.
  explicit TsGenStyle(TControl* control);
  // Repaints the control's parent (so it paints over a shadow) unless the
  // parent is being destroyed too.
  ~TsGenStyle() override;

  // ---- published ----
  TsEffects& Effects() { return *effects_; }
  const TsEffects& Effects() const { return *effects_; }
  const std::string& SkinSection() const { return skinSection_; }
  // A different name looks the skin indexes up again, sets RegionPending
  // and runs Invalidate.
  void SetSkinSection(std::string_view section);
  // The base group: the library messages of this level must carry it in
  // WParam. Paint styles hide it behind a group of their own.
  int32_t GroupIndex() const { return baseGroup_; }
  void SetGroupIndex(int32_t group) { baseGroup_ = group; }
  bool SoftControl() const { return softControl_; }
  // A different value sets RegionPending and runs Invalidate.
  void SetSoftControl(bool soft);
  // Stored, never fired.
  platform::ui::TNotifyEvent OnMouseEnter;

  // ---- state ----
  TControl* Control() const { return control_; }
  platform::ui::TBitmap& Cache() { return *cache_; }
  const platform::ui::TBitmap& Cache() const { return *cache_; }
  bool CacheStale() const { return cacheStale_; }
  void SetCacheStale(bool stale) { cacheStale_ = stale; }
  bool RegionPending() const { return regionPending_; }
  void SetRegionPending(bool pending) { regionPending_ = pending; }
  // Handle of the window region last built (null for none); the window
  // owns it once it is set there.
  platform::ui::HRGN Region() const { return region_; }
  void SetRegion(platform::ui::HRGN region) { region_ = region; }
  int32_t SkinIndex() const { return indexes_.Skin; }
  int32_t MaskIndex() const { return indexes_.Mask; }
  // The owner's kind code (91, 93, 94 for the buttons).
  int32_t StyleKind() const { return styleKind_; }
  void SetStyleKind(int32_t kind) { styleKind_ = kind; }
  bool HasFocus() const { return hasFocus_; }

  // ---- operations ----
  // The message as this level takes it; overrides do their part first and
  // then call the inherited one. Raises what a repaint it causes raises.
  virtual void HandleMessage(TMessage& message);
  // Whether the control is drawn in its hot look: an active default button
  // (even disabled), then not disabled, a pressed button, a kind that may
  // be hot, the focus.
  bool IsHot() const;
  // Marks the cache stale and invalidates the control unless it is loading,
  // being destroyed or hidden.
  virtual void Invalidate();
  // Tells the parent its cache is stale (0xA401, LParam -1) and repaints it.
  void RepaintParent();
  // The parent's answer to 0xA408: its cache as background (see
  // ParentBackgroundInfo); not valid without a parent or with a parent that
  // is not styled.
  TBackSource GetParentBackground();
  // The cache takes the control's size (0 by 0 without one), 24 bits.
  void UpdateCacheSize();
  // With RegionPending: builds the window region again (corners cut for a
  // soft control of a soft-corner kind, none otherwise) and sets it on the
  // window with redraw.
  virtual void UpdateRegion();
  // Marks the cache stale, fills an empty SkinSection with the control's
  // class name and looks the skin indexes up again. The owner calls it from
  // AfterConstruction and Loaded.
  virtual void UpdateSkinIndexes();
  // The border mask of the skin section; null without a valid section.
  virtual const platform::ui::TBitmap* SkinBordersMask() const;
  // The control's shadow on canvas, moved by (dx, dy); nothing here.
  virtual void PaintShadow(platform::ui::TCanvas& canvas, int32_t dx, int32_t dy);
  // Whether the button cross-fades on mouse entry and exit; false here.
  virtual bool FadingEnabled() const;

 protected:
  // The control's button side; null when the control is not a button.
  TsStyleButton* Button() const;
  // The control is a button and pressed.
  bool ButtonDown() const;
  // The control is windowed and holds the keyboard focus.
  bool ControlFocused() const;
  // Looks SkinIndex and MaskIndex up by SkinSection.
  void LookUpSkinIndexes();
  // The corner-cut region of the control, or null when SoftControl is off,
  // the kind has no soft corners or the control has no window.
  platform::ui::HRGN NewCornerRegion() const;
  // Sets region as the control's window region with redraw; the window
  // takes it (a control without a window frees it).
  void SetWindowRegion(platform::ui::HRGN region);
  // Paint styles also take 0xA433..0xA464 at the base level.
  virtual bool IsPaintStyle() const { return false; }
  // The control is hidden (or there is none).
  bool ControlHidden() const;

 private:
  void HandleWindowMessage(TMessage& message);
  void HandleLibraryMessage(TMessage& message);
  void MouseCrossed(bool entered);
  void RepaintAfterMove();
  void ApplyShadowDefaults(const TMessage& message);
  void RefreshForChildShadow();

  std::unique_ptr<TsEffects> effects_;
  std::string skinSection_;
  int32_t baseGroup_ = 0;
  bool softControl_ = true;
  TsSkinIndexes indexes_;
  bool regionPending_ = true;
  bool cacheStale_ = true;
  TControl* control_;
  std::unique_ptr<platform::ui::TBitmap> cache_;
  platform::ui::HRGN region_ = nullptr;
  int32_t styleKind_ = 0;
  bool hasFocus_ = false;
};

// The style of control: null for null, a non-control or a control without
// one. Asks the control's WindowProc (0xA000).
TsGenStyle* GetStyleOf(platform::ui::TObject* control);
// 1 (or more) for a styled control, 0 for a plain one, null or a
// non-control. Asks the same query.
int32_t GetStyleKind(platform::ui::TObject* control);

// The one parent-background record of the library: filled by the style
// that answers 0xA408, read by the asker right after its send. Starts
// zeroed. GUI thread.
TBackSource& ParentBackgroundInfo();

// The first form on a component's owner chain (the component included),
// null when the chain ends first: the platform's own lookup.
using platform::ui::FindOwnerForm;
// Sends 0xA401 to control through its own dispatch: WParam 0, LParam -1
// with flag, else 0. Nothing for null.
void PerformGroupRefresh(TControl* control, bool flag);

}  // namespace skin
