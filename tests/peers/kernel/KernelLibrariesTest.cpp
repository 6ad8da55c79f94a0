#include "driver/Dlm_Libs.h"
#include "peers/kernel/KernelModel.h"
#include "platform/os/Text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace platform::os::literals;
using kernel::KernelModel;
using kernel::VariableSpec;

template <class T>
T ReadAt(const void* record, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
  return value;
}

class KernelLibraries : public ::testing::Test {
 protected:
  void SetUp() override { model().Reset(); }
  void TearDown() override { model().Reset(); }
  static KernelModel& model() { return KernelModel::Instance(); }
};

TEST_F(KernelLibraries, DomainRecordsByIndex) {
  const int32_t plant = model().AddDomain("OPC");
  model().AddDomain(std::string(300, 'D'));
  ASSERT_TRUE(model().AddVariable(plant, VariableSpec{7, "Level", "OPC:Level"}));
  ASSERT_EQ(VLGetRoutingDomainNum(), 2);

  driver::TVLDomainInfo info{};
  EXPECT_NE(VLGetRoutingDomainInfo(0, &info), 0) << "the size field must be 267";
  info.Size = driver::DomainInfoSize;
  ASSERT_EQ(VLGetRoutingDomainInfo(0, &info), 0);
  EXPECT_EQ(ReadAt<int32_t>(&info, 4), plant);
  EXPECT_STREQ(reinterpret_cast<const char*>(&info) + 8, "OPC");
  EXPECT_EQ(ReadAt<int32_t>(&info, 263), 1);
  ASSERT_EQ(VLGetRoutingDomainInfo(1, &info), 0);
  EXPECT_EQ(std::strlen(info.Name), 254u);
  EXPECT_NE(VLGetRoutingDomainInfo(2, &info), 0);
  EXPECT_NE(VLGetRoutingDomainInfo(-1, &info), 0);
}

TEST_F(KernelLibraries, VariableRecordFieldsAtTheirOffsets) {
  const int32_t domain = model().AddDomain("OPC");
  VariableSpec variable{42, std::string(60, 'N'), "OPC:DEVICE=1;ADDRESS=2", 12.5f, -1.0f, 99.0f, 0.5f, 10.0f};
  ASSERT_TRUE(model().AddVariable(domain, variable));
  EXPECT_FALSE(model().AddVariable(domain, variable)) << "Ids are unique";
  EXPECT_FALSE(model().AddVariable(17, VariableSpec{43, "X", "OPC:X"})) << "unknown domain";

  driver::TVLVariableInfo info{};
  int32_t out = -1;
  ASSERT_EQ(VLGetVariableInfoById(42, &out, &info), 0);
  EXPECT_EQ(ReadAt<int32_t>(&info, 0), 42);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&info) + 4), std::string(40, 'N'));
  EXPECT_STREQ(reinterpret_cast<const char*>(&info) + 45, "OPC:DEVICE=1;ADDRESS=2");
  EXPECT_EQ(ReadAt<float>(&info, 656), 12.5f);
  EXPECT_EQ(ReadAt<float>(&info, 664), -1.0f);
  EXPECT_EQ(ReadAt<float>(&info, 668), 99.0f);
  EXPECT_EQ(ReadAt<float>(&info, 680), 0.5f);
  EXPECT_EQ(ReadAt<float>(&info, 684), 10.0f);

  ASSERT_EQ(VLGetVariableInfoByDomainId(domain, 0, &info), 0);
  EXPECT_EQ(info.Id, 42);
  EXPECT_LT(VLGetVariableInfoByDomainId(domain, 1, &info), 0);
  EXPECT_LT(VLGetVariableInfoByDomainId(domain + 1, 0, &info), 0);
  EXPECT_NE(VLGetVariableInfoById(41, &out, &info), 0);

  // A forgotten variable is still listed by its domain, no longer found.
  ASSERT_TRUE(model().ForgetVariable(42));
  EXPECT_FALSE(model().ForgetVariable(42));
  EXPECT_NE(VLGetVariableInfoById(42, &out, &info), 0);
  EXPECT_NE(VLGetVariableInfoByName(std::string(40, 'N').c_str(), &out, &info), 0);
  ASSERT_EQ(VLGetVariableInfoByDomainId(domain, 0, &info), 0);
  EXPECT_EQ(info.Id, 42);
}

