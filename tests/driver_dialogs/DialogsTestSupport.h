#pragma once
// Shared pieces of the dialogs' tests: the headless screen, the form a
// modal answer acts on, and what controls show.

#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

namespace dlgtest {

namespace ui = platform::ui;

// A clean headless desktop for each test; a modal form nobody answers
// fails the test instead of waiting 30 s.
class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::THeadlessDriver::Reset();
    ui::THeadlessDriver::SetModalTimeout(10000);
    ui::THeadlessDriver::SetDefaultModalAnswer([](ui::TCustomForm& form) {
      ADD_FAILURE() << "unexpected form " << form.Name();
      form.SetModalResult(ui::mrCancel);
    });
  }
  void TearDown() override {
    EXPECT_EQ(ui::THeadlessDriver::PendingModalAnswers(), 0u) << "a queued form never showed";
    ui::THeadlessDriver::Reset();
  }
};

// The component of the shown form, as a user finds it by name.
template <class T>
T& Get(ui::TCustomForm& form, std::string_view name) {
  auto* component = dynamic_cast<T*>(ui::THeadlessDriver::FindIn(&form, name));
  if (component == nullptr) throw std::runtime_error("no " + std::string(name) + " on " + form.Name());
  return *component;
}

inline std::string Shown(ui::TCustomForm& form, std::string_view name) {
  return ui::THeadlessDriver::Shown(&Get<ui::TControl>(form, name));
}

inline void Click(ui::TCustomForm& form, std::string_view name) {
  ui::THeadlessDriver::Click(&Get<ui::TControl>(form, name));
}

}  // namespace dlgtest
