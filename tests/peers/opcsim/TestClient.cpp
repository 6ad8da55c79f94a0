#include "tests/peers/opcsim/TestClient.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/com/Apartment.h"
#include "platform/com/OpcStream.h"
#include "platform/win/MessageLoop.h"
#include "tests/KillGuard.h"

extern char** environ;

namespace opcsimtest {

pid_t gApartmentThread = 0;

const char* const kItemIds[6] = {"Plant.Tank1.Level", "Plant.Pump1.Run", "Plant.Count",
                                 "Plant.Mode",        "Plant.Name",      "Plant.Wave"};

namespace {

constexpr const char* kItems =
    "# ITEM-ID  TYPE  SOURCE [ARGS]  [every=MS]  [writable]\n"
    "Plant.Tank1.Level  R4    ramp 0 100 every=100\n"
    "Plant.Pump1.Run    BOOL  const 1\n"
    "Plant.Count        I4    counter 1 every=500\n"
    "Plant.Mode         UI2   const 3 writable\n"
    "Plant.Name         BSTR  const \"abc\"\n"
    "Plant.Wave         R8    sine 0 10 period=2000 every=50\n";

void Record(std::map<pc::OPCHANDLE, Seen>& latest, pc::OPCHANDLE client, const pc::VARIANT& value, pc::WORD quality,
            pc::DWORD transaction) {
  Seen& seen = latest[client];
  pc::VariantCopy(&seen.value.Get(), &value);
  seen.quality = quality;
  seen.transaction = transaction;
}

}  // namespace

int RunCtl(const std::vector<std::string>& args, std::string* out) {
  const std::string program = std::string(FW_OUT_DIR) + "/opcsim-ctl";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  char outPath[] = "/tmp/fw-opcsim-ctl-XXXXXX";
  int fd = ::mkstemp(outPath);
  if (fd < 0) return -1;
  ::close(fd);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath, O_WRONLY | O_TRUNC, 0600);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int result = -1;
  if (rc == 0) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    for (;;) {
      pid_t done = ::waitpid(pid, &status, WNOHANG);
      if (done == pid) {
        result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        break;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        if (kill_guard::KillChild(pid)) ::waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  if (out != nullptr) {
    std::ifstream in(outPath);
    std::ostringstream text;
    text << in.rdbuf();
    *out = text.str();
  }
  ::unlink(outPath);
  return result;
}

void StreamSink::OnDataChange(pc::FORMATETC* format, pc::STGMEDIUM* medium) {
  ++calls;
  if (::gettid() != gApartmentThread) ++wrongThread;
  lastFormat = format->cfFormat;
  const bool withTime = format->cfFormat == pc::RegisterClipboardFormatA(pc::kOpcStreamFormatDataTime);
  auto* bytes = static_cast<const std::uint8_t*>(pc::GlobalLock(medium->hGlobal));
  if (bytes == nullptr) {
    ++badStreams;
    return;
  }
  pc::OpcStreamReader reader(bytes, pc::GlobalSize(medium->hGlobal), withTime);
  pc::OPCGROUPHEADER header{};
  if (!reader.ReadHeader(header)) {
    ++badStreams;
  } else {
    for (std::uint32_t i = 0; i < header.dwItemCount; ++i) {
      pc::OPCITEMHEADER1 item{};
      pc::VariantValue value;
      if (!reader.ReadItem(i, item) || pc::FAILED(reader.ReadValue(item.dwValueOffset, value.Get()))) {
        ++badStreams;
        break;
      }
      Record(latest, item.hClient, value.Get(), item.wQuality, header.dwTransactionID);
    }
  }
  pc::GlobalUnlock(medium->hGlobal);
}

pc::HRESULT CallbackSink::OnDataChange(pc::DWORD transaction, pc::OPCHANDLE group, pc::HRESULT, pc::HRESULT,
                                       pc::DWORD count, pc::OPCHANDLE* clients, pc::VARIANT* values,
                                       pc::WORD* qualities, pc::FILETIME*, pc::HRESULT*) {
  ++calls;
  if (::gettid() != gApartmentThread) ++wrongThread;
  lastGroup = group;
  for (pc::DWORD i = 0; i < count; ++i) Record(latest, clients[i], values[i], qualities[i], transaction);
  return pc::S_OK;
}

pc::HRESULT ShutdownSink::ShutdownRequest(pc::LPCWSTR reason) {
  if (::gettid() != gApartmentThread) ++wrongThread;
  reasons.emplace_back(pc::WideView(reason));
  return pc::S_OK;
}

void SimFixture::SetUp() {
  char dir[] = "/tmp/fw-opcsim-items-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  folder_ = dir;
  std::ofstream(folder_ + "/items.txt") << kItems;
  ASSERT_EQ(RunCtl({"register", kProgId, folder_ + "/items.txt", "--vendor", "Вендор симуляции"}), 0);
  ASSERT_EQ(pc::CoInitialize(nullptr), pc::S_OK);
  gApartmentThread = ::gettid();
}

void SimFixture::TearDown() {
  pc::CoUninitialize();
  RunCtl({"unregister", kProgId});
  std::filesystem::remove_all(folder_);
}

pc::ComPtr<pc::IOPCServer> SimFixture::Connect() {
  pc::CLSID clsid{};
  pc::ComPtr<pc::IOPCServer> server;
  const std::u16string progId(kProgId, kProgId + std::char_traits<char>::length(kProgId));
  if (pc::FAILED(pc::CLSIDFromProgID(progId.c_str(), &clsid))) return server;
  pc::CoCreateInstance(clsid, nullptr, pc::CLSCTX_INPROC_SERVER | pc::CLSCTX_LOCAL_SERVER, pc::IOPCServer::iid,
                       server.PutVoid());
  return server;
}

pc::ComPtr<pc::IOPCItemMgt> SimFixture::MakeGroup(pc::IOPCServer* server, const char16_t* name,
                                                  pc::OPCHANDLE clientGroup, pc::OPCHANDLE* serverGroup,
                                                  std::vector<pc::OPCHANDLE>* serverHandles) {
  pc::ComPtr<pc::IOPCItemMgt> group;
  pc::ComPtr<pc::IUnknown> unknown;
  float deadband = 0;
  pc::DWORD revised = 0;
  if (pc::FAILED(server->AddGroup(name, 1, 50, clientGroup, nullptr, &deadband, 0, serverGroup, &revised,
                                  pc::IOPCItemMgt::iid, unknown.Put())))
    return group;
  group = unknown.As<pc::IOPCItemMgt>();
  std::vector<std::u16string> ids;
  for (const char* id : kItemIds) ids.emplace_back(id, id + std::char_traits<char>::length(id));
  std::vector<pc::OPCITEMDEF> defs;
  for (pc::OPCHANDLE i = 0; i < 6; ++i)
    defs.push_back(pc::OPCITEMDEF{nullptr, ids[i].data(), 1, i, 0, nullptr, pc::VT_EMPTY, 0});
  pc::OPCITEMRESULT* results = nullptr;
  pc::HRESULT* errors = nullptr;
  pc::HRESULT hr = group->AddItems(6, defs.data(), &results, &errors);
  if (pc::SUCCEEDED(hr)) {
    for (int i = 0; i < 6; ++i)
      if (serverHandles) serverHandles->push_back(pc::SUCCEEDED(errors[i]) ? results[i].hServer : 0);
    pc::CoTaskMemFree(results);
    pc::CoTaskMemFree(errors);
  }
  return group;
}

bool SimFixture::PumpUntil(const std::function<bool()>& condition, std::uint32_t ms) {
  return platform::win::WaitPumping(condition, ms);
}

std::string SimFixture::Journal() {
  std::string out;
  RunCtl({"journal", kProgId}, &out);
  return out;
}

}  // namespace opcsimtest
