#pragma once
// Shared pieces of the dialogs' tests: the headless screen, the form a
// modal answer acts on, and what controls show.

#include "platform/ui/Form.h"
#include "platform/ui/Headless.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include <functional>
#include <string>
#include <string_view>

namespace dlgtest {

namespace ui = platform::ui;

// A clean headless desktop and a temporary folder for each test; a modal
// form nobody answers fails the test instead of waiting 30 s.
class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("FERROWICK_UI", "headless", 1);
    folder_ = std::filesystem::temp_directory_path() /
              ("dlg-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
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
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::filesystem::path folder_;
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
