#pragma once
// Shared pieces of the driver's tests: a temporary folder, a unique IPC
// namespace, the stand-in kernel's model and its recorded log.

#include "driver/DrvTypes.h"
#include "peers/kernel/KernelModel.h"
#include "platform/os/Text.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace drvtest {

namespace fs = std::filesystem;

inline std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(info->test_suite_name()) + "." + info->name();
}

// A folder of its own for one test, removed at the end.
class TempDir {
 public:
  TempDir() : path_(fs::temp_directory_path() / ("drv-" + std::to_string(::getpid()) + "-" + TestName())) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// Sets a namespace of this test process for its sections, windows and
// children. One name per process: the window table of a process stays in
// the namespace it first used.
class Namespace {
 public:
  Namespace() {
    const std::string name = "drv-" + std::to_string(::getpid());
    ::setenv("FERROWICK_IPC_NAMESPACE", name.c_str(), 1);
  }
  ~Namespace() { ::unsetenv("FERROWICK_IPC_NAMESPACE"); }
  Namespace(const Namespace&) = delete;
  Namespace& operator=(const Namespace&) = delete;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The kernel's log items so far: (code, text in CP1251).
struct LogEntry {
  int32_t Code;
  std::string Text;
};

inline std::vector<LogEntry> KernelLog() {
  std::vector<LogEntry> out;
  for (const driver::TLogItem& item : kernel::KernelModel::Instance().LogItems()) {
    out.push_back({item.Code, std::string(item.Text, strnlen(item.Text, sizeof item.Text))});
  }
  return out;
}

inline int CountLog(int32_t code, std::string_view text) {
  int n = 0;
  for (const LogEntry& e : KernelLog()) n += e.Code == code && e.Text == text ? 1 : 0;
  return n;
}

inline int CountLogCode(int32_t code) {
  int n = 0;
  for (const LogEntry& e : KernelLog()) n += e.Code == code ? 1 : 0;
  return n;
}

// A variable of the kernel model.
inline kernel::VariableSpec Var(int32_t id, std::string name, std::string routing, float initial = 0,
                                float deadband = 0, float low = 0, float high = 0) {
  kernel::VariableSpec variable;
  variable.Id = id;
  variable.Name = std::move(name);
  variable.Routing = std::move(routing);
  variable.Initial = initial;
  variable.Deadband = deadband;
  variable.Low = low;
  variable.High = high;
  return variable;
}

}  // namespace drvtest
