#include "driver/TagTables.h"

#include "DriverTestSupport.h"
#include "driver/DrvLog.h"
#include "platform/os/Text.h"

#include <map>
#include <string>
#include <vector>

namespace {

using namespace platform::os::literals;
using driver::TDRVVariableList;
using drvtest::Var;

class TagTables : public ::testing::Test {
 protected:
  void SetUp() override { kernel::KernelModel::Instance().Reset(); }
  void TearDown() override { kernel::KernelModel::Instance().Reset(); }

  int32_t Domain(const std::string& name) { return kernel::KernelModel::Instance().AddDomain(name); }
  void Add(int32_t domain, const kernel::VariableSpec& variable) {
    ASSERT_TRUE(kernel::KernelModel::Instance().AddVariable(domain, variable));
  }

  driver::TBaseErrorClass log_{""};
  TDRVVariableList list_{&log_};
};

TEST_F(TagTables, FindRoutingDomainIsExact) {
  const int32_t low = Domain("opc");
  const int32_t high = Domain("OPC");
  driver::TVLDomainInfo info{};
  ASSERT_TRUE(driver::FindRoutingDomain("OPC", info));
  EXPECT_EQ(info.DomainId, high);
  ASSERT_TRUE(driver::FindRoutingDomain("opc", info));
  EXPECT_EQ(info.DomainId, low);
  EXPECT_FALSE(driver::FindRoutingDomain("Opc", info));
  EXPECT_FALSE(driver::FindRoutingDomain("", info));
}

TEST_F(TagTables, LoadDomainParsesFiltersAndSorts) {
  const int32_t opc = Domain("OPC");
  Add(opc, Var(1, "Level", "opc: device = 3 ; address = 17"));
  Add(opc, Var(2, "Tank1", "OPC:Tank1"));
  Add(opc, Var(3, "Tank2", "OPC:ROUTING=Tank2"));  // same key (-1, -1) as Tank1
  Add(opc, Var(4, "NoColon", "Tank1"));
  Add(opc, Var(5, "Other", "ABC:DEVICE=1;ADDRESS=1"));  // another prefix: skipped quietly
  Add(opc, Var(6, "Ten", "OPC:DEVICE=10;ADDRESS=1"));
  Add(opc, Var(7, "Two", "OPC:DEVICE=2;ADDRESS=1"));
  Add(opc, Var(8, "Bad", "OPC:DEVICE=3;ADR=1"));

  EXPECT_TRUE(list_.LoadDomain(" opc "));
  ASSERT_EQ(list_.Count(), 4);
  // Keys compare as byte strings: "OPC:-1|-1" < "OPC:10|1" < "OPC:2|1" < "OPC:3|17".
  EXPECT_EQ(list_.At(0)->Name, "Tank1");
  EXPECT_EQ(list_.At(1)->Name, "Ten");
  EXPECT_EQ(list_.At(2)->Name, "Two");
  const driver::TDRVVariable* level = list_.FindById(1);
  ASSERT_NE(level, nullptr);
  EXPECT_EQ(level->Prefix, "OPC");
  EXPECT_EQ(level->DeviceNumber, 3);
  EXPECT_EQ(level->Address, 17);
  EXPECT_EQ(list_.FindById(3), nullptr);
  EXPECT_EQ(list_.FindById(5), nullptr);

  EXPECT_EQ(drvtest::CountLog(-2, "DLM::Ошибка дублирования физического адреса тега. ( Tank2/Tank1 )"_cp), 1);
  EXPECT_EQ(drvtest::CountLog(-12, "DLM:: Тег NoColon содержит ошибку в строке роутинга."_cp), 1);
  EXPECT_EQ(drvtest::CountLog(-12, "DLM:: Тег Bad содержит ошибку в строке роутинга."_cp), 1);
  EXPECT_EQ(drvtest::KernelLog().size(), 3u);
}

// Many tags, given out of key order and with repeated keys: the list is in
// the order of the keys' text, each key's first tag wins, the refusals are
// logged in kernel order, and loading the domain again refuses every tag.
TEST_F(TagTables, ManyTagsSortByKeyTextAndTheFirstOfAKeyWins) {
  const int32_t opc = Domain("OPC");
  std::vector<std::string> expectedLog;
  std::map<std::string, std::string> firstOfKey;
  for (int32_t i = 0; i < 400; ++i) {
    const int32_t device = (i * 7) % 13 - 1;  // -1 .. 11
    const int32_t address = (i * 31) % 150;
    const std::string name = "T" + std::to_string(i);
    const std::string key = "OPC:" + std::to_string(device) + "|" + std::to_string(address);
    Add(opc, Var(1000 + i, name, "OPC:DEVICE=" + std::to_string(device) + ";ADDRESS=" + std::to_string(address)));
    const auto [first, fresh] = firstOfKey.emplace(key, name);
    if (!fresh) expectedLog.push_back(name + "/" + first->second);
  }
  ASSERT_TRUE(list_.LoadDomain("OPC"));
  ASSERT_EQ(list_.Count(), static_cast<int32_t>(firstOfKey.size()));
  for (int32_t i = 1; i < list_.Count(); ++i)
    ASSERT_LT(platform::os::CompareStr(list_.At(i - 1)->Key(), list_.At(i)->Key()), 0) << i;
  for (int32_t i = 0; i < list_.Count(); ++i) {
    EXPECT_EQ(list_.At(i)->Name, firstOfKey[list_.At(i)->Key()]);
    const driver::TDRVVariable* byId = list_.FindById(list_.At(i)->Id);
    EXPECT_EQ(byId, list_.At(i));
  }
  const auto log = drvtest::KernelLog();
  ASSERT_EQ(log.size(), expectedLog.size());
  for (std::size_t k = 0; k < log.size(); ++k) {
    EXPECT_EQ(log[k].Code, -2);
    EXPECT_NE(std::string(log[k].Text).find("( " + expectedLog[k] + " )"), std::string::npos) << log[k].Text;
  }
  const int32_t count = list_.Count();
  ASSERT_TRUE(list_.LoadDomain("OPC"));
  EXPECT_EQ(list_.Count(), count);
  EXPECT_EQ(drvtest::KernelLog().size(), expectedLog.size() + 400);
}

TEST_F(TagTables, MissingDomainsAndEmptyPrefix) {
  Domain("opc");
  EXPECT_FALSE(list_.LoadDomain("OPC")) << "a domain named opc is not the domain OPC";
  EXPECT_FALSE(list_.LoadDomain("   "));
  EXPECT_EQ(list_.Count(), 0);
}

TEST_F(TagTables, IdIndexFollowsEveryLoad) {
  const int32_t opc = Domain("OPC");
  const int32_t abc = Domain("ABC");
  for (int32_t i = 0; i < 20; ++i) Add(opc, Var(100 + i, "O" + std::to_string(i), "OPC:DEVICE=5;ADDRESS=" + std::to_string(i)));
  for (int32_t i = 0; i < 20; ++i) Add(abc, Var(200 + i, "A" + std::to_string(i), "ABC:DEVICE=1;ADDRESS=" + std::to_string(i)));
  ASSERT_TRUE(list_.LoadDomain("OPC"));
  ASSERT_TRUE(list_.LoadDomain("ABC"));  // inserted before every OPC entry
  for (int32_t i = 0; i < 20; ++i) {
    ASSERT_NE(list_.FindById(100 + i), nullptr);
    EXPECT_EQ(list_.FindById(100 + i)->Name, "O" + std::to_string(i));
    ASSERT_NE(list_.FindById(200 + i), nullptr);
    EXPECT_EQ(list_.FindById(200 + i)->Name, "A" + std::to_string(i));
  }
}

TEST_F(TagTables, IndexIsRebuiltAfterALoadThatFailedHalfWay) {
  const int32_t opc = Domain("OPC");
  const int32_t abc = Domain("ABC");
  Add(opc, Var(1, "Late", "OPC:DEVICE=9;ADDRESS=9"));
  Add(abc, Var(2, "Early", "ABC:DEVICE=1;ADDRESS=1"));
  ASSERT_TRUE(list_.LoadDomain("OPC"));
  driver::TVLDomainInfo domain{};
  ASSERT_TRUE(driver::FindRoutingDomain("ABC", domain));
  domain.VariableCount += 1;  // the kernel refuses the read past its real count
  EXPECT_FALSE(list_.LoadDomainVariables(domain, "ABC"));
  ASSERT_EQ(list_.Count(), 2);
  ASSERT_NE(list_.FindById(1), nullptr);
  EXPECT_EQ(list_.FindById(1)->Name, "Late") << "the entry moved to position 1";
  ASSERT_NE(list_.FindById(2), nullptr);
  EXPECT_EQ(list_.FindById(2)->Name, "Early");
}

TEST_F(TagTables, ClearEmptiesListAndIndex) {
  const int32_t opc = Domain("OPC");
  Add(opc, Var(1, "A", "OPC:DEVICE=1;ADDRESS=1"));
  ASSERT_TRUE(list_.LoadDomain("OPC"));
  list_.Clear();
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_EQ(list_.FindById(1), nullptr);
}

}  // namespace
