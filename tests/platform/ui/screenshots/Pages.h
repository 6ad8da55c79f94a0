#pragma once
// Pages of the screenshot program: each page builds a form, and the
// program writes the painted form as <name>.bmp. A later piece adds its
// forms by registering pages from a source file of its own in this folder:
//
//   static const bool registered = screenshots::RegisterPage("my_form", [] {
//     auto* form = platform::ui::Create<TMyForm>(nullptr);
//     ... put it into the state to show ...
//     return form;
//   });
//
// The program owns the form: it shows it, pumps the messages, takes the
// picture and frees it.

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Form.h"

namespace screenshots {

using TPageFactory = std::function<platform::ui::TCustomForm*()>;

struct TPage {
  std::string Name;
  TPageFactory Make;
  bool WholeScreen = false;  // the virtual screen instead of the form's window
};

// Adds a page; answers true (for static registration). wholeScreen takes
// the virtual screen (for popups and hints that lie outside the form).
bool RegisterPage(std::string name, TPageFactory make, bool wholeScreen = false);
// The pages in order of name.
std::vector<TPage> Pages();

}  // namespace screenshots
