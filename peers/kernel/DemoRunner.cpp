#include "peers/kernel/DemoRunner.h"

#include "exchange/ComonDef.h"
#include "exchange/OPCSharedMemory.h"
#include "peers/kernel/DemoTable.h"
#include "peers/kernel/HostSession.h"
#include "peers/kernel/Interruption.h"
#include "peers/kernel/ScriptReader.h"
#include "platform/os/Files.h"
#include "platform/os/IpcNamespace.h"
#include "platform/os/Process.h"
#include "platform/os/Time.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace kernel {

namespace {

namespace fs = std::filesystem;
namespace os = platform::os;

constexpr uint32_t kCtlTimeoutMs = 10000;
constexpr uint32_t kServerEndMs = 5000;
constexpr int kWriteSecond = 3;       // the writes go out once the links are up, from here
constexpr int kWriteNoLaterThan = 3;  // seconds before the end

// A fault that ends the demo's set-up (exit status 2).
class SetupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The demo's temporary folder, removed with everything in it.
class DemoFolder {
 public:
  DemoFolder() {
    std::string pattern = (fs::temp_directory_path() / "ferrowick-demo-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw SetupError("cannot make a temporary folder");
    path_ = pattern + "/";
  }
  ~DemoFolder() {
    std::error_code ignored;  // nothing is left to do about a folder that cannot go
    fs::remove_all(path_, ignored);
  }
  DemoFolder(const DemoFolder&) = delete;
  DemoFolder& operator=(const DemoFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string Make(const std::string& name) const {
    std::error_code ec;
    fs::create_directory(path_ + name, ec);
    if (ec) throw SetupError("cannot make " + path_ + name + ": " + ec.message());
    return path_ + name + "/";
  }

 private:
  std::string path_;
};

void Copy(const std::string& from, const std::string& to) {
  if (!os::CopyFile(from, to, true)) throw SetupError("cannot copy " + from + " to " + to);
}

// Runs a program and waits for it at most timeoutMs (killed and reaped
// after that); its exit status, or -1.
int RunProgram(std::vector<std::string> args, uint32_t timeoutMs) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  const uint32_t start = os::GetTickCount();
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (r < 0) return -1;
    if (os::TickDiff(os::GetTickCount(), start) >= timeoutMs) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    ::usleep(5000);
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The first line of text that starts with prefix, or "".
std::string LineStarting(const std::string& text, const std::string& prefix) {
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    if (text.compare(at, prefix.size(), prefix) == 0) return text.substr(at, end - at);
    at = end + 1;
  }
  return "";
}

std::string Quote(const std::string& word) { return "\"" + word + "\""; }

// One device of the demo and its write request.
struct DemoDevice {
  const char* ProgId;
  const char* ItemsFile;
  const char* Domain;
  int32_t CommandVariable;
  int32_t WriteVariable;
  const char* WriteName;
  float WriteValue;
  const char* JournalLine;  // what the OPC server's journal shows for the write
  // Filled while running.
  bool Written = false;
  std::optional<float> Result;  // the command state that came back
  std::string Journal;
};

class Demo {
 public:
  Demo(const DemoSettings& settings, HostOutput& out) : settings_(settings), out_(out) {}

  int Run();

 private:
  void Prepare();
  void Register(const DemoDevice& device);
  int LoadProject(HostSession& session);
  void Observe(int32_t id, float value);
  void RunSeconds(HostSession& session);
  void SendWrites(HostSession& session);
  void CheckJournals();
  bool StopCleanly(HostSession& session);
  bool Report(bool stopped);

