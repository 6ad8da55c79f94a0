// The two ends of the value road inside their processes, without OPC,
// scheduling or the kernel: the server's handling of one data change that
// carries a value for every item (decoding into the shared table), the
// server's indexes built at its start, and the driver's static scan of a table in which some rows changed, with the
// block sent to a window of this thread. Counts are variables; the second
// argument of the scan is the number of rows changed per round.

#include "driver/ReceivedBuffer.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/com/OpcStream.h"
#include "platform/com/Variant.h"
#include "platform/os/StringList.h"
#include "platform/win/Window.h"
#include "server/OPCDA.h"
#include "server/ServerData.h"
#include "server/ServerDevices.h"
#include "server/ValueDecoding.h"
#include "server/VariableIndex.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace pc = platform::com;

// The driver's section with count variables "OPC:DEVICE=1;ADDRESS=n"
// (Id n, n from 1), deadband 0.
std::unique_ptr<exchange::TIntercomInterface> DriverSection(int32_t count) {
  auto section = exchange::TIntercomInterface::Create(exchange::kSectionName, count);
  if (!section->IsAttached()) throw std::runtime_error("no section");
  for (int32_t n = 1; n <= count; ++n) {
    exchange::TVLVariableInfo info{};
    info.Id = n;
    const std::string name = "V" + std::to_string(n);
    const std::string routing = "OPC:DEVICE=1;ADDRESS=" + std::to_string(n);
    std::strncpy(info.Name, name.c_str(), sizeof info.Name - 1);
    std::strncpy(info.Routing, routing.c_str(), sizeof info.Routing - 1);
    info.LowLimit = -1e30f;
    info.HighLimit = 1e30f;
    section->DMLVariables()->Add(info);
  }
  return section;
}

// The description of the road benchmark: one float tag per variable.
void LoadDescription(int32_t count) {
  platform::os::TStringList lines;
  lines.Add("<OPC_Description>");
  lines.Add(" <device name=\"Bench\">");
  lines.Add("  <tagstlist>");
  for (int32_t n = 1; n <= count; ++n) {
    lines.Add("   <opctag name=\"Bench." + std::to_string(n) + "\" type=\"float\" proc=\"value\" hvaddress=\"" +
              std::to_string(n) + "\"/>");
  }
  lines.Add("  </tagstlist>");
  lines.Add(" </device>");
  lines.Add("</OPC_Description>");
  server::DescriptionFile = std::make_unique<common::TOPCDescriptionFile>();
  if (!server::DescriptionFile->LoadFromStrings(lines)) throw std::runtime_error("description");
}

// The server's side of a data change: the driver's section of count
// variables, the server's module state opened on it and one device's OPC
// items linked to it, all released at the end.
struct ServerSide {
  explicit ServerSide(int32_t count) : driverSide(DriverSection(count)) {
    exchange::ServerIndex = 0;
    server::Intercom = exchange::TIntercomInterface::Open(exchange::kSectionName);
    server::VariableIndex = std::make_unique<server::TVariableIndex>();
    server::VariableIndex->LoadFromShared();
    LoadDescription(count);
    items.LoadDevice("Bench", "OPC", 0, 1);
  }
  ~ServerSide() {
    items.FreeAll();
    server::DescriptionFile.reset();
    server::VariableIndex.reset();
    server::Intercom.reset();
    exchange::ServerIndex = -1;
  }
  ServerSide(const ServerSide&) = delete;
  ServerSide& operator=(const ServerSide&) = delete;

  // The device window's decoding of an accepted value.
  server::TValueCallback Decoder() {
    return [this](const server::TOPCVariableIndexItem& item) { server::DecodeTagValue(item, devices, terminal); };
  }

  std::unique_ptr<exchange::TIntercomInterface> driverSide;
  server::TOPCVariableIndex items;
  server::TDeviceList devices;
  server::TTerminalClass terminal;
};

void BM_DecodeDataChange(benchmark::State& state) {
  const auto count = static_cast<int32_t>(state.range(0));
  ServerSide side(count);
  pc::ComPtr<server::TOPCDataCallback> callback(new server::TOPCDataCallback(&side.items, side.Decoder()));

  std::vector<pc::OPCHANDLE> handles(static_cast<size_t>(count));
  std::vector<pc::VARIANT> values(static_cast<size_t>(count));
  std::vector<pc::WORD> qualities(static_cast<size_t>(count), pc::OPC_QUALITY_GOOD);
  for (int32_t i = 0; i < count; ++i) handles[static_cast<size_t>(i)] = static_cast<pc::OPCHANDLE>(i);
  float next = 1.0f;
  for (auto _ : state) {
    for (pc::VARIANT& v : values) {
      v.vt = pc::VT_R4;
      v.fltVal = next;
    }
    next += 1.0f;  // beyond the deadband of precision 0
    callback->OnDataChange(0, 0, pc::S_OK, pc::S_OK, static_cast<pc::DWORD>(count), handles.data(), values.data(),
                           qualities.data(), nullptr, nullptr);
  }
  state.SetItemsProcessed(state.iterations() * count);
  callback->Detach();
}
BENCHMARK(BM_DecodeDataChange)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

