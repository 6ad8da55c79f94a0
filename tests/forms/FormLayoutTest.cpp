// The layout of every form of the system: each visible control lies inside
// its parent's client area and no two visible siblings overlap. Every page
// of a page control is checked (the others are hidden while it shows).
//
// kForms is the table of the forms: one line per form, its name and a
// factory that makes it in the state to check.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "driver_dialogs/DrvInstall.h"
#include "driver_dialogs/DrvTerminal.h"
#include "driver_dialogs/Ferrowick_Setup.h"
#include "driver_dialogs/MessageBoxes.h"
#include "driver_dialogs/OPCServerList.h"
#include "driver_dialogs/OPC_About.h"
#include "platform/com/OpcDa.h"
#include "platform/ui/Application.h"
#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/SaveDialogForm.h"
#include "server/MainWindow.h"
#include "server/ServerStatusDlg.h"

namespace {

namespace ui = platform::ui;

const bool kHeadless = setenv("FERROWICK_UI", "headless", 1) == 0;

// The browser scans a registry of this program's own, which holds nothing.
const std::filesystem::path kRegistry =
    std::filesystem::temp_directory_path() / ("form-layout-registry-" + std::to_string(getpid()));
const bool kRegistrySet = setenv("FERROWICK_REGISTRY_DIR", kRegistry.c_str(), 1) == 0;

// The main window without its start-up and shut-down handlers (no section,
// devices or tray).
class TBareServerWindow : public server::TServerWindow {
 public:
  explicit TBareServerWindow(ui::TComponent* owner) : server::TServerWindow(owner) {
    OnCreate = nullptr;
    OnDestroy = nullptr;
  }
};

ui::TCustomForm* StatusDialog() {
  static char16_t vendor[] = u"Vendor";
  platform::com::OPCSERVERSTATUS status{};
  status.dwServerState = 1;
  status.szVendorInfo = vendor;
  auto* dialog = ui::Create<server::TServerStatusDialog>(nullptr);
  dialog->ShowStatus(status);
  return dialog;
}

ui::TCustomForm* SaveDialogForm() {
  auto* form = ui::Create<ui::TSaveDialogForm>(nullptr);
  form->Start("", std::filesystem::temp_directory_path().string(), "report.txt");
  return form;
}

struct TFormCase {
  const char* Name;
  std::function<ui::TCustomForm*()> Make;
};

const TFormCase kForms[] = {
    {"server main window", [] { return ui::Create<TBareServerWindow>(nullptr); }},
    {"server status dialog", StatusDialog},
    {"save dialog form", SaveDialogForm},
    {"OPC server browser", [] { return ui::Create<driver_dialogs::TOPCServerBrowser>(nullptr); }},
    {"device setup dialog", [] { return ui::Create<driver_dialogs::TFerrowickSetupDlg>(nullptr); }},
    {"driver state window", [] { return ui::Create<driver_dialogs::TTerminalWindow>(nullptr); }},
    {"about box", [] { return ui::Create<driver_dialogs::TAboutDialog>(nullptr); }},
    {"message box", [] { return ui::Create<driver_dialogs::TMessageBoxDialog>(nullptr); }},
    {"installation dialog", [] { return ui::Create<driver_dialogs::TInstallProcDialog>(nullptr); }},
};

std::string NameOf(const ui::TControl& control) {
  return control.Name().empty() ? std::string("(unnamed)") : control.Name();
}

std::string BoundsText(const ui::TControl& c) {
  return std::to_string(c.Left()) + "," + std::to_string(c.Top()) + " " + std::to_string(c.Width()) + "x" +
         std::to_string(c.Height());
}

bool Overlap(const ui::TControl& a, const ui::TControl& b) {
  return a.Left() < b.Left() + b.Width() && b.Left() < a.Left() + a.Width() && a.Top() < b.Top() + b.Height() &&
         b.Top() < a.Top() + a.Height();
}

class LayoutChecker {
 public:
  std::vector<std::string> Problems;

  // The visible children of parent, then each windowed one's own.
  void Check(ui::TWinControl& parent, const std::string& path) {
    if (auto* pages = dynamic_cast<ui::TPageControl*>(&parent)) {
      CheckPages(*pages, path);
      return;
    }
    std::vector<ui::TControl*> shown;
    for (int i = 0; i < parent.ControlCount(); ++i)
      if (ui::TControl* c = parent.Controls(i); c->Visible()) shown.push_back(c);
    for (std::size_t i = 0; i < shown.size(); ++i) {
      CheckInside(*shown[i], parent, path);
      for (std::size_t j = i + 1; j < shown.size(); ++j)
        if (Overlap(*shown[i], *shown[j]))
          Problems.push_back(path + ": " + NameOf(*shown[i]) + " (" + BoundsText(*shown[i]) + ") overlaps " +
                             NameOf(*shown[j]) + " (" + BoundsText(*shown[j]) + ")");
    }
    for (ui::TControl* c : shown)
      if (auto* w = dynamic_cast<ui::TWinControl*>(c)) Check(*w, path + "/" + NameOf(*c));
  }

 private:
  void CheckInside(const ui::TControl& c, const ui::TWinControl& parent, const std::string& path) {
    if (c.Left() >= 0 && c.Top() >= 0 && c.Left() + c.Width() <= parent.ClientWidth() &&
        c.Top() + c.Height() <= parent.ClientHeight())
      return;
    Problems.push_back(path + ": " + NameOf(c) + " (" + BoundsText(c) + ") outside the client area " +
                       std::to_string(parent.ClientWidth()) + "x" + std::to_string(parent.ClientHeight()));
  }

  void CheckPages(ui::TPageControl& pages, const std::string& path) {
    const int active = pages.ActivePageIndex();
    for (int i = 0; i < pages.PageCount(); ++i) {
      pages.SetActivePageIndex(i);
      Check(pages, path, *pages.Pages(i));
    }
    pages.SetActivePageIndex(active);
  }
  // One page: the page inside the page control, then its own controls.
  void Check(ui::TPageControl& pages, const std::string& path, ui::TTabSheet& page) {
    CheckInside(page, pages, path);
    Check(page, path + "/" + NameOf(page));
  }
};

TEST(FormLayout, EveryControlInsideItsParentAndNoSiblingsOverlap) {
  ASSERT_TRUE(kHeadless && kRegistrySet);
  ui::THeadlessDriver::Reset();
  for (const TFormCase& form : kForms) {
    ui::TCustomForm* made = form.Make();
    made->Show();
    ui::Application().ProcessMessages();
    LayoutChecker checker;
    checker.Check(*made, made->Name());
    EXPECT_TRUE(checker.Problems.empty()) << form.Name << ":\n" << [&] {
      std::string all;
      for (const std::string& p : checker.Problems) all += "  " + p + "\n";
      return all;
    }();
    ui::TComponent::Free(made);
  }
  ui::THeadlessDriver::Reset();
  std::filesystem::remove_all(kRegistry);
}

}  // namespace
