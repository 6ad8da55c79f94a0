#include "tests/exchange/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/KillGuard.h"

namespace exchange_test {

namespace {
std::atomic<int> g_namespaceCounter{0};
}  // namespace

ScopedNamespace::ScopedNamespace()
    : name_("fwx" + std::to_string(::getpid()) + "n" + std::to_string(++g_namespaceCounter)) {
  ::setenv("FERROWICK_IPC_NAMESPACE", name_.c_str(), 1);
}

ScopedNamespace::~ScopedNamespace() {
  for (const std::string& left : Leftovers()) ADD_FAILURE() << "left in /dev/shm: " << left;
  ::unsetenv("FERROWICK_IPC_NAMESPACE");
}

std::vector<std::string> ScopedNamespace::Leftovers() const {
  std::vector<std::string> result;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
    const std::string file = entry.path().filename().string();
    if (file.rfind(name_ + ".", 0) == 0) result.push_back(file);
  }
  return result;
}

HelperProcess::HelperProcess(const std::vector<std::string>& args) {
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  std::vector<std::string> all = {"/proc/self/exe", "--exchange-helper"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  char exe[] = "/proc/self/exe";

  pid_ = ::fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls until exec.
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::execv(exe, argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  toChild_ = in[1];
  fromChild_ = out[0];
  if (pid_ < 0) {
    ::close(toChild_);
    ::close(fromChild_);
    toChild_ = fromChild_ = -1;
  }
}

HelperProcess::~HelperProcess() {
  CloseInput();
  if (pid_ > 0) {
    Kill();
    Wait(10000);
  }
  if (fromChild_ >= 0) ::close(fromChild_);
}

std::optional<std::string> HelperProcess::ReadLine(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    const auto newline = buffer_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      return line;
    }
    if (fromChild_ < 0) return std::nullopt;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{fromChild_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char chunk[4096];
    const ssize_t n = ::read(fromChild_, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

bool HelperProcess::WriteLine(const std::string& line) {
  if (toChild_ < 0) return false;
  const std::string text = line + "\n";
  return ::write(toChild_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void HelperProcess::CloseInput() {
  if (toChild_ >= 0) ::close(toChild_);
  toChild_ = -1;
}

void HelperProcess::Kill() {
  kill_guard::KillChild(pid_);
}

int HelperProcess::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (done < 0) {
      pid_ = -1;
      return -1;
    }
    if (std::chrono::steady_clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace exchange_test
