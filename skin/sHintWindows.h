#pragma once
// sHintWindows: the skinned hint windows the application makes through the
// hint window class a TsHintManager sets: a rectangle (TsSimplyHintWindow),
// a rounded rectangle with a tail (TsComicsHintWindow), an ellipse with a
// tail (TsEllipseHintWindow) and an ellipse with a trail of bubbles
// (TsBalloonHintWindow). None has a window shape: each grabs the screen
// under the place it opens at, paints shadow, body, text and bevel over
// that picture, and shows the result, so that what lies outside the shape
// looks see-through. The look is the active hint manager's; without one a
// skinned window measures nothing and shows nothing.
//
// GUI thread only.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/Application.h"
#include "platform/ui/Bitmap.h"
#include "skin/sHintManager.h"
#include "skin/sHintShapes.h"

namespace skin {

// The message shown when the screen cannot be grabbed.
inline constexpr std::string_view kHintGrabError = "GDI error (out of resources)";

class TsCustomHintWindow : public platform::ui::THintWindow {
 public:
  explicit TsCustomHintWindow(platform::ui::TComponent* owner);

  // (0, 0, w, h) of the text measured in the manager's font (wrapped to its
  // MaxWidth, or as markup) with margins, bevel, shadow and the shape's
  // room; each side 0..kMaxGraphicSide. Empty without an active manager.
  platform::ui::TRect CalcHintRect(int maxWidth, const std::string& hint, void* data) override;
  // Opens rect's size at the mouse point (see PlaceHint), grabbing the
  // screen there first; nothing without an active manager or with Style
  // hsNone. The application's hint-hide pause becomes the manager's
  // PauseHide. When the screen cannot be grabbed an error box says so and
  // the window stays hidden.
  void ActivateHint(platform::ui::TRect rect, const std::string& hint) override;

  // Extra size of the ellipse and balloon shapes around the text box.
  int32_t EllipseExtraWidth = 0;
  int32_t EllipseExtraHeight = 0;
  // Where the window opened relative to the mouse point (sHintShapes).
  THintCorner Corner = 0;

 protected:
  // Starts from the grabbed screen each time: shadow, then body through
  // the mask, then the result to the window.
  void Paint() override;
  // The background is never erased: Paint covers every pixel.
  void Dispatch(platform::ui::TMessage& message) override;

  // The point the window opens at: the mouse point.
  virtual platform::ui::TPoint GetMousePosition() const;
  // The shadow, into the work bitmap.
  virtual void PaintShadow(TsHintManager& m) = 0;
  // A new bitmap of the window's size: white where the screen shows, black
  // (grey where partly) where the body does.
  virtual std::unique_ptr<platform::ui::TBitmap> GetMask(TsHintManager& m) = 0;
  // A new bitmap of the window's size holding background, text and bevel.
  virtual std::unique_ptr<platform::ui::TBitmap> GetBody(TsHintManager& m) = 0;
  // The body inside the window: all but the shadow's room.
  virtual platform::ui::TRect GetBodyRect(const TsHintManager& m) const;
  // r of b through the manager's background painter.
  virtual void PaintBG(TsHintManager& m, platform::ui::TBitmap& b, const platform::ui::TRect& r);
  // The bevel: nested rings on the body rectangle.
  virtual void PaintBorder(TsHintManager& m, platform::ui::TBitmap& b);
  // The caption in the manager's font inside the body less margins and
  // bevel (and half the ellipse's extra size), centred and wrapped, or as
  // markup.
  virtual void PaintText(TsHintManager& m, platform::ui::TBitmap& b);
  // Room the shape adds to the measured rectangle; the base adds none.
  virtual void AddShapeRoom(const TsHintManager& m, platform::ui::TRect& r);

  // A white bitmap of the work bitmap's size.
  static std::unique_ptr<platform::ui::TBitmap> NewLikeWork(TsHintManager& m);

