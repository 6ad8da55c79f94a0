#pragma once
// The test client of the simulation server: sinks that record what reaches
// them (and on which thread), opcsim-ctl runs, and a fixture that registers
// a simulation and connects to it through COM activation only.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "platform/com/Activation.h"
#include "platform/com/OpcDa.h"

namespace opcsimtest {

namespace pc = platform::com;

// Runs opcsim-ctl of the build with `args`; its exit code (-1 when it could
// not be run or took more than 20 s, then killed). Its output goes to *out.
int RunCtl(const std::vector<std::string>& args, std::string* out = nullptr);

// One value as a client saw it.
struct Seen {
  pc::VariantValue value;
  pc::WORD quality = 0;
  pc::DWORD transaction = 0;
};

class StreamSink final : public pc::ComObject<pc::IAdviseSink> {
 public:
  ~StreamSink() override {
    if (ended != nullptr) ended->store(true);
  }
  void OnDataChange(pc::FORMATETC* format, pc::STGMEDIUM* medium) override;
  void OnViewChange(std::uint32_t, std::int32_t) override {}
  void OnRename(pc::IUnknown*) override {}
  void OnSave() override {}
  void OnClose() override {}

  std::map<pc::OPCHANDLE, Seen> latest;  // by client handle
  int calls = 0;
  int badStreams = 0;
  int wrongThread = 0;
  pc::CLIPFORMAT lastFormat = 0;
  std::atomic<bool>* ended = nullptr;  // set at destruction when given
};

class CallbackSink final : public pc::ComObject<pc::IOPCDataCallback> {
 public:
  pc::HRESULT OnDataChange(pc::DWORD transaction, pc::OPCHANDLE group, pc::HRESULT masterQuality,
                           pc::HRESULT masterError, pc::DWORD count, pc::OPCHANDLE* clients, pc::VARIANT* values,
                           pc::WORD* qualities, pc::FILETIME* stamps, pc::HRESULT* errors) override;
  pc::HRESULT OnReadComplete(pc::DWORD, pc::OPCHANDLE, pc::HRESULT, pc::HRESULT, pc::DWORD, pc::OPCHANDLE*,
                             pc::VARIANT*, pc::WORD*, pc::FILETIME*, pc::HRESULT*) override {
    return pc::S_OK;
  }
  pc::HRESULT OnWriteComplete(pc::DWORD, pc::OPCHANDLE, pc::HRESULT, pc::DWORD, pc::OPCHANDLE*,
                              pc::HRESULT*) override {
    return pc::S_OK;
  }
  pc::HRESULT OnCancelComplete(pc::DWORD, pc::OPCHANDLE) override { return pc::S_OK; }

  std::map<pc::OPCHANDLE, Seen> latest;
  pc::OPCHANDLE lastGroup = 0;
  int calls = 0;
  int wrongThread = 0;
};

class ShutdownSink final : public pc::ComObject<pc::IOPCShutdown> {
 public:
  pc::HRESULT ShutdownRequest(pc::LPCWSTR reason) override;
  std::vector<std::u16string> reasons;
  int wrongThread = 0;
};

// Client handles of the items the fixture adds, in this order.
enum Handle : pc::OPCHANDLE { kLevel = 0, kRun = 1, kCount = 2, kMode = 3, kName = 4, kWave = 5 };
extern const char* const kItemIds[6];

class SimFixture : public ::testing::Test {
 protected:
  static constexpr const char* kProgId = "Sim.Plant.1";
  void SetUp() override;
  void TearDown() override;

  // The server through CLSIDFromProgID and CoCreateInstance; empty on failure.
  pc::ComPtr<pc::IOPCServer> Connect();
  // A group (rate 50 ms) with all six items added; empty on failure.
  pc::ComPtr<pc::IOPCItemMgt> MakeGroup(pc::IOPCServer* server, const char16_t* name, pc::OPCHANDLE clientGroup,
                                        pc::OPCHANDLE* serverGroup, std::vector<pc::OPCHANDLE>* serverHandles);
  // Handles messages until `condition` holds (at most `ms`).
  bool PumpUntil(const std::function<bool()>& condition, std::uint32_t ms = 20000);
  std::string Journal();

  std::string folder_;
};

// The thread the sinks must be called on (set by the fixture).
extern pid_t gApartmentThread;

}  // namespace opcsimtest
