// OPC server enumeration on a registry of the test's own: the registry
// scan, the category scan through the simulation's server list object
// (both of its interfaces), both together, and another machine's registry.

#include "driver_dialogs/OPCenum.h"
#include "platform/com/Apartment.h"
#include "platform/com/OpcDa.h"
#include "platform/os/Text.h"
#include "tests/driver_dialogs/DialogRegistry.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace dialogstest {
namespace {

namespace com = platform::com;
using driver_dialogs::TOPCServerInfo;
using driver_dialogs::TOPCServerList;
using namespace platform::os::literals;

// "PROGID|description|vendor|{clsid}" per server, in list order.
std::vector<std::string> Listed(const TOPCServerList& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) {
    const auto* info = static_cast<const TOPCServerInfo*>(list.Items()->Objects(i));
    EXPECT_EQ((*list.Items())[i], info->ProgID);
    EXPECT_EQ(list.GetClassId(i), info->CLSID);
    out.push_back(info->ProgID + "|" + info->Description + "|" + info->Vendor + "|" + com::GuidToString(info->CLSID));
  }
  return out;
}

std::string Id(int n) { return com::GuidToString(ClassId(n)); }

class Enumeration : public RegistryFixture {
 protected:
  // Beta.Server (class 2) and zed.Server / Zeta.Twin (one class, 1) are
  // OPC servers; NoOpc.Server has no "OPC" key; Ghost.Server has one but
  // no class id. Class 2 and Cat.Only (class 3, no ProgID key at all) are
  // in the data access category.
  void SetUp() override {
    RegistryFixture::SetUp();
    AddProgId(kLocal, "Beta.Server", ClassId(2), "Beta description", "V-B");
    AddProgId(kLocal, "Zeta.Twin", ClassId(1), "Twin", "V-twin");
    AddProgId(kLocal, "zed.Server", ClassId(1), std::string("Котёл"_cp), "");
    AddProgId(kLocal, "NoOpc.Server", ClassId(4), "no opc", std::nullopt);
    Put(kLocal, "Ghost.Server\\OPC\\Vendor", "ghost");
    AddCategoryClass(ClassId(2), "Beta.Server", "Beta from the list");
    AddCategoryClass(ClassId(3), "Cat.Only", std::string("Насос"_cp));
  }
};

TEST_F(Enumeration, RegistryScanListsOpcProgIdsOncePerClassSortedWithoutCase) {
  TOPCServerList list("", {}, true);
  EXPECT_EQ(list.Items(), nullptr);
  EXPECT_EQ(list.Count(), 0);
  list.Refresh();
  // The twin ProgIDs of class 1 come in name order without case: zed before Zeta.
  EXPECT_EQ(Listed(list), (std::vector<std::string>{"Beta.Server|Beta description|V-B|" + Id(2),
                                                    "zed.Server|" + std::string("Котёл"_cp) + "||" + Id(1)}));
  for (int outside : {-1, 2, INT_MAX, INT_MIN}) EXPECT_EQ(list.GetClassId(outside), com::GUID_NULL) << outside;

  // A ProgID equal ignoring case, or a class already listed, changes nothing.
  list.AddServer("BETA.server", ClassId(9), "", "");
  list.AddServer("Other.Name", ClassId(2), "", "");
  EXPECT_EQ(list.Count(), 2);
  list.AddServer("Aaa.New", ClassId(9), "v", "d");
  EXPECT_EQ((*list.Items())[0], "Aaa.New");
  EXPECT_EQ(list.GetClassId(0), ClassId(9));

  list.Clear();
  EXPECT_EQ(list.Items(), nullptr);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.GetClassId(0), com::GUID_NULL);
}

