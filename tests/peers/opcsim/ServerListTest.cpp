#include <gtest/gtest.h>

#include <algorithm>

#include "platform/com/Memory.h"
#include "tests/peers/opcsim/TestClient.h"

namespace opcsimtest {
namespace {

using ServerList = SimFixture;

std::vector<pc::CLSID> Drain(pc::IEnumGUID* e) {
  std::vector<pc::CLSID> out;
  pc::CLSID clsid{};
  std::uint32_t fetched = 0;
  while (e->Next(1, &clsid, &fetched) == pc::S_OK && fetched == 1) out.push_back(clsid);
  return out;
}

TEST_F(ServerList, CategoriesYieldTheRegisteredSimulationWithItsDetails) {
  ASSERT_EQ(RunCtl({"register", "Sim.Plant.2", folder_ + "/items.txt", "--description", "Second plant"}), 0);
  pc::ComPtr<pc::IOPCServerList2> list2;
  ASSERT_EQ(pc::CoCreateInstance(pc::CLSID_OpcServerList, nullptr, pc::CLSCTX_INPROC_SERVER, pc::IOPCServerList2::iid,
                                 list2.PutVoid()),
            pc::S_OK);
  pc::CATID category = pc::CATID_OPCDAServer20;
  pc::ComPtr<pc::IEnumGUID> classes;
  ASSERT_EQ(list2->EnumClassesOfCategories(1, &category, 0, nullptr, classes.Put()), pc::S_OK);
  auto found = Drain(classes.Get());
  ASSERT_EQ(found.size(), 2u);
  std::vector<std::u16string> progIds;
  for (const auto& clsid : found) {
    pc::LPWSTR progId = nullptr, userType = nullptr, independent = nullptr;
    ASSERT_EQ(list2->GetClassDetails(clsid, &progId, &userType, &independent), pc::S_OK);
    progIds.emplace_back(pc::WideView(progId));
    if (pc::WideView(progId) == u"Sim.Plant.2") {
      EXPECT_EQ(pc::WideView(userType), u"Second plant");
    }
    EXPECT_EQ(pc::WideView(independent), pc::WideView(progId));
    pc::CoTaskMemFree(progId);
    pc::CoTaskMemFree(userType);
    pc::CoTaskMemFree(independent);
  }
  std::sort(progIds.begin(), progIds.end());
  EXPECT_EQ(progIds, (std::vector<std::u16string>{u"Sim.Plant.1", u"Sim.Plant.2"}));

  // The first interface too, and a category nobody implements.
  auto list = list2.As<pc::IOPCServerList>();
  ASSERT_TRUE(list);
  pc::CATID other = pc::IOPCServer::iid;
  ASSERT_EQ(list->EnumClassesOfCategories(1, &other, 0, nullptr, classes.Put()), pc::S_OK);
  EXPECT_TRUE(Drain(classes.Get()).empty());
  pc::LPWSTR progId = nullptr, userType = nullptr;
  EXPECT_EQ(list->GetClassDetails(pc::IOPCServer::iid, &progId, &userType), pc::REGDB_E_CLASSNOTREG);
  pc::CLSID clsid{};
  EXPECT_EQ(list->CLSIDFromProgID(u"Sim.Plant.2", &clsid), pc::S_OK);
  EXPECT_EQ(RunCtl({"unregister", "Sim.Plant.2"}), 0);
}

TEST_F(ServerList, ItsOwnSwitchWithholdsTheSecondInterface) {
  ASSERT_EQ(RunCtl({"fail", "serverlist", "list2", "on"}), 0);
  pc::ComPtr<pc::IOPCServerList2> list2;
  EXPECT_EQ(pc::CoCreateInstance(pc::CLSID_OpcServerList, nullptr, pc::CLSCTX_INPROC_SERVER, pc::IOPCServerList2::iid,
                                 list2.PutVoid()),
            pc::E_NOINTERFACE);
  pc::ComPtr<pc::IOPCServerList> list;
  ASSERT_EQ(pc::CoCreateInstance(pc::CLSID_OpcServerList, nullptr, pc::CLSCTX_INPROC_SERVER, pc::IOPCServerList::iid,
                                 list.PutVoid()),
            pc::S_OK);
  EXPECT_FALSE(list.As<pc::IOPCServerList2>());
  ASSERT_EQ(RunCtl({"fail", "serverlist", "list2", "off"}), 0);
  EXPECT_TRUE(list.As<pc::IOPCServerList2>());

  // The switch is the list object's alone, and its name is no simulation's.
  EXPECT_NE(RunCtl({"fail", "serverlist", "container", "on"}), 0);
  EXPECT_NE(RunCtl({"fail", kProgId, "list2", "on"}), 0);
  EXPECT_NE(RunCtl({"register", "ServerList", folder_ + "/items.txt"}), 0);
}

TEST_F(ServerList, RemoteCreationFails) {
  EXPECT_THROW(pc::CreateRemoteComObject("\\\\PLANT7", pc::CLSID_OpcServerList), pc::EOleSysError);
}

}  // namespace
}  // namespace opcsimtest
