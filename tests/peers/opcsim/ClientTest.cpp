#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "platform/com/Apartment.h"
#include "platform/com/Memory.h"
#include "platform/os/Time.h"
#include "tests/peers/opcsim/TestClient.h"

namespace opcsimtest {
namespace {

TEST_F(SimFixture, StreamDataArrivesOnTheClientThreadWithPrimeFirst) {
  auto server = Connect();
  ASSERT_TRUE(server);
  pc::OPCHANDLE serverGroup = 0;
  std::vector<pc::OPCHANDLE> handles;
  auto group = MakeGroup(server.Get(), u"_stream_", 7, &serverGroup, &handles);
  ASSERT_TRUE(group);
  for (auto h : handles) EXPECT_NE(h, 0u);
  auto data = group.As<pc::IDataObject>();
  ASSERT_TRUE(data);
  pc::ComPtr<StreamSink> sink(new StreamSink);
  pc::FORMATETC format{static_cast<pc::CLIPFORMAT>(pc::RegisterClipboardFormatA(pc::kOpcStreamFormatDataTime)),
                       nullptr, pc::DVASPECT_CONTENT, -1, pc::TYMED_HGLOBAL};
  std::uint32_t cookie = 0;
  ASSERT_EQ(data->DAdvise(&format, pc::ADVF_PRIMEFIRST, sink.Get(), &cookie), pc::S_OK);
  EXPECT_EQ(sink->calls, 0);  // a synchronous call does not pump
  ASSERT_TRUE(PumpUntil([&] { return sink->latest.size() == 6; }));
  EXPECT_EQ(sink->wrongThread, 0);
  EXPECT_EQ(sink->badStreams, 0);
  EXPECT_EQ(sink->latest[kMode].value.Get().vt, pc::VT_UI2);
  EXPECT_EQ(sink->latest[kMode].value.Get().uiVal, 3);
  EXPECT_EQ(sink->latest[kRun].value.Get().boolVal, pc::VARIANT_TRUE);
  EXPECT_EQ(pc::WideView(sink->latest[kName].value.Get().bstrVal), u"abc");
  EXPECT_EQ(sink->latest[kName].quality, pc::OPC_QUALITY_GOOD);

  // Changing values keep coming.
  const float level = sink->latest[kLevel].value.Get().fltVal;
  ASSERT_TRUE(PumpUntil([&] { return sink->latest[kLevel].value.Get().fltVal != level; }));

  // Refresh sends everything with its transaction id.
  auto async = group.As<pc::IOPCAsyncIO>();
  ASSERT_TRUE(async);
  pc::DWORD transaction = 0;
  ASSERT_EQ(async->Refresh(cookie, pc::OPC_DS_DEVICE, &transaction), pc::S_OK);
  EXPECT_NE(transaction, 0u);
  ASSERT_TRUE(PumpUntil([&] { return sink->latest[kName].transaction == transaction; }));
  EXPECT_EQ(async->Refresh(cookie + 100, pc::OPC_DS_DEVICE, &transaction), pc::E_INVALIDARG);

  // The stream without time stamps.
  pc::ComPtr<StreamSink> plain(new StreamSink);
  pc::FORMATETC plainFormat = format;
  plainFormat.cfFormat = static_cast<pc::CLIPFORMAT>(pc::RegisterClipboardFormatA(pc::kOpcStreamFormatData));
  std::uint32_t plainCookie = 0;
  ASSERT_EQ(data->DAdvise(&plainFormat, 0, plain.Get(), &plainCookie), pc::S_OK);
  ASSERT_TRUE(PumpUntil([&] { return plain->latest.size() == 6; }));
  EXPECT_EQ(plain->lastFormat, plainFormat.cfFormat);
  std::uint32_t refused = 5;
  EXPECT_EQ(data->DAdvise(&plainFormat, 0, plain.Get(), &refused), pc::CONNECT_E_ADVISELIMIT);
  EXPECT_EQ(refused, 0u);
  pc::FORMATETC wrong = format;
  wrong.cfFormat = 1;
  EXPECT_EQ(data->DAdvise(&wrong, 0, plain.Get(), &refused), pc::DV_E_FORMATETC);
  wrong = format;
  wrong.tymed = 4;
  EXPECT_EQ(data->DAdvise(&wrong, 0, plain.Get(), &refused), pc::DV_E_TYMED);

  // After DUnadvise nothing more arrives, even what was already queued.
  ASSERT_EQ(data->DUnadvise(cookie), pc::S_OK);
  ASSERT_EQ(data->DUnadvise(plainCookie), pc::S_OK);
  EXPECT_EQ(data->DUnadvise(cookie), pc::CONNECT_E_NOCONNECTION);
  const int calls = sink->calls;
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(sink->calls, calls);
  ASSERT_EQ(server->RemoveGroup(serverGroup, 0), pc::S_OK);
  EXPECT_EQ(server->RemoveGroup(serverGroup, 0), pc::E_INVALIDARG);
}

TEST_F(SimFixture, CallbackDataWritesStatusAndValuesFromAnotherProcess) {
  auto server = Connect();
  ASSERT_TRUE(server);
  pc::OPCHANDLE serverGroup = 0;
  std::vector<pc::OPCHANDLE> handles;
  auto group = MakeGroup(server.Get(), u"_callback_", 9, &serverGroup, &handles);
  ASSERT_TRUE(group);
  auto container = group.As<pc::IConnectionPointContainer>();
  ASSERT_TRUE(container);
  pc::ComPtr<pc::IConnectionPoint> point;
  ASSERT_EQ(container->FindConnectionPoint(pc::IOPCDataCallback::iid, point.Put()), pc::S_OK);
  pc::ComPtr<CallbackSink> sink(new CallbackSink);
  std::uint32_t cookie = 0;
  ASSERT_EQ(point->Advise(sink->Unknown(), &cookie), pc::S_OK);
  std::uint32_t refused = 5;
  EXPECT_EQ(point->Advise(sink->Unknown(), &refused), pc::CONNECT_E_ADVISELIMIT);
  EXPECT_EQ(refused, 0u);
  ASSERT_TRUE(PumpUntil([&] { return sink->latest.size() == 6; }));
  EXPECT_EQ(sink->wrongThread, 0);
  EXPECT_EQ(sink->lastGroup, 9u);
  EXPECT_EQ(sink->latest[kMode].value.Get().uiVal, 3);

  // A synchronous write: the writable item takes it and reports it next.
  auto sync = group.As<pc::IOPCSyncIO>();
  ASSERT_TRUE(sync);
  pc::VariantValue seven(7.0);
  pc::OPCHANDLE modeHandle = handles[kMode];
  pc::HRESULT* errors = nullptr;
  ASSERT_EQ(sync->Write(1, &modeHandle, &seven.Get(), &errors), pc::S_OK);
  EXPECT_EQ(errors[0], pc::S_OK);
  pc::CoTaskMemFree(errors);
  ASSERT_TRUE(PumpUntil([&] { return sink->latest[kMode].value.Get().uiVal == 7; }));
  EXPECT_EQ(sink->latest[kMode].value.Get().vt, pc::VT_UI2);
  // A read-only item, an unknown handle and a value out of range.
  pc::OPCHANDLE bad[3] = {handles[kRun], 9999, modeHandle};
  pc::VARIANT values[3];
  for (auto& v : values) pc::VariantInit(&v);
  values[0].vt = pc::VT_BOOL;
  values[1].vt = pc::VT_I4;
  values[2].vt = pc::VT_R8;
  values[2].dblVal = 70000;
  ASSERT_EQ(sync->Write(3, bad, values, &errors), pc::S_FALSE);
  EXPECT_EQ(errors[0], pc::OPC_E_BADRIGHTS);
  EXPECT_EQ(errors[1], pc::OPC_E_INVALIDHANDLE);
  EXPECT_EQ(errors[2], pc::OPC_E_RANGE);
  pc::CoTaskMemFree(errors);

  // A value and quality pushed by opcsim-ctl from another process.
  ASSERT_EQ(RunCtl({"set", kProgId, "Plant.Mode", "9", "quality=0xD8"}), 0);
  ASSERT_TRUE(PumpUntil([&] { return sink->latest[kMode].value.Get().uiVal == 9; }));
  EXPECT_EQ(sink->latest[kMode].quality, pc::OPC_QUALITY_LOCAL_OVERRIDE);
  EXPECT_NE(RunCtl({"set", kProgId, "Plant.Mode", "9", "quality=70000"}), 0);
  EXPECT_NE(RunCtl({"set", "No.Such.Sim", "Plant.Mode", "9"}), 0);
  EXPECT_EQ(RunCtl({"set", kProgId, "Plant.Nothing", "9"}), 1);

  // Status.
  pc::OPCSERVERSTATUS* status = nullptr;
  ASSERT_EQ(server->GetStatus(&status), pc::S_OK);
  EXPECT_EQ(status->dwServerState, pc::OPC_STATUS_RUNNING);
  EXPECT_EQ(status->dwGroupCount, 1u);
  EXPECT_EQ(pc::WideView(status->szVendorInfo), u"Вендор симуляции");
  platform::os::TDateTime start = 0, now = 0;
  EXPECT_TRUE(platform::os::FileTimeToDateTime(status->ftStartTime, start));
  EXPECT_TRUE(platform::os::FileTimeToDateTime(status->ftCurrentTime, now));
  EXPECT_LE(start, now);
  EXPECT_GT(status->ftLastUpdateTime.dwHighDateTime, 0u);
  EXPECT_EQ(status->wMajorVersion, 1);
  pc::CoTaskMemFree(status->szVendorInfo);
  pc::CoTaskMemFree(status);

  ASSERT_EQ(point->Unadvise(cookie), pc::S_OK);
  EXPECT_EQ(point->Unadvise(cookie), pc::CONNECT_E_NOCONNECTION);
}

TEST_F(SimFixture, ShutdownRequestFromOpcsimCtlReachesEveryClientOnItsThread) {
  auto first = Connect();
  auto second = Connect();
  ASSERT_TRUE(first && second);
  pc::ComPtr<ShutdownSink> sinks[2] = {pc::ComPtr<ShutdownSink>(new ShutdownSink),
                                       pc::ComPtr<ShutdownSink>(new ShutdownSink)};
  pc::ComPtr<pc::IConnectionPoint> points[2];
  std::uint32_t cookies[2] = {0, 0};
  pc::IOPCServer* servers[2] = {first.Get(), second.Get()};
  for (int i = 0; i < 2; ++i) {
    pc::ComPtr<pc::IOPCServer> s(servers[i]);
    auto container = s.As<pc::IConnectionPointContainer>();
    ASSERT_TRUE(container);
    ASSERT_EQ(container->FindConnectionPoint(pc::IOPCShutdown::iid, points[i].Put()), pc::S_OK);
    ASSERT_EQ(points[i]->Advise(sinks[i]->Unknown(), &cookies[i]), pc::S_OK);
  }
  ASSERT_EQ(RunCtl({"shutdown", kProgId, "Плановый останов"}), 0);
  ASSERT_TRUE(PumpUntil([&] { return sinks[0]->reasons.size() == 1 && sinks[1]->reasons.size() == 1; }));
  EXPECT_EQ(sinks[0]->reasons[0], u"Плановый останов");
  EXPECT_EQ(sinks[0]->wrongThread + sinks[1]->wrongThread, 0);
  // An unadvised sink hears nothing more.
  ASSERT_EQ(points[1]->Unadvise(cookies[1]), pc::S_OK);
  ASSERT_EQ(RunCtl({"shutdown", kProgId, "again"}), 0);
  ASSERT_TRUE(PumpUntil([&] { return sinks[0]->reasons.size() == 2; }));
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(sinks[1]->reasons.size(), 1u);
}

// Counts its own end.
class EndingSink final : public pc::ComObject<pc::IOPCShutdown> {
 public:
  explicit EndingSink(std::atomic<bool>* ended) : ended_(ended) {}
  ~EndingSink() override { ended_->store(true); }
  pc::HRESULT ShutdownRequest(pc::LPCWSTR) override { return pc::S_OK; }