  const DemoSettings& settings_;
  HostOutput& out_;
  std::string demoDir_;
  std::unique_ptr<DemoFolder> folder_;
  std::string driverDir_, projectDir_, registryDir_;
  DemoTable table_;
  std::array<DemoDevice, 2> devices_{{
      {"Demo.Boiler", "Boiler.items", "BLR", demo_ids::kBoilerCommand, demo_ids::kBoilerSetpoint, "BLR_SETPOINT",
       77.5f, "write Boiler.Setpoint "},
      {"Demo.Mixer", "Mixer.items", "MIX", demo_ids::kMixerCommand, demo_ids::kMixerSpeedSetpoint, "MIX_SPEED_SP",
       1200.0f, "write Mixer.SpeedSetpoint "},
  }};
  bool reported_ = false;
};

void Demo::Prepare() {
  demoDir_ = settings_.HostDir + "demo/";
  for (const char* name : {"project.txt", "Boiler.items", "Mixer.items", "Ferrowick_V30.ini", "Ferrowick_V30.edd"}) {
    if (!os::FileExists(demoDir_ + name)) throw SetupError("the demo project is incomplete: " + demoDir_ + name);
  }
  for (const char* name : {"Ferrowick_V30.srv", "opcsim-ctl", "libopcsim.so"}) {
    if (!os::FileExists(settings_.HostDir + name)) throw SetupError("not built: " + settings_.HostDir + name);
  }
  folder_ = std::make_unique<DemoFolder>();
  driverDir_ = folder_->Make("driver");
  projectDir_ = folder_->Make("project");
  registryDir_ = folder_->Make("registry");
  // The server finds its settings, description and icon beside its own
  // file, so the driver folder holds a copy of it.
  Copy(demoDir_ + "Ferrowick_V30.ini", driverDir_ + "Ferrowick_V30.ini");
  Copy(demoDir_ + "Ferrowick_V30.edd", driverDir_ + "Ferrowick_V30.edd");
  Copy(settings_.HostDir + "Ferrowick_V30.srv", driverDir_ + "Ferrowick_V30.srv");
  if (os::FileExists(settings_.HostDir + "Ferrowick_V30.ico"))
    Copy(settings_.HostDir + "Ferrowick_V30.ico", driverDir_ + "Ferrowick_V30.ico");

  // A namespace and a registry of the demo's own: it never meets a running
  // system, and the copied server finds the staged libraries.
  const std::string ns = "ferrowick-demo-" + std::to_string(::getpid());
  ::setenv("FERROWICK_IPC_NAMESPACE", ns.c_str(), 1);
  ::setenv("FERROWICK_REGISTRY_DIR", registryDir_.c_str(), 1);
  const char* libraries = std::getenv("LD_LIBRARY_PATH");
  const std::string path = settings_.HostDir + (libraries && *libraries ? std::string(":") + libraries : "");
  ::setenv("LD_LIBRARY_PATH", path.c_str(), 1);
  for (const DemoDevice& device : devices_) Register(device);
}

void Demo::Register(const DemoDevice& device) {
  const int status = RunProgram({settings_.HostDir + "opcsim-ctl", "register", device.ProgId,
                                 demoDir_ + device.ItemsFile, "--vendor", "Ferrowick demo",
                                 "--description", std::string(device.ProgId) + " (simulated)"},
                                kCtlTimeoutMs);
  if (status != 0) throw SetupError(std::string("cannot register ") + device.ProgId);
}

int Demo::LoadProject(HostSession& session) {
  auto lines = OpenScriptFile(demoDir_ + "project.txt");
  int variables = 0;
  while (auto line = lines->NextLine()) {
    const std::vector<std::string> words = SplitWords(*line);
    if (words.empty()) continue;
    if (words[0] != "domain" && words[0] != "var") throw SetupError("project.txt holds " + words[0]);
    variables += words[0] == "var" ? 1 : 0;
    session.RunLine(*line);
  }
  session.RunLine("project " + Quote(projectDir_));
  return variables;
}

void Demo::Observe(int32_t id, float value) {
  table_.Receive(id, value);
  for (DemoDevice& device : devices_) {
    // 0 is the state of a queued batch; the server answers with the rest.
    if (device.Written && !device.Result && id == device.CommandVariable && value != 0.0f) device.Result = value;
  }
}

void Demo::SendWrites(HostSession& session) {
  for (DemoDevice& device : devices_) {
    session.RunLine("write " + std::to_string(device.WriteVariable) + "=" + FloatText(device.WriteValue));
    device.Written = true;
    table_.CommandSent(device.CommandVariable);
    out_.Line("  write " + std::string(device.WriteName) + "=" + FloatText(device.WriteValue) + " sent to " +
              device.ProgId);
  }
}

void Demo::CheckJournals() {
  for (DemoDevice& device : devices_) {
    if (!device.Written || !device.Journal.empty()) continue;
    std::string id = device.ProgId;
    for (char& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    device.Journal = LineStarting(ReadAll(registryDir_ + "opcsim/" + id + "/journal"), device.JournalLine);
  }
  if (reported_) return;
  for (const DemoDevice& device : devices_) {
    if (device.Journal.empty() || !device.Result) return;
  }
  for (const DemoDevice& device : devices_) {
    out_.Line("  " + std::string(device.ProgId) + " journal: \"" + device.Journal + "\"; command state back: " +
              DemoTable::CommandText(device.Result));
  }
  reported_ = true;
}

void Demo::RunSeconds(HostSession& session) {
  out_.Line(DemoTable::Header());
  const uint32_t start = os::GetTickCount();
  bool writesSent = false;
  const int lastWrite = settings_.Seconds - kWriteNoLaterThan;
  const int firstWrite = std::min(kWriteSecond, lastWrite);
  for (int second = 1; second <= settings_.Seconds; ++second) {
    const auto due = static_cast<uint32_t>(second) * 1000u;
    const uint32_t elapsed = os::TickDiff(os::GetTickCount(), start);
    if (elapsed < due) PumpUntil([] { return false; }, due - elapsed);
    if (Interrupted()) break;
    out_.Line(table_.Row(second));
    const bool linksUp = table_.Last(demo_ids::kBoilerLink) == 0.0f && table_.Last(demo_ids::kMixerLink) == 0.0f;
    if (!writesSent && second >= firstWrite && (linksUp || second >= lastWrite)) {
      SendWrites(session);
      writesSent = true;
    }
    if (writesSent) CheckJournals();
  }
  if (Interrupted()) out_.Line("interrupted: stopping");
}

bool Demo::StopCleanly(HostSession& session) {
  uint32_t serverPid = 0;
  {
    const auto section = exchange::TIntercomInterface::Open(exchange::kSectionName);
    if (section && section->IsAttached()) serverPid = static_cast<uint32_t>(section->ServerData()->GetProcessId(0));
  }
  session.RunLine("stop");
  session.RunLine("done");
  const uint32_t start = os::GetTickCount();
  while (serverPid != 0 && os::IsProcessAlive(serverPid) &&
         os::TickDiff(os::GetTickCount(), start) < kServerEndMs) {
    os::Sleep(10);
  }
  const bool serverEnded = serverPid != 0 && !os::IsProcessAlive(serverPid);
  // The server is this process's child: one that did not close is not left
  // running.
  if (serverPid != 0 && !serverEnded) ::kill(static_cast<pid_t>(serverPid), SIGKILL);
  const bool sectionGone = !fs::exists("/dev/shm/" + os::IpcName(exchange::kSectionName));
  out_.Line(std::string("stop: server") + (serverPid ? " (pid " + std::to_string(serverPid) + ")" : "") +
            (serverEnded ? " closed" : " NOT closed") + ", section " + (sectionGone ? "removed" : "LEFT BEHIND"));
  return serverEnded && sectionGone;
}

bool Demo::Report(bool stopped) {
  bool ok = stopped;
  if (!table_.Last(demo_ids::kBoilerTemperature) || !table_.Last(demo_ids::kMixerSpeed)) {
    out_.Line("demo check failed: no values arrived from the OPC servers");
    ok = false;
  }
  for (const DemoDevice& device : devices_) {
    if (!device.Written) {
      out_.Line(std::string("demo check failed: no write was sent to ") + device.ProgId);
      ok = false;
    } else if (device.Journal.empty() || device.Result != 1.0f) {
      out_.Line(std::string("demo check failed: the write to ") + device.ProgId + " " +
                (device.Journal.empty() ? "did not reach it" : "reached it") + ", command state " +
                DemoTable::CommandText(device.Result));
      ok = false;
    }
  }
  out_.Line(ok ? "demo finished: nothing left running" : "demo FAILED");
  return ok;
}

int Demo::Run() {
  try {
    Prepare();
  } catch (const std::exception& error) {
    std::cerr << "halvorsten-host --demo: " << error.what() << std::endl;
    return 2;
  }
  try {
    HostSession session(settings_.ModulePath, out_);
    session.SetValueObserver([this](int32_t id, float value) { Observe(id, value); }, false);
    const int variables = LoadProject(session);
    const char* display = std::getenv("DISPLAY");
    out_.Line("Ferrowick V30 demo: " + std::to_string(variables) +
              " kernel variables in routing domains BLR and MIX, OPC servers Demo.Boiler and Demo.Mixer "
              "(simulated), " + std::to_string(settings_.Seconds) + " s");
    out_.Line(display && *display ? std::string("the server's window shows on display ") + display
                                  : std::string("no display: the server runs without a window"));
    session.RunLine("init " + Quote(driverDir_));
    if (!session.Initialised()) {
      out_.Line("demo FAILED: the driver did not initialise");
      return 1;
    }
    session.RunLine("run");
    RunSeconds(session);
    CheckJournals();
    const bool stopped = StopCleanly(session);
    if (Interrupted()) return stopped ? 0 : 1;  // the run's checks have no meaning then
    return Report(stopped) ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "halvorsten-host --demo: " << error.what() << std::endl;
    return 2;
  }
}

}  // namespace

int RunDemo(const DemoSettings& settings, HostOutput& out) {
  Demo demo(settings, out);
  return demo.Run();
}

}  // namespace kernel
