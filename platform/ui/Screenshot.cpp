#include "platform/ui/Screenshot.h"

#include "platform/ui/Application.h"
#include "platform/ui/Backend.h"
#include "platform/ui/Bitmap.h"
#include "platform/ui/Form.h"
#include "platform/ui/InputState.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Paint.h"
#include "platform/ui/Screen.h"

namespace platform::ui {

namespace {

void CollectOpenMenus(TComponent* root, std::vector<TPopupMenu*>& out) {
  for (int i = 0; i < root->ComponentCount(); ++i) {
    TComponent* c = root->Components(i);
    if (auto* menu = dynamic_cast<TPopupMenu*>(c); menu != nullptr && menu->IsOpen()) out.push_back(menu);
    CollectOpenMenus(c, out);
  }
}

void Place(TPainter& p, TWinControl& top) {
  TBitmap& pixels = top.WindowBitmap();
  if (pixels.Empty()) return;
  const TRect at = Bounds(top.Left(), top.Top(), pixels.Width(), pixels.Height());
  if (top.WindowRegion() != nullptr) {
    TRegion shape = *top.WindowRegion();
    shape.Offset(top.Left(), top.Top());
    p.SelectClipRgn(&shape);
  }
  p.DrawBitmap(pixels, at, Rect(0, 0, pixels.Width(), pixels.Height()));
  p.SelectClipRgn(nullptr);
}

}  // namespace

void ComposeScreen(TBitmap& out) {
  detail::PaintPending();
  const TRect desk = Backend().DesktopRect();
  out.SetSize(desk.Width(), desk.Height());
  TPainter p;
  p.SetTarget(&out);
  p.Brush().SetColor(clBackground);
  p.FillRect(Rect(0, 0, desk.Width(), desk.Height()));
  std::vector<TCustomForm*> forms = Screen().FormsOfThread();  // front first
  for (auto it = forms.rbegin(); it != forms.rend(); ++it)
    if ((*it)->Visible()) Place(p, **it);
  if (THintWindow* hint = Application().HintWindow(); hint != nullptr && hint->Visible()) Place(p, *hint);
  std::vector<TPopupMenu*> menus;
  for (TCustomForm* f : forms) CollectOpenMenus(f, menus);
  for (TPopupMenu* m : menus) m->PaintMenu(p, m->PopupPoint().X, m->PopupPoint().Y);
}

bool TBackend::CaptureScreen(TBitmap& out) {
  ComposeScreen(out);
  return true;
}

void CaptureWindow(TWinControl& control, TBitmap& out) {
  detail::PaintPending();
  out.Assign(&control.WindowBitmap());
}

void SaveWindowScreenshot(TWinControl& control, const std::string& path) {
  TBitmap shot;
  CaptureWindow(control, shot);
  shot.SaveToFile(path);
}

bool SaveScreenScreenshot(const std::string& path) {
  TBitmap shot;
  detail::PaintPending();
  if (!Backend().CaptureScreen(shot)) return false;
  shot.SaveToFile(path);
  return true;
}

}  // namespace platform::ui
