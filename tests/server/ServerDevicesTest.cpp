// The server's devices: settings line, settings file, look-ups, link state.

#include "server/ServerDevices.h"

#include "driver/SettingsLine.h"
#include "platform/os/Text.h"
#include "server/ServerData.h"
#include "server/ServerErrors.h"
#include "tests/server/ServerTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace platform::os::literals;
using server::TDevice;
using server::TDeviceList;

const char kEsc = '\x1B';

std::string Line(std::initializer_list<std::pair<std::string, std::string>> pairs) {
  std::string line;
  for (const auto& [key, value] : pairs) line = driver::AddSettingsPair(line, key, value);
  return line;
}

TEST(ServerDevice, Defaults) {
  const TDevice device;
  EXPECT_EQ(device.DeviceAddress, -1);
  EXPECT_EQ(device.Prefix, "OPC");
  EXPECT_EQ(device.Precision, 0);
  EXPECT_FALSE(device.Enabled);
  EXPECT_EQ(device.OPCInterface, 0);
  EXPECT_EQ(device.LinkState, 0);
  EXPECT_EQ(device.DeviceNumber, 0);
  ASSERT_NE(device.Items, nullptr);
  EXPECT_EQ(device.Items->Count(), 0);
}

TEST(ServerDevice, ReadsEveryKeyOfTheLine) {
  TDevice device;
  ASSERT_TRUE(device.SetSettingsLine(Line({{"Name", "Boiler 1"}, {"DeviceAddress", "7"},
                                           {"OPCServerName", "Sim.Server.1"}, {"OPCInterface", "1"},
                                           {"Prefix", "opc2"}, {"Enabled", "1"}, {"Precision", "3"},
                                           {"TagListName", "Boiler"}, {"Description", "a=b=c"},
                                           {"LinkCtrlTagName", "LINK"}, {"ComandCtrlTagName", "CMD"}})));
  EXPECT_EQ(device.Name, "Boiler 1");
  EXPECT_EQ(device.DeviceAddress, 7);
  EXPECT_EQ(device.OPCServerName, "Sim.Server.1");
  EXPECT_EQ(device.OPCInterface, 1);
  EXPECT_EQ(device.Prefix, "opc2");
  EXPECT_TRUE(device.Enabled);
  EXPECT_EQ(device.Precision, 3);
  EXPECT_EQ(device.TagListName, "Boiler");
  EXPECT_EQ(device.Description, "a=b=c");
  EXPECT_EQ(device.LinkCtrlTagName, "LINK");
  EXPECT_EQ(device.ComandCtrlTagName, "CMD");
}

TEST(ServerDevice, NumbersThatDoNotParse) {
  TDevice device;
  ASSERT_TRUE(device.SetSettingsLine(Line({{"DeviceAddress", "seven"}, {"Precision", "x"}, {"OPCInterface", "?"}})));
  EXPECT_EQ(device.DeviceAddress, -1);  // the driver reads 0 here
  EXPECT_EQ(device.Precision, 1);
  EXPECT_EQ(device.OPCInterface, 0);
}

TEST(ServerDevice, PrecisionHasNoUpperBoundAndInterfaceKeepsTheLowByte) {
  TDevice device;
  ASSERT_TRUE(device.SetSettingsLine(Line({{"Precision", "12"}, {"OPCInterface", "257"}})));
  EXPECT_EQ(device.Precision, 12);
  EXPECT_EQ(device.OPCInterface, 1);
  ASSERT_TRUE(device.SetSettingsLine(Line({{"Precision", "-1"}})));
  EXPECT_EQ(device.Precision, -1);
}

TEST(ServerDevice, EnabledMustBeAnInteger) {
  TDevice device;
  EXPECT_FALSE(device.SetSettingsLine(Line({{"Name", "A"}, {"Enabled", "yes"}, {"Prefix", "P"}})));
  EXPECT_EQ(device.Name, "A");
  EXPECT_EQ(device.Prefix, "OPC");
  EXPECT_TRUE(device.SetSettingsLine(Line({{"Enabled", "$10"}})));
  EXPECT_TRUE(device.Enabled);
  EXPECT_TRUE(device.SetSettingsLine(Line({{"Enabled", "0"}})));
  EXPECT_FALSE(device.Enabled);
}

