#include "peers/kernel/HostSession.h"

#include "peers/kernel/Interruption.h"
#include "peers/kernel/KernelModel.h"
#include "peers/kernel/SectionView.h"
#include "platform/os/Convert.h"
#include "platform/os/Files.h"
#include "platform/os/Text.h"
#include "platform/ui/Application.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace kernel {

namespace {

using platform::os::Utf8ToCp1251;

constexpr int32_t kDefaultMessageId = 32769;
constexpr uint32_t kDefaultWaitMs = 5000;
constexpr int64_t kMaxWriteRecords = 1000000;  // a block the host is willing to allocate
// Interactive: how often the kernel window looks for an interruption while
// a form waits for the person.
constexpr uintptr_t kInterruptTimer = 1;
constexpr uint32_t kInterruptTimerMs = 50;

int64_t ParseInt(const std::string& word, const char* what) { return ParseInteger(word, INT64_MIN, INT64_MAX, what); }

int32_t ParseInt32(const std::string& word, const char* what) {
  return static_cast<int32_t>(ParseInteger(word, INT32_MIN, INT32_MAX, what));
}

float ParseFloat(const std::string& word, const char* what) {
  double value = 0;
  if (!platform::os::TryStrToFloat(word, value)) throw ScriptError(std::string("bad ") + what + ": " + word);
  return static_cast<float>(value);
}

// "key=value" words after the positional ones.
bool Option(const std::string& word, std::string_view key, std::string& value) {
  if (word.size() <= key.size() || word.compare(0, key.size(), key) != 0 || word[key.size()] != '=') return false;
  value = word.substr(key.size() + 1);
  return true;
}

void Need(const std::vector<std::string>& w, size_t count, const char* usage) {
  if (w.size() < count) throw ScriptError(std::string("usage: ") + usage);
}

std::string GuidText(const uint8_t* b) {
  char text[40];
  std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3], b[2],
                b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

std::string FieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

// A folder as the kernel passes it to the driver: CP1251, with the trailing
// delimiter (the driver appends file names directly).
std::string KernelFolder(const std::string& word) {
  return Utf8ToCp1251(platform::os::IncludeTrailingPathDelimiter(word));
}

}  // namespace

HostSession::SessionApartment::SessionApartment() {
  if (platform::com::FAILED(Result())) throw std::runtime_error("the main thread cannot become an apartment");
}

HostSession::HostSession(const std::string& modulePath, HostOutput& out, bool interactive)
    : out_(out), module_(std::make_unique<DriverModule>(modulePath)) {
  dialogs_ = std::make_unique<DialogScript>(out_, interactive);
  kernelWindow_ = platform::win::AllocateHWnd(
      [this](platform::win::HWND, platform::win::UINT m, platform::win::WPARAM w, platform::win::LPARAM l) {
        return OnKernelMessage(m, w, l);
      });
  if (!kernelWindow_) throw std::runtime_error("cannot make the kernel window");
  if (interactive && !platform::win::SetTimer(kernelWindow_, kInterruptTimer, kInterruptTimerMs))
    throw std::runtime_error("cannot start the kernel window's timer");
  SetKernelSinks();
}

void HostSession::SetKernelSinks() {
  KernelModel::Instance().SetSinks(
      [this](const driver::TLogItem& item) {
        OnLogItem(item.Code, "log source=" + platform::os::Cp1251ToUtf8(FieldText(item.Source, sizeof item.Source)) +
                                 " code=" + std::to_string(item.Code) +
                                 " text=" + Quoted(FieldText(item.Text, sizeof item.Text)));
      },
      [this](driver::HostWindowHandle parent, std::string_view current) {
        out_.Line("navigator current=" + Quoted(current) + " parent=" + dialogs_->ParentKind(parent, kernelWindow_));
      },
      [this](driver::HostWindowHandle parent, std::string_view caption, std::string_view message, int32_t flags) {
        out_.Line("errorbox caption=" + Quoted(caption) + " text=" + Quoted(message) +
                  " flags=" + std::to_string(flags) + " parent=" + dialogs_->ParentKind(parent, kernelWindow_));
      });
}

HostSession::~HostSession() {
  StopAndDone();
  KernelModel::Instance().SetSinks(nullptr, nullptr, nullptr);
  dialogs_.reset();
  platform::win::DestroyWindow(kernelWindow_);
}

int HostSession::Run(LineSource& source) {
  try {
    for (std::optional<std::string> text; !Interrupted() && (text = source.NextLine());) {
      ++lineNumber_;
      const Words words = SplitWords(*text);
      if (words.empty()) continue;
      if (words[0] == "exit") break;
      Execute(words);
    }
    // Actions an interrupted script did not reach are no fault of it.
    if (!Interrupted()) dialogs_->CheckAllUsed();
  } catch (const ScriptError& error) {
    std::cerr << "halvorsten-host: line " << lineNumber_ << ": " << error.what() << std::endl;
    StopAndDone();
    return 2;
  }
  StopAndDone();
  return waitTimedOut_ ? 1 : 0;
}

