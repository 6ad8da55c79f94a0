#pragma once
// Containers and pictures: TGroupBox, TPanel, TImage.

#include <memory>

#include "platform/ui/Picture.h"
#include "platform/ui/WinControl.h"

namespace platform::ui {

class TGroupBox : public TCustomControl {
 public:
  explicit TGroupBox(TComponent* owner);
  // The client area lies below the caption line and inside the frame.
  TPoint ClientOrigin() const override;
  int ClientWidth() const override;
  int ClientHeight() const override;
  TPoint NonClientSize() const override;

 protected:
  void Dispatch(TMessage& message) override;
  // An etched frame from the middle of the caption line down, the caption
  // on the colour at the top left.
  void Paint() override;
};

enum class TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TCustomControl {
 public:
  explicit TPanel(TComponent* owner);
  TPanelBevel BevelInner() const { return bevelInner_; }
  void SetBevelInner(TPanelBevel b) { bevelInner_ = b; Invalidate(); }
  TPanelBevel BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TPanelBevel b) { bevelOuter_ = b; Invalidate(); }
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int w) { bevelWidth_ = w < 1 ? 1 : w; Invalidate(); }
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int w) { borderWidth_ = w < 0 ? 0 : w; Invalidate(); }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a) { alignment_ = a; Invalidate(); }

 protected:
  // The colour, the outer bevel, BorderWidth pixels of face, the inner
  // bevel (each BevelWidth lines), and the caption centred.
  void Paint() override;

 private:
  TPanelBevel bevelInner_ = TPanelBevel::bvNone;
  TPanelBevel bevelOuter_ = TPanelBevel::bvRaised;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TAlignment alignment_ = TAlignment::taCenter;
};

class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* owner);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v) { stretch_ = v; Invalidate(); }
  bool Center() const { return center_; }
  void SetCenter(bool v) { center_ = v; Invalidate(); }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v) { transparent_ = v; Invalidate(); }
  bool Proportional() const { return proportional_; }
  void SetProportional(bool v) { proportional_ = v; Invalidate(); }
  // The picture shown; a change repaints the image.
  TPicture& Picture() { return *picture_; }

 protected:
  // The picture at the top left (or centred, or stretched to the bounds,
  // keeping its proportions when Proportional); nothing when empty.
  void Paint() override;

 private:
  std::unique_ptr<TPicture> picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool transparent_ = false;
  bool proportional_ = false;
};

}  // namespace platform::ui
