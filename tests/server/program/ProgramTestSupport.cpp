#include "tests/server/program/ProgramTestSupport.h"

#include "platform/win/Window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "exchange/ComonDef.h"
#include "platform/os/ByteFields.h"
#include "platform/os/IpcNamespace.h"
#include "platform/os/Time.h"
#include "tests/KillGuard.h"
#include "tests/peers/opcsim/TestClient.h"

extern char** environ;

namespace program_test {

namespace fs = std::filesystem;

void UseProcessNamespace(const std::string& prefix) {
  const std::string ns = prefix + std::to_string(::getpid());
  ::setenv("FERROWICK_IPC_NAMESPACE", ns.c_str(), 1);
}

void ExpectNoSectionLeft() {
  const std::string section = platform::os::IpcName(exchange::kSectionName);
  EXPECT_FALSE(fs::exists("/dev/shm/" + section)) << "left in /dev/shm: " << section;
}

std::unique_ptr<exchange::TIntercomInterface> CreateDriverSection(std::int32_t count) {
  auto section = exchange::TIntercomInterface::Create(exchange::kSectionName, count);
  EXPECT_TRUE(section->IsAttached());
  // The table holds exactly count variables, as the driver fills it.
  for (std::int32_t i = 0; i < count; ++i) {
    exchange::TVLVariableInfo info{};
    info.Id = i + 1;
    std::snprintf(info.Name, sizeof info.Name, "V%d", i + 1);
    EXPECT_TRUE(section->DMLVariables()->Add(info));
  }
  return section;
}

std::int32_t ReadI32(const exchange::TIntercomInterface& section, std::size_t offset) {
  std::int32_t value = 0;
  std::memcpy(&value, section.View() + offset, sizeof value);
  return value;
}

void WriteI32(exchange::TIntercomInterface& section, std::size_t offset, std::int32_t value) {
  std::memcpy(section.View() + offset, &value, sizeof value);
}

std::vector<std::pair<std::int32_t, std::string>> ErrorEntries(exchange::TIntercomInterface& section) {
  exchange::TServerErrorBlock block{};
  std::vector<std::pair<std::int32_t, std::string>> entries;
  if (!section.ServerErrors()->CopyOut(block, false)) return entries;
  const std::int32_t count = std::clamp<std::int32_t>(block.Count, 0, exchange::kMaxErrors);
  for (std::int32_t i = 0; i < count; ++i)
    entries.emplace_back(block.Entries[i].Code, exchange::ShortStringOf(block.Entries[i].Text));
  return entries;
}

std::string DeviceLine(const std::string& name, const std::string& opcServer, bool enabled) {
  const std::string esc = "\x1b";
  return "Name=" + name + esc + "OPCServerName=" + opcServer + esc + "Enabled=" + (enabled ? "1" : "0") +
         esc + "DeviceAddress=1" + esc + "Prefix=OPC";
}

std::string OpcDeviceLine(const std::string& name, const std::string& opcServer, std::int32_t address,
                          const std::string& tagList, const std::string& link, const std::string& command) {
  const std::string esc = "\x1b";
  return "Name=" + name + esc + "OPCServerName=" + opcServer + esc + "Enabled=1" + esc +
         "DeviceAddress=" + std::to_string(address) + esc + "Prefix=OPC" + esc + "TagListName=" + tagList + esc +
         "LinkCtrlTagName=" + link + esc + "ComandCtrlTagName=" + command;
}

std::unique_ptr<exchange::TIntercomInterface> CreateDriverSection(const std::vector<SectionVariable>& variables,
                                                                  const std::vector<std::string>& dynamics) {
  auto section =
      exchange::TIntercomInterface::Create(exchange::kSectionName, static_cast<std::int32_t>(variables.size()));
  EXPECT_TRUE(section->IsAttached());
  if (!section->IsAttached()) return section;
  for (const SectionVariable& v : variables) {
    exchange::TVLVariableInfo info{};
    info.Id = v.Id;
    std::snprintf(info.Name, sizeof info.Name, "%s", v.Name.c_str());
    std::snprintf(info.Routing, sizeof info.Routing, "%s", v.Routing.c_str());
    info.InitialValue = v.Value;
    EXPECT_TRUE(section->DMLVariables()->Add(info));
  }
  for (const std::string& name : dynamics)
    EXPECT_TRUE(section->DynemicVariables()->AddOrUpdate(name, false, 5.0f, 0.0));
  return section;
}

float SharedValue(const exchange::TIntercomInterface& section, std::int32_t i) {
  exchange::TDMLVariable variable{};
  if (!section.DMLVariables()->GetItem(i, variable)) return std::numeric_limits<float>::quiet_NaN();
  return variable.Value;
}

float DynamicValue(const exchange::TIntercomInterface& section, const std::string& name) {
  exchange::TDynemicVariablesList& table = *section.DynemicVariables();
  for (std::int32_t i = 0; i < table.Count(); ++i) {
    exchange::TDynemicItem item{};
    if (table.GetItem(i, item) && exchange::ShortStringOf(item.Name) == name) return item.Value;
  }
  return std::numeric_limits<float>::quiet_NaN();
}

ScopedRegistry::ScopedRegistry(const TempFolder& folder) : path_(folder.Path() + "/registry") {
  std::error_code ec;
  fs::create_directories(path_, ec);
  ::setenv("FERROWICK_REGISTRY_DIR", path_.c_str(), 1);
}

ScopedRegistry::~ScopedRegistry() { ::unsetenv("FERROWICK_REGISTRY_DIR"); }

int Ctl(const std::vector<std::string>& args, std::string* out) { return opcsimtest::RunCtl(args, out); }

bool RegisterSimulation(const TempFolder& folder, const std::string& progId, const std::string& items,
                        const std::string& vendor) {
  const std::string itemsFile = folder.Write(progId + ".items", items);
  return Ctl({"register", progId, itemsFile, "--vendor", vendor}) == 0;
}

std::string Journal(const std::string& progId) {
  std::string out;
  Ctl({"journal", progId}, &out);
  return out;
}

ServerProgram::ServerProgram(const TempFolder& folder)
    : path_(folder.Path() + "/Ferrowick_V30.srv"), registry_(folder.Path() + "/registry") {
  std::error_code ec;
  if (!fs::exists(path_)) {
    fs::copy_file(std::string(FW_OUT_DIR) + "/Ferrowick_V30.srv", path_, ec);
    EXPECT_FALSE(ec) << ec.message();
  }
  fs::create_directory(registry_, ec);
}

ServerProgram::~ServerProgram() { Kill(); }

bool ServerProgram::Start(const std::vector<std::string>& parameters) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string key = entry.substr(0, entry.find('='));
    if (key == "DISPLAY" || key == "LD_LIBRARY_PATH" || key == "FERROWICK_REGISTRY_DIR" ||
        Environment.count(key) != 0)
      continue;
    env.push_back(entry);
  }
  env.push_back("LD_LIBRARY_PATH=" + std::string(FW_OUT_DIR));
  env.push_back("FERROWICK_REGISTRY_DIR=" + registry_);
  for (const auto& [key, value] : Environment) env.push_back(key + "=" + value);

  std::vector<std::string> args{path_};
  args.insert(args.end(), parameters.begin(), parameters.end());
  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!ErrorFile.empty())
    posix_spawn_file_actions_addopen(&actions, 2, ErrorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, path_.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  pid_ = pid;
  return true;
}

int ServerProgram::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  const std::uint32_t start = platform::os::GetTickCount();
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (r < 0) {
      pid_ = -1;
      return -1;
    }
    if (platform::os::TickDiff(platform::os::GetTickCount(), start) >= static_cast<std::uint32_t>(timeoutMs))
      return -1;
    ::usleep(10000);
  }
}

void ServerProgram::Kill() {
  if (pid_ <= 0) return;
  if (kill_guard::KillChild(pid_)) ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
  // A killed server cannot leave the window table; the last one out does.
  platform::win::RemoveStaleWindowTable();
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const std::uint32_t start = platform::os::GetTickCount();
  while (!condition()) {
    if (platform::os::TickDiff(platform::os::GetTickCount(), start) >= static_cast<std::uint32_t>(timeoutMs))
      return false;
    ::usleep(10000);
  }
  return true;
}

}  // namespace program_test
