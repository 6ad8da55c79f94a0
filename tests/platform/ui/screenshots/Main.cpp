// Writes one BMP file per registered page into the folder given as the
// only argument (created when missing). Runs on the headless backend.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "platform/ui/Application.h"
#include "platform/ui/Backend.h"
#include "platform/ui/Screenshot.h"
#include "tests/platform/ui/screenshots/Pages.h"

namespace screenshots {

namespace {
std::map<std::string, TPage>& Registry() {
  static std::map<std::string, TPage> pages;
  return pages;
}
}  // namespace

bool RegisterPage(std::string name, TPageFactory make, bool wholeScreen) {
  Registry()[name] = TPage{name, std::move(make), wholeScreen};
  return true;
}

std::vector<TPage> Pages() {
  std::vector<TPage> out;
  for (const auto& entry : Registry()) out.push_back(entry.second);
  return out;
}

}  // namespace screenshots

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  setenv("FERROWICK_UI", "headless", 1);
  namespace ui = platform::ui;
  const std::filesystem::path folder = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), ec.message().c_str());
    return 1;
  }
  int failures = 0;
  const auto pages = screenshots::Pages();
  for (const auto& page : pages) {
    try {
      ui::TCustomForm* form = page.Make();
      form->Show();
      ui::Application().ProcessMessages();
      const std::string path = (folder / (page.Name + ".bmp")).string();
      ui::Application().ProcessMessages();
      if (page.WholeScreen)
        ui::SaveScreenScreenshot(path);
      else
        ui::SaveWindowScreenshot(*form, path);
      ui::Application().CancelHint();
      ui::TComponent::Free(form);
      std::printf("%s\n", path.c_str());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", page.Name.c_str(), e.what());
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