void HostSession::RunLine(std::string_view text) {
  const Words words = SplitWords(text);
  if (words.empty()) return;
  if (words[0] == "exit") throw ScriptError("exit is a command of a script, not of a line");
  Execute(words);
}

void HostSession::SetValueObserver(ValueObserver observer, bool echo) {
  valueObserver_ = std::move(observer);
  echoValues_ = echo;
}

void HostSession::Execute(const Words& w) {
  Command(w);
  // A dialog action that failed inside the call fails the line that made it.
  dialogs_->ThrowPendingError();
}

void HostSession::Command(const Words& w) {
  const std::string& c = w[0];
  if (c == "dialog") return dialogs_->Queue(w, lineNumber_);
  if (c == "savefile") return dialogs_->QueueSaveAnswer(w);
  if (c == "project") return Project(w);
  if (c == "domain") return Domain(w);
  if (c == "var") return Var(w);
  if (c == "navigator") {
    Need(w, 2, "navigator NAME");
    return KernelModel::Instance().SetNavigatorAnswer(Utf8ToCp1251(w[1]));
  }
  if (c == "answer") {
    Need(w, 2, "answer N");
    answer_ = ParseInt(w[1], "answer");
    return;
  }
  if (c == "info") return Info();
  if (c == "init") return Init(w);
  if (c == "install") return Install(w);
  if (c == "remove") return Remove(w);
  if (c == "write") return Write(w, 1, static_cast<int32_t>(w.size() - 1), static_cast<int64_t>(w.size() - 1));
  if (c == "write-count") return WriteCount(w);
  if (c == "wait") return Wait(w);
  if (c == "waitfor") return WaitFor(w);
  if (c == "section") return Section();
  Simple(c);
}

void HostSession::Result(const char* exportName, int64_t code) {
  out_.Line(std::string("result ") + exportName + " " + std::to_string(code));
}

void HostSession::Project(const Words& w) {
  Need(w, 2, "project DIR");
  const std::string dir = platform::os::IncludeTrailingPathDelimiter(w[1]);
  std::error_code ignored;  // a folder that cannot be made shows up as the driver's log failure
  std::filesystem::create_directories(dir + "Debugger", ignored);
  KernelModel::Instance().SetProjectDir(Utf8ToCp1251(dir));
}

void HostSession::Domain(const Words& w) {
  Need(w, 2, "domain NAME");
  currentDomain_ = KernelModel::Instance().AddDomain(Utf8ToCp1251(w[1]));
}

void HostSession::Var(const Words& w) {
  Need(w, 4, "var ID NAME ROUTING [init=F] [low=F] [high=F] [deadband=F] [scale=F]");
  VariableSpec variable;
  variable.Id = ParseInt32(w[1], "variable id");
  variable.Name = Utf8ToCp1251(w[2]);
  variable.Routing = w[3] == "-" ? std::string() : Utf8ToCp1251(w[3]);
  for (size_t i = 4; i < w.size(); ++i) {
    std::string v;
    if (Option(w[i], "init", v)) variable.Initial = ParseFloat(v, "init");
    else if (Option(w[i], "low", v)) variable.Low = ParseFloat(v, "low");
    else if (Option(w[i], "high", v)) variable.High = ParseFloat(v, "high");
    else if (Option(w[i], "deadband", v)) variable.Deadband = ParseFloat(v, "deadband");
    else if (Option(w[i], "scale", v)) variable.Scale = ParseFloat(v, "scale");
    else throw ScriptError("unknown option " + w[i]);
  }
  if (!KernelModel::Instance().AddVariable(currentDomain_, variable)) {
    throw ScriptError("variable id " + w[1] + " is already defined");
  }
}

void HostSession::Info() {
  driver::TDrvDeviceInfo info;
  std::memset(&info, 0xCC, sizeof info);  // the driver must fill all of it
  Result("DLMGetDeviceInfo", module_->GetDeviceInfo(&info));
  std::string ints;
  for (int i = 0; i < 6; ++i) ints += (i ? "," : "") + std::to_string(info.Values[i]);
  out_.Line("info guid=" + GuidText(info.DriverGUID) +
            " description=" + Quoted(FieldText(info.Description, sizeof info.Description)) +
            " prefixes=" + Quoted(FieldText(info.PrefixList, sizeof info.PrefixList)) + " ints=" + ints);
}