 private:
  std::atomic<bool>* ended_;
};

TEST_F(SimFixture, SubscribersOfAnEndedApartmentAreDropped) {
  auto server = Connect();
  ASSERT_TRUE(server);
  pc::ComPtr<pc::IOPCItemMgt> group;
  std::atomic<bool> streamEnded{false}, shutdownEnded{false};
  std::thread([&] {
    ASSERT_EQ(pc::CoInitialize(nullptr), pc::S_OK);
    pc::OPCHANDLE serverGroup = 0;
    group = MakeGroup(server.Get(), u"_other_", 3, &serverGroup, nullptr);
    ASSERT_TRUE(group);
    pc::ComPtr<StreamSink> sink(new StreamSink);
    sink->ended = &streamEnded;
    pc::FORMATETC format{static_cast<pc::CLIPFORMAT>(pc::RegisterClipboardFormatA(pc::kOpcStreamFormatData)),
                         nullptr, pc::DVASPECT_CONTENT, -1, pc::TYMED_HGLOBAL};
    std::uint32_t cookie = 0;
    ASSERT_EQ(group.As<pc::IDataObject>()->DAdvise(&format, 0, sink.Get(), &cookie), pc::S_OK);
    pc::ComPtr<pc::IConnectionPoint> point;
    ASSERT_EQ(server.As<pc::IConnectionPointContainer>()->FindConnectionPoint(pc::IOPCShutdown::iid, point.Put()),
              pc::S_OK);
    pc::ComPtr<EndingSink> ending(new EndingSink(&shutdownEnded));
    ASSERT_EQ(point->Advise(ending->Unknown(), &cookie), pc::S_OK);
    pc::CoUninitialize();
  }).join();
  ASSERT_TRUE(group);
  // The thread kept no references of its own: only the server holds the
  // sinks, and it lets go of each at the next delivery it cannot queue.
  EXPECT_TRUE(PumpUntil([&] { return streamEnded.load(); }));
  EXPECT_FALSE(shutdownEnded.load());
  ASSERT_EQ(RunCtl({"shutdown", kProgId, "nobody listens"}), 0);
  EXPECT_TRUE(PumpUntil([&] { return shutdownEnded.load(); }));
}

TEST_F(SimFixture, JournalShowsEachCall) {
  {
    auto server = Connect();
    ASSERT_TRUE(server);
    pc::OPCHANDLE serverGroup = 0;
    std::vector<pc::OPCHANDLE> handles;
    auto group = MakeGroup(server.Get(), u"_journal_", 1, &serverGroup, &handles);
    ASSERT_TRUE(group);
    auto data = group.As<pc::IDataObject>();
    pc::ComPtr<StreamSink> sink(new StreamSink);
    pc::FORMATETC format{static_cast<pc::CLIPFORMAT>(pc::RegisterClipboardFormatA(pc::kOpcStreamFormatDataTime)),
                         nullptr, pc::DVASPECT_CONTENT, -1, pc::TYMED_HGLOBAL};
    std::uint32_t cookie = 0;
    ASSERT_EQ(data->DAdvise(&format, pc::ADVF_PRIMEFIRST, sink.Get(), &cookie), pc::S_OK);
    pc::DWORD transaction = 0;
    group.As<pc::IOPCAsyncIO>()->Refresh(cookie, pc::OPC_DS_DEVICE, &transaction);
    pc::VariantValue value(1.5);
    pc::OPCHANDLE mode = handles[kMode];
    pc::HRESULT* errors = nullptr;
    group.As<pc::IOPCSyncIO>()->Write(1, &mode, &value.Get(), &errors);
    pc::CoTaskMemFree(errors);
    data->DUnadvise(cookie);
    server->RemoveGroup(serverGroup, 0);
  }
  const std::string expected =
      "connect\naddgroup _journal_ 50\n"
      "additem Plant.Tank1.Level 0\nadditem Plant.Pump1.Run 1\nadditem Plant.Count 2\n"
      "additem Plant.Mode 3\nadditem Plant.Name 4\nadditem Plant.Wave 5\n"
      "advise stream\nrefresh\nwrite Plant.Mode R8 1,5\nunadvise\nremovegroup\ndisconnect\n";
  EXPECT_EQ(Journal(), expected);
}

// A requested type is refused when the values cannot be converted to it,
// also one that the platform reads.
TEST_F(SimFixture, RequestedTypesThatCannotBeServedAreRefused) {
  auto server = Connect();
  ASSERT_TRUE(server);
  pc::OPCHANDLE serverGroup = 0;
  auto group = MakeGroup(server.Get(), u"types", 1, &serverGroup, nullptr);
  ASSERT_TRUE(group);
  std::u16string id(kItemIds[kMode], kItemIds[kMode] + std::char_traits<char>::length(kItemIds[kMode]));
  for (const auto& [type, expected] : {std::pair{pc::VT_R8, pc::S_OK}, std::pair{pc::VT_I8, pc::OPC_E_BADTYPE},
                                       std::pair{pc::VARTYPE{12}, pc::OPC_E_BADTYPE}}) {
    pc::OPCITEMDEF def{nullptr, id.data(), 1, 9, 0, nullptr, type, 0};
    pc::OPCITEMRESULT* results = nullptr;
    pc::HRESULT* errors = nullptr;
    ASSERT_TRUE(pc::SUCCEEDED(group->AddItems(1, &def, &results, &errors))) << type;
    EXPECT_EQ(errors[0], expected) << type;
    pc::CoTaskMemFree(results);
    pc::CoTaskMemFree(errors);
  }
}

TEST_F(SimFixture, UnregisteredSimulationCannotBeCreated) {
  ASSERT_EQ(RunCtl({"unregister", kProgId}), 0);
  EXPECT_FALSE(Connect());
  EXPECT_NE(RunCtl({"unregister", kProgId}), 0);
  EXPECT_EQ(RunCtl({"frobnicate", kProgId}), 2);
  EXPECT_NE(RunCtl({"register", "Bad Prog", folder_ + "/items.txt"}), 0);
  std::ofstream(folder_ + "/broken.txt") << "X R4 ramp 1\n";
  std::string out;
  EXPECT_EQ(RunCtl({"register", "Sim.Broken", folder_ + "/broken.txt"}, &out), 1);
}

}  // namespace
}  // namespace opcsimtest
