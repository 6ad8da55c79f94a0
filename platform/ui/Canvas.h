#pragma once
// The drawing surface a control or a bitmap paints on: the drawing
// operations of TPainter, with the control it covers and the paint bracket
// the control model relies on. A canvas draws into its target bitmap; one
// without a target draws nowhere.

#include "platform/ui/Font.h"
#include "platform/ui/Painter.h"

namespace platform::ui {

class TControl;

class TCanvas : public TPainter {
 public:
  TCanvas() = default;

  TFont& Font() override { return font_; }
  const TFont& Font() const override { return font_; }

  // The control whose client area this canvas covers; null for a free
  // canvas (a bitmap's).
  TControl* Control() const { return control_; }
  void SetControl(TControl* control) { control_ = control; }

  // Paint bracket: Lock while a paint handler runs. Nesting is counted.
  void Lock() { ++locks_; }
  void Unlock() {
    if (locks_ > 0) --locks_;
  }
  bool Locked() const { return locks_ > 0; }

 private:
  TFont font_;
  TControl* control_ = nullptr;
  int locks_ = 0;
};

// Holds a canvas's paint bracket for a scope.
class TCanvasLock {
 public:
  explicit TCanvasLock(TCanvas& canvas) : canvas_(canvas) { canvas_.Lock(); }
  ~TCanvasLock() { canvas_.Unlock(); }
  TCanvasLock(const TCanvasLock&) = delete;
  TCanvasLock& operator=(const TCanvasLock&) = delete;

 private:
  TCanvas& canvas_;
};

}  // namespace platform::ui