void HostSession::Init(const Words& w) {
  Need(w, 2, "init DIR [message=N] [block=N] [config-only]");
  driver::TDrvInitRecord record;
  std::memset(&record, 0, sizeof record);
  record.HostWindow = kernelWindow_;
  record.MessageId = kDefaultMessageId;
  record.BlockId = 1;
  const std::string dir = Utf8ToCp1251(w[1]);
  if (dir.size() >= sizeof record.DriverDir) throw ScriptError("driver folder too long");
  std::memcpy(record.DriverDir, dir.data(), dir.size());
  for (size_t i = 2; i < w.size(); ++i) {
    std::string v;
    if (Option(w[i], "message", v)) record.MessageId = ParseInt32(v, "message");
    else if (Option(w[i], "block", v)) record.BlockId = ParseInt32(v, "block");
    else if (w[i] == "config-only") record.ConfigOnly = 1;
    else throw ScriptError("unknown option " + w[i]);
  }
  const int32_t code = module_->InitDeviceDrv(record);
  if (code == 0) {
    initialised_ = true;
    messageId_ = record.MessageId;
  }
  Result("DLMInitDeviceDrv", code);
}

void HostSession::Simple(const std::string& c) {
  if (c == "run") return Result("DLMRunDeviceDrv", module_->RunDeviceDrv());
  if (c == "stop") return Result("DLMStopDeviceDrv", module_->StopDeviceDrv());
  if (c == "done") {
    const int32_t code = module_->DoneDeviceDrv();
    if (code == 0) initialised_ = false;
    return Result("DLMDoneDeviceDrv", code);
  }
  if (c == "setup") return Result("DLMSetupDeviceDrv", module_->SetupDeviceDrv(kernelWindow_));
  if (c == "state") return Result("DLMShowState", module_->ShowState(kernelWindow_));
  if (c == "about") {
    module_->About(kernelWindow_);
    return out_.Line("result DLMAbout");
  }
  if (c == "showlog") {
    module_->ShowLogList(0);
    return out_.Line("result DLMShowLogList");
  }
  if (c == "errorstr") return Result("DLMGetErrorStr", module_->GetErrorStr(0, 0, 0));
  if (c == "read") return Result("DLMReadDataDrv", module_->ReadDataDrv(0, 0));
  if (c == "sync") return Result("DLMSinhronize", module_->Sinhronize(0));
  throw ScriptError("unknown command " + c);
}

void HostSession::Install(const Words& w) {
  Need(w, 3, "install SRC DST");
  const std::string source = KernelFolder(w[1]), target = KernelFolder(w[2]);
  Result("DLMInstallDriver", module_->InstallDriver(kernelWindow_, source.c_str(), target.c_str()));
}

void HostSession::Remove(const Words& w) {
  Need(w, 2, "remove DIR");
  const std::string dir = KernelFolder(w[1]);
  Result("DLMRemoveDriver", module_->RemoveDriver(0, dir.c_str()));
}

void HostSession::Write(const Words& w, size_t first, int32_t countArgument, int64_t blockCount) {
  const auto given = static_cast<int64_t>(w.size() - first);
  const int64_t room = std::max(given, blockCount);
  if (room > kMaxWriteRecords) throw ScriptError("block too large");
  std::vector<uint8_t> block(sizeof(driver::TDrvWriteBlock) + sizeof(driver::TDrvWriteRecord) * room, 0);
  const driver::TDrvWriteBlock header{0, static_cast<int32_t>(blockCount)};
  std::memcpy(block.data(), &header, sizeof header);
  for (int64_t i = 0; i < given; ++i) {
    const std::string& pair = w[first + static_cast<size_t>(i)];
    const size_t eq = pair.find('=');
    if (eq == std::string::npos) throw ScriptError("usage: ID=VALUE[/VALUE2]: " + pair);
    const size_t slash = pair.find('/', eq);
    driver::TDrvWriteRecord record{};
    record.Id = ParseInt32(pair.substr(0, eq), "variable id");
    record.Value = ParseFloat(pair.substr(eq + 1, slash == std::string::npos ? std::string::npos : slash - eq - 1), "value");
    const float value2 = slash == std::string::npos ? record.Value : ParseFloat(pair.substr(slash + 1), "value2");
    std::memcpy(&record.Value2, &value2, sizeof value2);
    std::memcpy(block.data() + sizeof header + sizeof record * static_cast<size_t>(i), &record, sizeof record);
  }
  auto* data = reinterpret_cast<driver::TDrvWriteBlock*>(block.data());
  Result("DLMWriteDataDrv", module_->WriteDataDrv(data, countArgument));
}