TEST(ServerDevice, KeysAreCaseSensitiveAndUnknownOnesIgnored) {
  TDevice device;
  ASSERT_TRUE(device.SetSettingsLine(Line({{"name", "lower"}, {"Colour", "red"}, {"Name", "Upper"}})));
  EXPECT_EQ(device.Name, "Upper");
}

TEST(ServerDevice, APairWithoutEqualsEndsTheLineSuccessfully) {
  TDevice device;
  const std::string line = "Name=A" + std::string(1, kEsc) + "broken" + std::string(1, kEsc) + "Prefix=B";
  EXPECT_TRUE(device.SetSettingsLine(line));
  EXPECT_EQ(device.Name, "A");
  EXPECT_EQ(device.Prefix, "OPC");
}

TEST(ServerDevice, ControlTagNamesAreTrimmed) {
  TDevice device;
  const std::string line = "LinkCtrlTagName=\t LINK\x01" + std::string(1, kEsc) + "Name=N";
  ASSERT_TRUE(device.SetSettingsLine(line));
  EXPECT_EQ(device.LinkCtrlTagName, "LINK");
}

TEST(ServerDevice, AssignCopiesSettingsAndNumberOnly) {
  TDevice source;
  ASSERT_TRUE(source.SetSettingsLine(Line({{"Name", "S"}, {"DeviceAddress", "3"}, {"Enabled", "1"},
                                           {"Precision", "2"}, {"ComandCtrlTagName", "C"}})));
  source.DeviceNumber = 5;
  source.LinkState = 1;
  source.Items->Add(new server::TOPCVariableIndexItem);
  TDevice copy;
  copy.Assign(&source);
  copy.Assign(nullptr);
  EXPECT_EQ(copy.Name, "S");
  EXPECT_EQ(copy.DeviceAddress, 3);
  EXPECT_TRUE(copy.Enabled);
  EXPECT_EQ(copy.Precision, 2);
  EXPECT_EQ(copy.ComandCtrlTagName, "C");
  EXPECT_EQ(copy.DeviceNumber, 5);
  EXPECT_EQ(copy.LinkState, 0);
  EXPECT_EQ(copy.Items->Count(), 0);
}

// ------------------------------------------------------------ settings file

class ServerDeviceList : public server_test::ServerTest {
 protected:
  std::string Ini(const std::string& body) { return folder_.Write("Ferrowick_V30.ini", body); }
  static std::string DeviceLine(const std::string& name, int address, const std::string& prefix = "OPC") {
    return Line({{"Name", name}, {"DeviceAddress", std::to_string(address)}, {"Prefix", prefix},
                 {"Enabled", "1"}});
  }
  server_test::TempFolder folder_;
};

TEST_F(ServerDeviceList, LoadsDevicesWithTheirNumbers) {
  const std::string path = Ini("[OPCSRV]\r\nError Manager=1\r\nLOG Manager=0\r\nDevice_Count=2\r\nDevice_0=" +
                               DeviceLine("A", 1) + "\r\nDevice_1=" + DeviceLine("B", 2) + "\r\n");
  TDeviceList list;
  ASSERT_TRUE(list.LoadFromIni(path, "OPCSRV"));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetDevice(0)->Name, "A");
  EXPECT_EQ(list.GetDevice(0)->DeviceNumber, 0);
  EXPECT_EQ(list.GetDevice(1)->Name, "B");
  EXPECT_EQ(list.GetDevice(1)->DeviceNumber, 1);
  EXPECT_EQ(list.GetDevice(2), nullptr);
  EXPECT_EQ(list.GetDevice(-1), nullptr);
  EXPECT_TRUE(list.ErrorManager);
  EXPECT_FALSE(list.LogManager);
}

