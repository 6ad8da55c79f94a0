#pragma once
// sHintManager: TsHintManager, the component that gives every hint of the
// module the skinned look. While it lives it is the application's show-hint
// handler, its Style picks the application's hint window class, and the
// hint windows (sHintWindows) paint with the look it holds: margins,
// bevel, blur, tail size, font, and its sStyle (body colours and
// transparency, background, shadow). A table of predefined looks sets all
// of it at once. When destroyed it hands back the show-hint handler and
// the hint window class it replaced (which frees the hint window made
// from its classes) and stops being the active manager, so nothing the
// application holds points into the code that made it. Managers may be
// freed in any order: one that another manager replaced passes what it
// replaced on to that manager, and a manager's class goes back with that
// manager's current Style.
//
// GUI thread only; the active manager is module-wide and unguarded.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/Application.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Component.h"
#include "platform/ui/Font.h"
#include "skin/sStylePassive.h"

namespace skin {

enum class TsHintStyle : uint8_t { hsSimply, hsComics, hsEllipse, hsBalloon, hsStandard, hsNone };

enum class TsHintsPredefinitions : uint8_t {
  shSimply,
  shGradient,
  shTransparent,
  shEllipse,
  shBalloon,
  shComicsGradient,
  shComicsTransparent,
  shStandard,
  shNone,
  shCustom
};

// The application's pauses a manager sets when it is created.
inline constexpr int kManagerHintPause = 500;
inline constexpr int kManagerHintShortPause = 200;

// The manager's integer properties as the hint windows read them.
struct TsHintNumbers {
  int32_t Radius, BevelWidth, Blur, ExOffset, MarginH, MarginV, MaxWidth;
};

class TsHintManager : public platform::ui::TComponent, public TsPassiveStyleOwner {
 public:
  // Every default; the application's hint pauses become 500 and 200 ms and
  // the manager becomes its show-hint handler (the one it replaces is kept).
  explicit TsHintManager(platform::ui::TComponent* owner);
  // Hands back what it replaced (see above); the active manager becomes
  // the one whose class the application then holds, if any.
  ~TsHintManager() override;

  // Stored without side effects; the hint windows read the integers
  // through Numbers.
  bool HTMLMode = false;
  int32_t Radius = 20;
  int32_t BevelWidth = 1;
  int32_t Blur = 1;
  int32_t ExOffset = 32;
  int32_t PauseHide = 5000;
  int32_t MarginH = 15;
  int32_t MarginV = 10;
  int32_t MaxWidth = 200;
  int32_t HintsDesigner = 0;
  // Called with the application's show-hint arguments before each hint.
  platform::ui::TShowHintEvent OnShowHint;

  // The body's look; changes through its setters make PreDefinitions
  // shCustom.
  TsPassivePaintStyle& sStyle() { return *style_; }
  const TsPassivePaintStyle& sStyle() const { return *style_; }

  TsHintStyle Style() const { return hintStyle_; }
  // Stores and applies the style (hint window class, active manager), then
  // PreDefinitions becomes shCustom. A class someone else installed after
  // this manager's first one stays, and so does the active manager then.
  void SetStyle(TsHintStyle value);
  platform::ui::TFont& Font() { return *font_; }
  const platform::ui::TFont& Font() const { return *font_; }
  // Copies value; PreDefinitions becomes shCustom.
  void SetFont(const platform::ui::TFont& value);
  TsHintsPredefinitions PreDefinitions() const { return preDefinitions_; }
  // Applies the look (shCustom: nothing), then stores the value.
  void SetPreDefinitions(TsHintsPredefinitions value);

  // The integer properties, each within -kMaxGraphicSide..kMaxGraphicSide
  // (MaxWidth within 0..kMaxGraphicSide), so that no sum of a few of them
  // and a window's sides overflows.
  TsHintNumbers Numbers() const;
  // The room the shadow takes at the right and bottom: its offset when it
  // is on, else 0.
  int32_t ShadowShift() const;
  // The shadow's transparency over the body's: painting transparency
  // (0..100) combined with the shadow's.
  int32_t ShadowTransparency() const;
  // Fills r of b, a body bitmap, with the body's look over the screen
  // image in sStyle's work bitmap: the painting transparency (bounded to
  // 0..100) shows that much of the screen through the fill of picture,
  // gradient and colour.
  void PaintBG(platform::ui::TBitmap& b, const platform::ui::TRect& r);

 protected:
  // Applies Style once the form's values are read.
  void Loaded() override;
  // dest must be another hint manager (else EConvertError): it takes the
  // look (numbers, font, background, painting, shadow), Style through its
  // setter, and last this PreDefinitions. MaxWidth, HTMLMode,
  // HintsDesigner and OnShowHint stay.
  void AssignTo(platform::ui::TPersistent* dest) const override;

 private:
  void PassiveStyleChanged() override;
  void ApplyStyle();
  void FillBody(platform::ui::TBitmap& b, const platform::ui::TRect& r);
  void PaintGradientOrColor(platform::ui::TBitmap& b, const platform::ui::TRect& r);
  void HandBack();

  std::unique_ptr<TsPassivePaintStyle> style_;
  std::unique_ptr<platform::ui::TFont> font_;
  TsHintStyle hintStyle_ = TsHintStyle::hsEllipse;
  TsHintsPredefinitions preDefinitions_ = TsHintsPredefinitions::shEllipse;
  // What this manager replaced in the application, handed back at the end.
  platform::ui::TShowHintEvent replacedShowHint_;
  platform::ui::THintWindowClass replacedHintWindowClass_;
  bool hintWindowClassReplaced_ = false;
};

// The manager whose look the hint windows use; null until one applies a
// skinned Style, and again once it is destroyed.
TsHintManager* ActiveHintManager();

// The application's show-hint handler a manager installs: calls the
// manager's OnShowHint. Compared by manager when the manager hands back.
struct TsShowHintThunk {
  TsHintManager* Manager;
  void operator()(std::string& hintStr, bool& canShow, platform::ui::THintInfo& info) const;
};

}  // namespace skin
