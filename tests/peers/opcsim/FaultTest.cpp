#include <gtest/gtest.h>

#include "platform/com/Memory.h"
#include "tests/peers/opcsim/TestClient.h"

namespace opcsimtest {
namespace {

// Each fault switch, turned on by opcsim-ctl in another process, is seen by
// the client, and turned off again the behaviour is back.
class Faults : public SimFixture {
 protected:
  void Switch(const std::string& what, bool on) {
    ASSERT_EQ(RunCtl({"fail", kProgId, what, on ? "on" : "off"}), 0);
  }
};

TEST_F(Faults, ServerSideSwitches) {
  auto server = Connect();
  ASSERT_TRUE(server);
  Switch("container", true);
  EXPECT_FALSE(server.As<pc::IConnectionPointContainer>());
  Switch("container", false);
  auto container = server.As<pc::IConnectionPointContainer>();
  ASSERT_TRUE(container);

  pc::ComPtr<pc::IConnectionPoint> point;
  Switch("shutdownpoint", true);
  EXPECT_EQ(container->FindConnectionPoint(pc::IOPCShutdown::iid, point.Put()), pc::CONNECT_E_NOCONNECTION);
  Switch("shutdownpoint", false);
  ASSERT_EQ(container->FindConnectionPoint(pc::IOPCShutdown::iid, point.Put()), pc::S_OK);

  pc::ComPtr<ShutdownSink> sink(new ShutdownSink);
  std::uint32_t cookie = 7;
  Switch("shutdownadvise", true);
  EXPECT_EQ(point->Advise(sink->Unknown(), &cookie), pc::CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  Switch("shutdownadvise", false);
  EXPECT_EQ(point->Advise(sink->Unknown(), &cookie), pc::S_OK);

  Switch("addgroup", true);
  pc::OPCHANDLE serverGroup = 0;
  EXPECT_FALSE(MakeGroup(server.Get(), u"g", 1, &serverGroup, nullptr));
  Switch("addgroup", false);
  EXPECT_TRUE(MakeGroup(server.Get(), u"g", 1, &serverGroup, nullptr));

  pc::OPCSERVERSTATUS* status = nullptr;
  Switch("status", true);
  EXPECT_EQ(server->GetStatus(&status), pc::E_FAIL);
  EXPECT_EQ(status, nullptr);
  Switch("status", false);
  Switch("novendor", true);
  ASSERT_EQ(server->GetStatus(&status), pc::S_OK);
  EXPECT_EQ(status->szVendorInfo, nullptr);
  pc::CoTaskMemFree(status);
  Switch("novendor", false);
}

TEST_F(Faults, GroupSideSwitches) {
  auto server = Connect();
  ASSERT_TRUE(server);
  pc::OPCHANDLE serverGroup = 0;
  std::vector<pc::OPCHANDLE> handles;
  Switch("additem:Plant.Mode", true);
  auto group = MakeGroup(server.Get(), u"g", 1, &serverGroup, &handles);
  ASSERT_TRUE(group);
  EXPECT_EQ(handles[kMode], 0u);  // refused
  EXPECT_NE(handles[kName], 0u);  // the others are served
  Switch("additem:Plant.Mode", false);

  auto container = group.As<pc::IConnectionPointContainer>();
  pc::ComPtr<pc::IConnectionPoint> point;
  Switch("callbackpoint", true);
  EXPECT_EQ(container->FindConnectionPoint(pc::IOPCDataCallback::iid, point.Put()), pc::CONNECT_E_NOCONNECTION);
  Switch("callbackpoint", false);
  ASSERT_EQ(container->FindConnectionPoint(pc::IOPCDataCallback::iid, point.Put()), pc::S_OK);

  pc::ComPtr<CallbackSink> callback(new CallbackSink);
  pc::ComPtr<StreamSink> stream(new StreamSink);
  auto data = group.As<pc::IDataObject>();
  pc::FORMATETC format{static_cast<pc::CLIPFORMAT>(pc::RegisterClipboardFormatA(pc::kOpcStreamFormatDataTime)),
                       nullptr, pc::DVASPECT_CONTENT, -1, pc::TYMED_HGLOBAL};
  std::uint32_t cookie = 0;
  Switch("advise", true);
  EXPECT_EQ(point->Advise(callback->Unknown(), &cookie), pc::CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(data->DAdvise(&format, pc::ADVF_PRIMEFIRST, stream.Get(), &cookie), pc::E_FAIL);
  Switch("advise", false);

  Switch("badstream", true);
  ASSERT_EQ(data->DAdvise(&format, pc::ADVF_PRIMEFIRST, stream.Get(), &cookie), pc::S_OK);
  ASSERT_TRUE(PumpUntil([&] { return stream->badStreams > 0; }));
  EXPECT_TRUE(stream->latest.empty());  // a malformed stream gives nothing
  Switch("badstream", false);
  ASSERT_TRUE(PumpUntil([&] { return !stream->latest.empty(); }));

  auto sync = group.As<pc::IOPCSyncIO>();
  pc::VariantValue value(std::int32_t{5});
  pc::OPCHANDLE name = handles[kName];
  pc::HRESULT* errors = nullptr;
  Switch("write", true);
  EXPECT_EQ(sync->Write(1, &name, &value.Get(), &errors), pc::E_FAIL);
  EXPECT_EQ(errors, nullptr);
  Switch("write", false);
  Switch("write:Plant.Name", true);
  ASSERT_EQ(sync->Write(1, &name, &value.Get(), &errors), pc::S_FALSE);
  EXPECT_NE(errors[0], pc::S_OK);
  pc::CoTaskMemFree(errors);
  Switch("write:Plant.Name", false);
}

TEST_F(Faults, ControlRefusesUnknownSwitches) {
  EXPECT_EQ(RunCtl({"fail", kProgId, "everything", "on"}), 1);
  EXPECT_EQ(RunCtl({"fail", kProgId, "write", "maybe"}), 2);
}

}  // namespace
}  // namespace opcsimtest