// The same data change as an OPC stream, the form the road's simulation
// sends, handled as the server's advise sink does. Second argument 1: the
// caches are flushed before each data change, as between two deliveries
// 500 ms apart on a busy machine; 0: they stay warm.
void BM_DecodeStream(benchmark::State& state) {
  const auto count = static_cast<int32_t>(state.range(0));
  const bool cold = state.range(1) != 0;
  ServerSide side(count);
  pc::ComPtr<server::TOPCAdviseSink> sink(new server::TOPCAdviseSink(&side.items, side.Decoder()));

  // Two streams whose values differ beyond the deadband of precision 0.
  std::vector<pc::HGLOBAL> streams;
  for (const float value : {1.0f, 2.0f}) {
    std::vector<pc::OpcStreamItem> stream(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      pc::OpcStreamItem& item = stream[static_cast<size_t>(i)];
      item.hClient = static_cast<pc::OPCHANDLE>(i);
      item.wQuality = pc::OPC_QUALITY_GOOD;
      item.value.vt = pc::VT_R4;
      item.value.fltVal = value;
    }
    streams.push_back(pc::WriteOpcDataStream(0, 0, pc::S_OK, stream, false));
  }
  std::vector<uint8_t> flush(cold ? 64u << 20 : 0u);
  pc::FORMATETC format{static_cast<pc::CLIPFORMAT>(server::OPCFormats().Data), nullptr, pc::DVASPECT_CONTENT, -1, pc::TYMED_HGLOBAL};
  size_t round = 0;
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      for (size_t i = 0; i < flush.size(); i += 64) flush[i] = static_cast<uint8_t>(round);
      state.ResumeTiming();
    }
    pc::STGMEDIUM medium{pc::TYMED_HGLOBAL, streams[round++ % 2], nullptr};
    sink->OnDataChange(&format, &medium);
  }
  state.SetItemsProcessed(state.iterations() * count);
  for (pc::HGLOBAL stream : streams) pc::GlobalFree(stream);
  sink->Detach();
}
BENCHMARK(BM_DecodeStream)->ArgsProduct({{10000, 50000}, {0, 1}})->Unit(benchmark::kMillisecond);

// The server's start: the variable index read from the table, and one
// device's items linked to it.
void BM_LoadIndexes(benchmark::State& state) {
  const auto count = static_cast<int32_t>(state.range(0));
  auto driverSide = DriverSection(count);
  exchange::ServerIndex = 0;
  server::Intercom = exchange::TIntercomInterface::Open(exchange::kSectionName);
  LoadDescription(count);
  for (auto _ : state) {
    server::VariableIndex = std::make_unique<server::TVariableIndex>();
    server::VariableIndex->LoadFromShared();
    server::TOPCVariableIndex items;
    benchmark::DoNotOptimize(items.LoadDevice("Bench", "OPC", 0, 1));
  }
  server::DescriptionFile.reset();
  server::VariableIndex.reset();
  server::Intercom.reset();
  exchange::ServerIndex = -1;
}
BENCHMARK(BM_LoadIndexes)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ScanStaticTags(benchmark::State& state) {
  const auto count = static_cast<int32_t>(state.range(0));
  const auto changed = static_cast<int32_t>(state.range(1));
  auto section = DriverSection(count);
  exchange::TDMLVariablesList& table = *section->DMLVariables();
  constexpr int32_t kMessage = 40001;
  int64_t received = 0;
  const platform::win::HWND kernel = platform::win::AllocateHWnd(
      [&](platform::win::HWND, platform::win::UINT, platform::win::WPARAM, platform::win::LPARAM l) {
        received += reinterpret_cast<const driver::TDrvValueBlock*>(l)->Count;
        return platform::win::LRESULT{driver::ValueBlockCode};
      });
  driver::TReceivedBuffer buffer(kernel, kMessage, 1, nullptr);
  buffer.ScanStaticTags(table, 0);  // the first call walks once
  float next = 1.0f;
  const int32_t stride = changed > 0 ? count / changed : 1;
  for (auto _ : state) {
    for (int32_t k = 0; k < changed; ++k) table.SetValue(k * stride, next, 0);
    if (changed > 0) table.BumpChangeCounter();
    next += 1.0f;
    buffer.ScanStaticTags(table, 0);
    buffer.Flush();
  }
  if (received != state.iterations() * changed) state.SkipWithError("records lost");
  state.SetItemsProcessed(received);
  platform::win::DestroyWindow(kernel);
}
BENCHMARK(BM_ScanStaticTags)
    ->Args({10000, 0})
    ->Args({10000, 100})
    ->Args({10000, 10000})
    ->Args({50000, 50000})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  ::setenv("FERROWICK_IPC_NAMESPACE", ("bench-decode-" + std::to_string(::getpid())).c_str(), 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