 private:
  platform::ui::TBitmap grab_;  // the screen under the window when it opened
};

class TsSimplyHintWindow : public TsCustomHintWindow {
 public:
  using TsCustomHintWindow::TsCustomHintWindow;

 protected:
  // The mouse point, 16 pixels lower.
  platform::ui::TPoint GetMousePosition() const override;
  // A soft rectangle of the shadow colour.
  void PaintShadow(TsHintManager& m) override;
  // The body rectangle with a soft edge Blur wide.
  std::unique_ptr<platform::ui::TBitmap> GetMask(TsHintManager& m) override;
  // The background over the window less the shadow's room.
  std::unique_ptr<platform::ui::TBitmap> GetBody(TsHintManager& m) override;
};

// What the comics, ellipse and balloon shapes share: the tail's room above
// or below the body, the whole window as body, and a one-pixel outline of
// the mask as bevel (whatever BevelWidth above 0 is).
class TsTailedHintWindow : public TsCustomHintWindow {
 public:
  using TsCustomHintWindow::TsCustomHintWindow;

 protected:
  std::unique_ptr<platform::ui::TBitmap> GetBody(TsHintManager& m) override;
  platform::ui::TRect GetBodyRect(const TsHintManager& m) const override;
  void PaintBorder(TsHintManager& m, platform::ui::TBitmap& b) override;
  // ExOffset below.
  void AddShapeRoom(const TsHintManager& m, platform::ui::TRect& r) override;

  // ExOffset below, then the ellipse's growth (EllipseExtraWidth/Height).
  void AddEllipseRoom(const TsHintManager& m, platform::ui::TRect& r);
  // The tail's tip for the current corner.
  platform::ui::TPoint TailPoint() const;
  // The stepped comics or ellipse mask (sHintShapes) with the body's
  // transparency and Blur.
  std::unique_ptr<platform::ui::TBitmap> SteppedMask(TsHintManager& m, THintShape shape);
  // The same steps for the shadow, moved by its offset, tinting the work
  // bitmap toward the shadow colour.
  void SteppedShadow(TsHintManager& m, THintShape shape);
};

class TsComicsHintWindow : public TsTailedHintWindow {
 public:
  using TsTailedHintWindow::TsTailedHintWindow;

 protected:
  void PaintShadow(TsHintManager& m) override;
  std::unique_ptr<platform::ui::TBitmap> GetMask(TsHintManager& m) override;
};

class TsEllipseHintWindow : public TsTailedHintWindow {
 public:
  using TsTailedHintWindow::TsTailedHintWindow;

 protected:
  void PaintShadow(TsHintManager& m) override;
  std::unique_ptr<platform::ui::TBitmap> GetMask(TsHintManager& m) override;
  void AddShapeRoom(const TsHintManager& m, platform::ui::TRect& r) override;
};

class TsBalloonHintWindow : public TsTailedHintWindow {
 public:
  using TsTailedHintWindow::TsTailedHintWindow;

  // Bubbles of the trail (1..kMaxBubbles are drawn) and the divisor of the
  // first one's size.
  int32_t BubbleCount = 3;
  int32_t BubbleDivisor = 4;

 protected:
  // The balloon mask moved by the shadow's offset, as a tint.
  void PaintShadow(TsHintManager& m) override;
  std::unique_ptr<platform::ui::TBitmap> GetMask(TsHintManager& m) override;
  void AddShapeRoom(const TsHintManager& m, platform::ui::TRect& r) override;

 private:
  TBalloonTrail Trail(const TsHintManager& m) const;
};

// The hint window class a manager sets for a Style: makes the window of
// that style (THintWindow for hsStandard, TsSimplyHintWindow for hsNone).
// Compared by manager when the manager hands the class back.
struct TsHintWindowMaker {
  const TsHintManager* Manager;
  TsHintStyle Style;
  platform::ui::THintWindow* operator()(platform::ui::TComponent* owner) const;
};

}  // namespace skin
