#include "bench/roads/RoadRig.h"

#include "driver/DlmExports.h"
#include "exchange/OPCSharedMemory.h"
#include "peers/kernel/KernelModel.h"
#include "platform/os/IpcNamespace.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace bench {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kMessageId = 32769;
constexpr uint32_t kStopPatienceMs = 10000;

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// Pids of running programs started from path.
std::vector<pid_t> ProcessesOf(const std::string& path) {
  std::vector<pid_t> pids;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
    std::error_code linkError;
    const fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
    if (!linkError && exe.string() == path) pids.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return pids;
}

}  // namespace

int64_t MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string ItemLine(const std::string& progId, int32_t n, const std::string& definition) {
  return progId + "." + std::to_string(n) + " " + definition;
}

RoadRig::RoadRig(const std::string& name, std::vector<RigDevice> devices) {
  std::string pattern = (fs::temp_directory_path() / ("fw-bench-" + name + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
  folder_ = pattern;
  driverDir_ = folder_ + "/drv";
  stampsPath_ = folder_ + "/stamps.bin";
  fs::create_directories(driverDir_);
  fs::create_directories(folder_ + "/proj/Debugger");
  // The server finds its settings beside its program: a copy of its own.
  fs::copy_file(FW_OUT_DIR "/Ferrowick_V30.srv", driverDir_ + "/Ferrowick_V30.srv");
  WriteText(stampsPath_, "");
  ::setenv("FERROWICK_OPCSIM_STAMPS", stampsPath_.c_str(), 1);
  WriteFiles(devices);

  kernel::KernelModel& model = kernel::KernelModel::Instance();
  model.Reset();
  model.SetProjectDir(folder_ + "/proj/");
  const int32_t domain = model.AddDomain("OPC");
  int32_t maxId = 0;
  for (const RigDevice& d : devices) {
    for (size_t n = 0; n < d.ItemLines.size(); ++n) {
      kernel::VariableSpec variable;
      variable.Id = d.FirstId + static_cast<int32_t>(n);
      variable.Name = "V" + std::to_string(variable.Id);
      variable.Routing = "OPC:DEVICE=" + std::to_string(d.Address) + ";ADDRESS=" + std::to_string(n + 1);
      if (!model.AddVariable(domain, variable)) throw std::runtime_error("variable id taken: " + variable.Name);
      maxId = std::max(maxId, variable.Id);
      ++variableCount_;
    }
  }
  seen_.assign(static_cast<size_t>(maxId) + 1, 0);
  receipts_.reserve(1 << 20);

  module_ = std::make_unique<kernel::DriverModule>(FW_OUT_DIR "/Ferrowick_V30.dlm");
  kernelWindow_ = platform::win::AllocateHWnd(
      [this](platform::win::HWND, platform::win::UINT m, platform::win::WPARAM w, platform::win::LPARAM l) {
        return OnKernelMessage(m, w, l);
      });
  if (!kernelWindow_) throw std::runtime_error("cannot make the kernel window");
}

void RoadRig::WriteFiles(const std::vector<RigDevice>& devices) {
  const std::string esc = "\x1b";
  std::string ini = "[OPCSRV]\r\nAuto Run Server=1\r\nDevice_Count=" + std::to_string(devices.size()) + "\r\n";
  std::string edd = "<OPC_Description>\r\n";
  for (size_t i = 0; i < devices.size(); ++i) {
    const RigDevice& d = devices[i];
    ini += "Device_" + std::to_string(i) + "=Name=" + d.ProgId + esc + "OPCServerName=" + d.ProgId + esc +
           "Enabled=1" + esc + "DeviceAddress=" + std::to_string(d.Address) + esc + "Prefix=OPC" + esc +
           "TagListName=" + d.ProgId + "\r\n";
    edd += " <device name=\"" + d.ProgId + "\">\r\n  <tagstlist>\r\n";
    std::string items;
    for (size_t n = 0; n < d.ItemLines.size(); ++n) {
      const std::string id = d.ProgId + "." + std::to_string(n + 1);
      edd += "   <opctag name=\"" + id + "\" type=\"float\" proc=\"value\" hvaddress=\"" + std::to_string(n + 1) +
             "\"/>\r\n";
      items += d.ItemLines[n] + "\n";
    }
    edd += "  </tagstlist>\r\n </device>\r\n";
    const std::string itemsPath = folder_ + "/" + d.ProgId + ".items";
    WriteText(itemsPath, items);
    const std::string command = Quoted(FW_OUT_DIR "/opcsim-ctl") + " register " + d.ProgId + " " +
                                Quoted(itemsPath) + " > /dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot register " + d.ProgId);
  }
  edd += "</OPC_Description>\r\n";
  WriteText(driverDir_ + "/Ferrowick_V30.ini", ini);
  WriteText(driverDir_ + "/Ferrowick_V30.edd", edd);
}

RoadRig::~RoadRig() {
  Stop();
  if (kernelWindow_) platform::win::DestroyWindow(kernelWindow_);
  module_.reset();
  ::unsetenv("FERROWICK_OPCSIM_STAMPS");
  std::error_code ec;
  fs::remove_all(folder_, ec);
}

int64_t RoadRig::Start() {
  driver::TDrvInitRecord record;
  std::memset(&record, 0, sizeof record);
  record.HostWindow = kernelWindow_;
  record.MessageId = kMessageId;
  record.BlockId = 1;
  if (driverDir_.size() >= sizeof record.DriverDir) throw std::runtime_error("driver folder too long");
  std::memcpy(record.DriverDir, driverDir_.data(), driverDir_.size());
  const int64_t start = MonotonicNs();
  if (module_->InitDeviceDrv(record) != 0) throw std::runtime_error("DLMInitDeviceDrv failed");
  initialised_ = true;
  if (module_->RunDeviceDrv() != 0) throw std::runtime_error("DLMRunDeviceDrv failed");
  return start;
}

bool RoadRig::Stop() {
  if (!initialised_) return true;
  initialised_ = false;
  const std::string server = driverDir_ + "/Ferrowick_V30.srv";
  module_->StopDeviceDrv();
  const bool done = module_->DoneDeviceDrv() == 0;
  // Stop closes the server; it must be gone, and its section with it.
  const bool ended = PumpUntil([&] { return ProcessesOf(server).empty(); }, kStopPatienceMs);
  for (pid_t pid : ProcessesOf(server)) ::kill(pid, SIGKILL);
  const bool sectionGone = !fs::exists("/dev/shm/" + platform::os::IpcName(exchange::kSectionName));
  return done && ended && sectionGone;
}

bool RoadRig::PumpUntil(const std::function<bool()>& condition, uint32_t timeoutMs) {
  return platform::win::WaitPumping(condition, timeoutMs);
}

void RoadRig::Pump(uint32_t ms) { platform::win::WaitPumping([] { return false; }, ms); }

std::vector<opcsim::StampRecord> RoadRig::Stamps(size_t from) const {
  std::ifstream in(stampsPath_, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(from * sizeof(opcsim::StampRecord)));
  std::vector<opcsim::StampRecord> records;
  opcsim::StampRecord r{};
  while (in.read(reinterpret_cast<char*>(&r), sizeof r)) records.push_back(r);
  return records;
}

int32_t RoadRig::Write(int32_t id, float value) {
  struct {
    driver::TDrvWriteBlock header;
    driver::TDrvWriteRecord record;
  } block{};
  block.header.Count = 1;
  block.record.Id = id;
  block.record.Value = value;
  std::memcpy(&block.record.Value2, &value, sizeof value);
  return module_->WriteDataDrv(&block.header, 1);
}

std::vector<int32_t> RoadRig::ThreadIds() {
  std::vector<int32_t> ids;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc/self/task", ec))
    ids.push_back(static_cast<int32_t>(std::stol(entry.path().filename().string())));
  return ids;
}

int64_t RoadRig::ThreadCpuNs(int32_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/schedstat");
  int64_t ns = -1;
  if (!(in >> ns)) return -1;
  return ns;
}

int32_t RoadRig::ServerPid() const {
  const std::vector<pid_t> pids = ProcessesOf(driverDir_ + "/Ferrowick_V30.srv");
  return pids.empty() ? 0 : static_cast<int32_t>(pids.front());
}

int64_t RoadRig::ProcessCpuNs(int32_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return -1;
  // utime and stime are fields 14 and 15; the fields start after the ')'.
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  int64_t utime = 0, stime = 0;
  for (int n = 3; n <= 15 && fields >> field; ++n) {
    if (n == 14) utime = std::stoll(field);
    if (n == 15) stime = std::stoll(field);
  }
  return (utime + stime) * (1000000000 / ::sysconf(_SC_CLK_TCK));
}

int64_t RoadRig::ResidentBytes(int32_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
  return -1;
}

platform::win::LRESULT RoadRig::OnKernelMessage(platform::win::UINT message, platform::win::WPARAM wParam,
                                                platform::win::LPARAM lParam) {
  if (message != static_cast<platform::win::UINT>(kMessageId) ||
      wParam != static_cast<platform::win::WPARAM>(driver::ValueBlockCode) || lParam == 0) {
    return 0;
  }
  const int64_t now = MonotonicNs();
  const auto* block = reinterpret_cast<const driver::TDrvValueBlock*>(lParam);
  const int32_t count = std::clamp(block->Count, 0, driver::ValueBlockCapacity);
  for (int32_t i = 0; i < count; ++i) {
    const driver::TDrvValueRecord& r = block->Records[i];
    receipts_.push_back(Receipt{r.Id, r.Value, now});
    if (r.Id > 0 && static_cast<size_t>(r.Id) < seen_.size() && seen_[static_cast<size_t>(r.Id)] == 0) {
      seen_[static_cast<size_t>(r.Id)] = 1;
      ++seenCount_;
    }
  }
  return driver::ValueBlockCode;
}

}  // namespace bench
