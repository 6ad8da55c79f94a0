#pragma once
// The drawing surface a control paints on. This is the part of the canvas
// the control model relies on (its font and the paint bracket); the drawing
// operations are added by the drawing layer. Without a display a canvas
// draws nowhere.

#include "platform/ui/Font.h"

namespace platform::ui {

class TControl;

class TCanvas : public TPersistent {
 public:
  TCanvas() = default;

  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }

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

}  // namespace platform::ui