TEST_F(Enumeration, CategoryScanThroughEitherInterfaceAndBothScansTogether) {
  const std::string cat = "Cat.Only|" + std::string("Насос"_cp) + "||" + Id(3);
  // No apartment on this thread: the scan makes one for its run.
  TOPCServerList categories("", {com::CATID_OPCDAServer20}, false);
  categories.Refresh();
  EXPECT_EQ(Listed(categories),
            (std::vector<std::string>{"Beta.Server|Beta from the list||" + Id(2), cat}));
  EXPECT_EQ(com::Apartment::Current(), nullptr) << "the scan's apartment ended with it";
  const auto journal = ServerListJournal();
  ASSERT_EQ(journal.size(), 2u);
  for (const auto& line : journal) EXPECT_EQ(line.rfind("details list2 ", 0), 0u) << line;

  // Refused IOPCServerList2: the same servers through IOPCServerList.
  ASSERT_EQ(RunCtl({"fail", "serverlist", "list2", "on"}), 0);
  categories.Refresh();
  EXPECT_EQ(Listed(categories),
            (std::vector<std::string>{"Beta.Server|Beta from the list||" + Id(2), cat}));
  const auto after = ServerListJournal();
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after[2].rfind("details list {", 0), 0u) << after[2];
  EXPECT_EQ(after[3].rfind("details list {", 0), 0u) << after[3];

  // Both: a class found by both keeps the registry's description and vendor.
  TOPCServerList both("", {com::CATID_OPCDAServer20}, true);
  both.Refresh();
  EXPECT_EQ(Listed(both), (std::vector<std::string>{"Beta.Server|Beta description|V-B|" + Id(2), cat,
                                                    "zed.Server|" + std::string("Котёл"_cp) + "||" + Id(1)}));

  // A category nobody implements, and neither scan.
  TOPCServerList other("", {com::IOPCServer::iid}, false);
  other.Refresh();
  EXPECT_EQ(other.Count(), 0);
  TOPCServerList none("", {}, false);
  none.Refresh();
  ASSERT_NE(none.Items(), nullptr);
  EXPECT_EQ(none.Count(), 0);
}

TEST_F(Enumeration, WithoutServerListObjectOrRegistryNothingIsListed) {
  // An apartment thread, as the kernel's is: the scan's own CoInitialize answers S_FALSE.
  ASSERT_EQ(com::CoInitialize(nullptr), com::S_OK);
  Put(kLocal, "CLSID\\" + com::GuidToString(com::CLSID_OpcServerList) + "\\InprocServer32", "/no/such/module.so");
  TOPCServerList categories("", {com::CATID_OPCDAServer20}, false);
  categories.Refresh();
  EXPECT_EQ(categories.Count(), 0);
  EXPECT_NE(com::Apartment::Current(), nullptr) << "the thread's own apartment stays";
  com::CoUninitialize();

  ::setenv("FERROWICK_REGISTRY_DIR", (folder_ + "/none").c_str(), 1);  // no registry file at all
  TOPCServerList both("", {com::CATID_OPCDAServer20}, true);
  both.Refresh();
  EXPECT_EQ(both.Count(), 0);
}

// A broken list object whose enumerator always answers S_OK: the scan
// takes a bounded number of classes and ends.
TEST_F(Enumeration, AClassEnumerationThatNeverEndsIsCutAtItsBound) {
  Put(kLocal, "CLSID\\" + com::GuidToString(com::CLSID_OpcServerList) + "\\InprocServer32", FW_ENDLESS_SERVER_LIST);
  TOPCServerList list("", {com::CATID_OPCDAServer20}, false);
  list.Refresh();
  EXPECT_EQ(list.Count(), static_cast<int>(TOPCServerList::kMaxCategoryClasses));
}

TEST_F(Enumeration, AnotherMachinesRegistryByItsName) {
  // PC1 knows Beta.Server under its own description and vendor, and
  // Remote.Only, whose ProgID this machine does not know.
  AddProgId("PC1", "Beta.Server", ClassId(7), "Beta on PC1", "V-PC1");
  AddProgId("PC1", "Remote.Only", ClassId(8), "remote", "V-R");
  // ProgIDs resolve on this machine: Beta.Server's local class id.
  const std::vector<std::string> fromPc1{"Beta.Server|Beta on PC1|V-PC1|" + Id(2)};
  struct Case {
    const char* machine;
    std::vector<std::string> listed;
  };
  const Case cases[] = {{"PC1", fromPc1}, {"\\\\PC1", fromPc1}, {"pc1", fromPc1}, {"\\PC1", {}}, {"PC2", {}}};
  for (const Case& c : cases) {
    // The category scan cannot reach another machine: it adds nothing.
    TOPCServerList list(c.machine, {com::CATID_OPCDAServer20}, true);
    list.Refresh();
    EXPECT_EQ(Listed(list), c.listed) << c.machine;
  }
}

}  // namespace
}  // namespace dialogstest