void HostSession::WriteCount(const Words& w) {
  Need(w, 2, "write-count N [block=M] ID=VALUE ...");
  const int32_t count = ParseInt32(w[1], "count");
  int64_t blockCount = count;
  size_t first = 2;
  std::string v;
  if (w.size() > 2 && Option(w[2], "block", v)) {
    blockCount = ParseInt32(v, "block count");
    first = 3;
  }
  Write(w, first, count, blockCount);
}

void HostSession::Wait(const Words& w) {
  Need(w, 2, "wait MS");
  const int64_t ms = ParseInt(w[1], "milliseconds");
  if (ms < 0 || ms > UINT32_MAX) throw ScriptError("bad milliseconds: " + w[1]);
  PumpUntil([] { return false; }, static_cast<uint32_t>(ms));
}

void HostSession::WaitFor(const Words& w) {
  Need(w, 3, "waitfor value ID [=F] [MS] | waitfor log CODE [MS]");
  const int32_t key = ParseInt32(w[2], w[1] == "log" ? "code" : "variable id");
  size_t next = 3;
  bool wantValue = false;
  float value = 0;
  if (w[1] == "value" && w.size() > next && w[next].starts_with("=")) {
    wantValue = true;
    value = ParseFloat(w[next].substr(1), "value");
    ++next;
  }
  uint32_t timeout = kDefaultWaitMs;
  if (w.size() > next) {
    const int64_t ms = ParseInt(w[next], "milliseconds");
    if (ms < 0 || ms > UINT32_MAX) throw ScriptError("bad milliseconds: " + w[next]);
    timeout = static_cast<uint32_t>(ms);
  }
  std::function<bool()> arrived;
  if (w[1] == "value") {
    arrived = [&] {
      for (; valueCursor_ < values_.size(); ++valueCursor_) {
        const ValueEvent& e = values_[valueCursor_];
        if (e.Id == key && (!wantValue || e.Value == value)) {
          ++valueCursor_;
          return true;
        }
      }
      return false;
    };
  } else if (w[1] == "log") {
    arrived = [&] {
      std::lock_guard guard(logLock_);
      for (; logCursor_ < logCodes_.size(); ++logCursor_) {
        if (logCodes_[logCursor_] == key) {
          ++logCursor_;
          return true;
        }
      }
      return false;
    };
  } else {
    throw ScriptError("waitfor what: " + w[1]);
  }
  if (!PumpUntil(arrived, timeout) && !Interrupted()) {
    out_.Line("timeout " + std::to_string(lineNumber_));
    waitTimedOut_ = true;
  }
}

void HostSession::Section() { out_.Line(DescribeDriverSection()); }

void HostSession::StopAndDone() {
  if (!initialised_) return;
  Result("DLMStopDeviceDrv", module_->StopDeviceDrv());
  const int32_t code = module_->DoneDeviceDrv();
  Result("DLMDoneDeviceDrv", code);
  initialised_ = false;
}

platform::win::LRESULT HostSession::OnKernelMessage(platform::win::UINT message, platform::win::WPARAM wParam,
                                                    platform::win::LPARAM lParam) {
  if (message == platform::win::WM_TIMER && wParam == kInterruptTimer) {
    // The application's end closes the forms that wait for the person.
    if (Interrupted()) platform::ui::Application().Terminate();
    return 0;
  }
  if (messageId_ == 0 || message != static_cast<platform::win::UINT>(messageId_) ||
      wParam != static_cast<platform::win::WPARAM>(driver::ValueBlockCode) || lParam == 0) {
    return 0;
  }
  const auto* block = reinterpret_cast<const driver::TDrvValueBlock*>(lParam);
  const int32_t count = std::clamp(block->Count, 0, driver::ValueBlockCapacity);
  if (answer_ != driver::ValueBlockCode) {
    out_.Line("refused count=" + std::to_string(block->Count));
    return static_cast<platform::win::LRESULT>(answer_);
  }
  for (int32_t i = 0; i < count; ++i) {
    const driver::TDrvValueRecord& r = block->Records[i];
    if (valueObserver_) valueObserver_(r.Id, r.Value);
    if (echoValues_) {
      out_.Line("value block=" + std::to_string(block->BlockId) + " id=" + std::to_string(r.Id) +
                " value=" + FloatText(r.Value) + " value2=" + FloatText(r.Value2) + " time=" + std::to_string(r.Time) +
                " date=" + std::to_string(r.Date));
    }
    values_.push_back(ValueEvent{r.Id, r.Value});
  }
  return static_cast<platform::win::LRESULT>(answer_);
}

void HostSession::OnLogItem(int32_t code, const std::string& line) {
  {
    std::lock_guard guard(logLock_);
    logCodes_.push_back(code);
  }
  out_.Line(line);
}

}  // namespace kernel
