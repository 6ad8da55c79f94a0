#pragma once
// Screenshots: the pixels of a form or of the whole screen written as a
// 24-bit BMP file. Pending paints of the calling thread run first. GUI
// thread.

#include <string>

namespace platform::ui {

class TBitmap;
class TWinControl;

// The top-level window of control as painted (a form with its frame and
// caption) into out.
void CaptureWindow(TWinControl& control, TBitmap& out);
// Writes the window of control into path; EInvalidGraphicOperation when
// the file cannot be written.
void SaveWindowScreenshot(TWinControl& control, const std::string& path);
// Writes the backend's whole screen (the virtual screen of the headless
// backend) into path; false when the backend gives no picture,
// EInvalidGraphicOperation when the file cannot be written.
bool SaveScreenScreenshot(const std::string& path);

}  // namespace platform::ui