TEST_F(KernelLibraries, NamesIgnoreCaseByCp1251Rules) {
  ASSERT_TRUE(model().AddVariable(0, VariableSpec{5, std::string("Насос_Ё"_cp), ""}));
  driver::TVLVariableInfo info{};
  int32_t out = 0;
  EXPECT_EQ(VLGetVariableInfoByName(std::string("нАСОС_ё"_cp).c_str(), &out, &info), 0);
  EXPECT_EQ(info.Id, 5);
  EXPECT_NE(VLGetVariableInfoByName("pump", &out, &info), 0);
  EXPECT_NE(VLGetVariableInfoByName(std::string(41, 'x').c_str(), &out, &info), 0);
}

TEST_F(KernelLibraries, ProjectPathAndNavigator) {
  char buffer[driver::ProjectInfoSize];
  EXPECT_NE(PRGGetProjectInfo(buffer), 0);
  model().SetProjectDir("/tmp/project");
  ASSERT_EQ(PRGGetProjectInfo(buffer), 0);
  EXPECT_STREQ(buffer, "/tmp/project/");

  std::vector<std::string> seen;
  model().SetSinks(nullptr, [&](driver::HostWindowHandle parent, std::string_view current) {
    seen.push_back(std::to_string(parent) + ":" + std::string(current));
  }, nullptr);
  char name[driver::NavigatorNameSize] = "OLD";
  EXPECT_EQ(VLNavigatorDialog(5, name), 0);
  EXPECT_STREQ(name, "OLD");
  model().SetNavigatorAnswer("TANK1");
  EXPECT_NE(VLNavigatorDialog(6, name), 0);
  EXPECT_STREQ(name, "TANK1");
  model().SetNavigatorAnswer("");
  EXPECT_EQ(VLNavigatorDialog(7, name), 0);
  // A buffer without a terminator is read to its 256 bytes only.
  char full[driver::NavigatorNameSize + 8];
  std::memset(full, 'A', sizeof full);
  EXPECT_EQ(VLNavigatorDialog(8, full), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"5:OLD", "6:OLD", "7:TANK1", "8:" + std::string(256, 'A')}));
}

TEST_F(KernelLibraries, ConcurrentLogCallsKeepEveryItemWhole) {
  constexpr int kPerThread = 5000;
  auto writer = [](int32_t code) {
    for (int i = 0; i < kPerThread; ++i) {
      driver::TLogItem item{};
      std::snprintf(item.Source, sizeof item.Source, "OPCSRV");
      std::snprintf(item.Text, sizeof item.Text, "entry %d of %d", i, code);
      item.Code = code;
      item.Time = i;
      LLAddLogItem(item);
    }
  };
  std::thread a(writer, 1), b(writer, 2);
  a.join();
  b.join();
  const auto items = model().LogItems();
  ASSERT_EQ(items.size(), 2u * kPerThread);
  int next[3] = {0, 0, 0};
  for (const auto& item : items) {
    ASSERT_TRUE(item.Code == 1 || item.Code == 2);
    EXPECT_EQ(item.Time, next[item.Code]++);
    EXPECT_EQ(std::string(item.Text), "entry " + std::to_string(item.Time) + " of " + std::to_string(item.Code));
  }
}

TEST_F(KernelLibraries, ErrorBoxReachesItsSink) {
  std::string seen;
  model().SetSinks(nullptr, nullptr,
                   [&](driver::HostWindowHandle parent, std::string_view caption, std::string_view text,
                       int32_t flags) {
                     seen = std::to_string(parent) + "|" + std::string(caption) + "|" + std::string(text) + "|" +
                            std::to_string(flags);
                   });
  ErrorMessageExt(9, "Caption", "Message", 16);
  EXPECT_EQ(seen, "9|Caption|Message|16");
  ErrorMessageExt(0, nullptr, nullptr, 0);
  EXPECT_EQ(seen, "0|||0");
}

}  // namespace