TEST_F(ServerDeviceList, AMissingDeviceKeyEmptiesTheList) {
  const std::string path = Ini("[OPCSRV]\r\nDevice_Count=3\r\nDevice_0=" + DeviceLine("A", 1) +
                               "\r\nDevice_2=" + DeviceLine("C", 3) + "\r\n");
  TDeviceList list;
  EXPECT_FALSE(list.LoadFromIni(path, "OPCSRV"));
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(ServerDeviceList, ARefusedLineEmptiesTheList) {
  const std::string path = Ini("[OPCSRV]\r\nDevice_Count=2\r\nDevice_0=" + DeviceLine("A", 1) +
                               "\r\nDevice_1=" + Line({{"Name", "B"}, {"Enabled", "on"}}) + "\r\n");
  TDeviceList list;
  EXPECT_FALSE(list.LoadFromIni(path, "OPCSRV"));
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(ServerDeviceList, MissingFileSectionOrCountGiveFalseAndAnEmptyList) {
  TDeviceList list;
  const std::string good = Ini("[OPCSRV]\r\nDevice_Count=1\r\nDevice_0=" + DeviceLine("A", 1) + "\r\n");
  ASSERT_TRUE(list.LoadFromIni(good, "OPCSRV"));
  EXPECT_FALSE(list.LoadFromIni(folder_.Path() + "/missing.ini", "OPCSRV"));
  EXPECT_EQ(list.Count(), 0);
  ASSERT_TRUE(list.LoadFromIni(good, "OPCSRV"));
  EXPECT_FALSE(list.LoadFromIni("", "OPCSRV"));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.LoadFromIni(good, ""));
  EXPECT_FALSE(list.LoadFromIni(good, "OTHER"));
  const std::string noCount = folder_.Write("nocount.ini", "[OPCSRV]\r\nDevice_0=" + DeviceLine("A", 1) + "\r\n");
  EXPECT_FALSE(list.LoadFromIni(noCount, "OPCSRV"));
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(ServerDeviceList, CountsThatAreNoPositiveNumberLoadNothing) {
  TDeviceList list;
  for (const char* count : {"0", "-5", "many"}) {
    const std::string path = Ini(std::string("[OPCSRV]\r\nDevice_Count=") + count + "\r\n");
    EXPECT_TRUE(list.LoadFromIni(path, "OPCSRV")) << count;
    EXPECT_EQ(list.Count(), 0);
  }
}

TEST_F(ServerDeviceList, FindDeviceIgnoresPrefixCase) {
  TDeviceList list;
  const std::string path = Ini("[OPCSRV]\r\nDevice_Count=3\r\nDevice_0=" + DeviceLine("A", 1, "OPC") +
                               "\r\nDevice_1=" + DeviceLine("B", 2, std::string("ОПС"_cp)) +
                               "\r\nDevice_2=" + DeviceLine("C", 1, "opc") + "\r\n");
  ASSERT_TRUE(list.LoadFromIni(path, "OPCSRV"));
  EXPECT_EQ(list.FindDevice("opc", 1)->Name, "A");  // the first match
  EXPECT_EQ(list.FindDevice("опс"_cp, 2)->Name, "B");
  EXPECT_EQ(list.FindDevice("OPC", 2), nullptr);
  EXPECT_EQ(list.FindDevice("OPC", -1), nullptr);
}

TEST_F(ServerDeviceList, AssignAppendsCopies) {
  TDeviceList list;
  ASSERT_TRUE(list.LoadFromIni(Ini("[OPCSRV]\r\nDevice_Count=2\r\nDevice_0=" + DeviceLine("A", 1) +
                                   "\r\nDevice_1=" + DeviceLine("B", 2) + "\r\n"),
                               "OPCSRV"));
  TDeviceList copy;
  copy.Assign(&list);
  copy.Assign(nullptr);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_NE(copy.GetDevice(0), list.GetDevice(0));
  EXPECT_EQ(copy.GetDevice(1)->Name, "B");
  EXPECT_EQ(copy.GetDevice(1)->DeviceNumber, 1);
}

// ------------------------------------------------------------ command batch

class CommandDevice : public server_test::ServerTest {
 protected:
  void SetUp() override {
    OpenSection();
    ASSERT_TRUE(list_.LoadFromIni(
        folder_.Write("f.ini", "[OPCSRV]\r\nDevice_Count=2\r\nDevice_0=" +
                                   Line({{"DeviceAddress", "1"}, {"Prefix", "OPC"}, {"Enabled", "1"}}) +
                                   "\r\nDevice_1=" +
                                   Line({{"DeviceAddress", "2"}, {"Prefix", "Dom"}, {"Enabled", "0"}}) + "\r\n"),
        "OPCSRV"));
  }
  void Commit(std::int32_t id, const std::string& name) {
    exchange::TSharedCommand command{};
    command.Id = 1;
    ASSERT_TRUE(driver_->Commands()->Add(command));
    driver_->Commands()->SetId(id);
    driver_->Commands()->SetName(name);
    ASSERT_TRUE(driver_->Commands()->Commit());
  }
  server_test::TempFolder folder_;
  TDeviceList list_;
};

TEST_F(CommandDevice, FindsTheDeviceOfACommittedBatch) {
  EXPECT_EQ(list_.FindCommandDevice(), -1);  // empty batch
  Commit(2, "dom");
  EXPECT_EQ(list_.FindCommandDevice(), 1);  // name without case, device locked or not
  driver_->Commands()->SetReady(2);
  EXPECT_EQ(list_.FindCommandDevice(), -1);
}

TEST_F(CommandDevice, NoDeviceForTheBatchOrNoSection) {
  Commit(3, "OPC");
  EXPECT_EQ(list_.FindCommandDevice(), -1);
  server::Intercom.reset();
  EXPECT_EQ(list_.FindCommandDevice(), -1);
}

// ------------------------------------------------------------ link state

class LinkState : public server_test::ServerTest {
 protected:
  void SetUp() override {
    OpenSection();
    ASSERT_TRUE(driver_->DynemicVariables()->AddOrUpdate("LINK", false, 5.0f, 0.0));
    device_.OPCServerName = "Sim.Server.1";
    device_.LinkCtrlTagName = "link";
  }
  float Link() const {
    exchange::TDynemicItem item{};
    EXPECT_TRUE(driver_->DynemicVariables()->GetItem(0, item));
    return item.Value;
  }
  void SetLink(float value) { ASSERT_TRUE(driver_->DynemicVariables()->AddOrUpdate("LINK", true, value, 0.0)); }
  TDevice device_;
};

TEST_F(LinkState, WrittenOnTransitionsOnly) {
  device_.SetLinkState(false);  // a first connection that failed
  EXPECT_EQ(Link(), 5.0f);
  device_.SetLinkState(true);
  EXPECT_EQ(Link(), 0.0f);
  EXPECT_EQ(device_.LinkState, 1);
  SetLink(7.0f);
  device_.SetLinkState(true);
  EXPECT_EQ(Link(), 7.0f);
  device_.SetLinkState(false);
  EXPECT_EQ(Link(), 1.0f);
  EXPECT_EQ(device_.LinkState, 0);
}

TEST_F(LinkState, AnUnknownOrEmptyNameAddsNoVariable) {
  device_.LinkCtrlTagName = "OTHER";
  device_.SetLinkState(true);
  device_.LinkCtrlTagName.clear();
  device_.SetLinkState(false);
  EXPECT_EQ(driver_->DynemicVariables()->Count(), 1);
  EXPECT_EQ(Link(), 5.0f);
  EXPECT_FALSE(device_.WriteDynamicVariable("OTHER", 1.0f));
  server::Intercom.reset();
  EXPECT_FALSE(device_.WriteDynamicVariable("LINK", 1.0f));
}

TEST_F(LinkState, ShutdownNoticeDropsTheLinkAndReports) {
  device_.SetLinkState(true);
  device_.OnServerShutdown();
  EXPECT_EQ(Link(), 1.0f);
  const exchange::TServerErrorBlock block = Errors();
  ASSERT_EQ(block.Count, 1);
  EXPECT_EQ(block.Entries[0].Code, -34);
  EXPECT_EQ(server_test::EntryText(block.Entries[0]), "Sim.Server.1 " + std::string("OPC сервер выгружен."_cp));
}

}  // namespace
