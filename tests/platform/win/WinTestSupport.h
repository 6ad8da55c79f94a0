#pragma once
// Shared pieces of the window and process tests: the child roles this test
// program plays when started with FW_WIN_CHILD set, bounded waits and
// temporary folders.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace wintest {

// Environment variable that selects a child role (see RunChildRole).
inline constexpr const char* kChildRoleVar = "FW_WIN_CHILD";

// Runs the role named by FW_WIN_CHILD and answers the exit code.
int RunChildRole(const std::string& role, int argc, char** argv);

// Polls condition every millisecond until it holds or timeoutMs passed.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

// This test program's own file.
std::string SelfPath();

// Reads a whole file; "" when missing.
std::string ReadFile(const std::filesystem::path& path);

// Writes a file so that readers see all of it or nothing.
void WriteFileAtomic(const std::filesystem::path& path, const std::string& text);

// A fresh folder under /tmp, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_;
};

}  // namespace wintest
