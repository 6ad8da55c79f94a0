#include "driver/Devices.h"

#include "DriverTestSupport.h"

namespace {

using driver::TDevice;
using driver::TDeviceList;
using driver::TGeneralSettings;

const std::string kEsc = "\x1B";

TDevice FullDevice() {
  TDevice d;
  d.Name = "Насос";
  d.DeviceAddress = 7;
  d.OPCServerName = "Sim.Server.1";
  d.OPCInterface = 1;
  d.Prefix = "OPC";
  d.Description = "a=b";
  d.Precision = 3;
  d.Enabled = true;
  d.TagListName = "Pumps";
  d.LinkCtrlTagName = "LINK_1";
  d.ComandCtrlTagName = "CMD_1";
  return d;
}

TEST(DeviceSettingsLine, KeysInOrderWithEsc) {
  EXPECT_EQ(FullDevice().GetSettingsLine(),
            "Name=Насос" + kEsc + "DeviceAddress=7" + kEsc + "OPCServerName=Sim.Server.1" + kEsc + "OPCInterface=1" +
                kEsc + "Prefix=OPC" + kEsc + "Enabled=1" + kEsc + "Precision=3" + kEsc + "TagListName=Pumps" + kEsc +
                "Description=a=b" + kEsc + "LinkCtrlTagName=LINK_1" + kEsc + "ComandCtrlTagName=CMD_1");
}

TEST(DeviceSettingsLine, RoundTripKeepsAllFieldsButTrailingBlanks) {
  TDevice source = FullDevice();
  source.Name = "Pump  ";
  TDevice copy;
  ASSERT_TRUE(copy.SetSettingsLine(source.GetSettingsLine()));
  EXPECT_EQ(copy.Name, "Pump");
  EXPECT_EQ(copy.DeviceAddress, 7);
  EXPECT_EQ(copy.OPCServerName, "Sim.Server.1");
  EXPECT_EQ(copy.OPCInterface, 1);
  EXPECT_EQ(copy.Prefix, "OPC");
  EXPECT_EQ(copy.Description, "a=b") << "everything after the first = is the value";
  EXPECT_EQ(copy.Precision, 3);
  EXPECT_TRUE(copy.Enabled);
  EXPECT_EQ(copy.TagListName, "Pumps");
  EXPECT_EQ(copy.LinkCtrlTagName, "LINK_1");
  EXPECT_EQ(copy.ComandCtrlTagName, "CMD_1");

  TDevice assigned;
  assigned.Assign(&copy);
  EXPECT_EQ(assigned.GetSettingsLine(), copy.GetSettingsLine());
  assigned.Assign(nullptr);
  EXPECT_EQ(assigned.GetSettingsLine(), copy.GetSettingsLine());
}

TEST(DeviceSettingsLine, NumbersPrecisionAndEnabled) {
  TDevice d;
  ASSERT_TRUE(d.SetSettingsLine("Precision=12" + kEsc + "DeviceAddress=x" + kEsc + "OPCInterface=258"));
  EXPECT_EQ(d.Precision, 8);
  EXPECT_EQ(d.DeviceAddress, 0);
  EXPECT_EQ(d.OPCInterface, 2) << "the low byte";
  ASSERT_TRUE(d.SetSettingsLine("Precision=abc"));
  EXPECT_EQ(d.Precision, 1);
  ASSERT_TRUE(d.SetSettingsLine("Precision=-1"));
  EXPECT_EQ(d.Precision, 8) << "a negative value wraps and is clamped";
  EXPECT_FALSE(d.SetSettingsLine("Name=A" + kEsc + "Enabled=yes"));
  // A pair without "=" ends the parse; what was read stays.
  TDevice e;
  ASSERT_TRUE(e.SetSettingsLine("Name=B" + kEsc + "junk" + kEsc + "DeviceAddress=4"));
  EXPECT_EQ(e.Name, "B");
  EXPECT_EQ(e.DeviceAddress, 0);
  // Keys are case-sensitive; unknown keys are ignored.
  ASSERT_TRUE(e.SetSettingsLine("name=C" + kEsc + "Other=1" + kEsc + " LinkCtrlTagName = L1 "));
  EXPECT_EQ(e.Name, "B");
  EXPECT_EQ(e.LinkCtrlTagName, "L1");
}

TEST(DeviceSettingsLine, DefaultPrefixIsOPCWhateverListWasBuilt) {
  EXPECT_EQ(driver::CurrentPrefixList(), "OPC");
  EXPECT_EQ(TDevice().Prefix, "OPC");
  driver::SetPrefixList(":ABC::OPC:");
  EXPECT_EQ(TDevice().Prefix, "OPC");
  TDevice read;
  ASSERT_TRUE(read.SetSettingsLine("Name=N" + kEsc + "DeviceAddress=2"));
  EXPECT_EQ(read.Prefix, "OPC") << "a line without Prefix";
  EXPECT_EQ(TDevice().Precision, 1);
  driver::SetPrefixList("OPC");
}

class DeviceListIni : public ::testing::Test {
 protected:
  std::string Ini(const std::string& body) {
    const std::string path = dir_ / "Ferrowick_V30.ini";
    drvtest::WriteFile(path, "[OPCSRV]\r\n" + body);
    return path;
  }
  drvtest::TempDir dir_;
  TGeneralSettings settings_;
  TDeviceList list_;
};

TEST_F(DeviceListIni, NoFileKeepsValuesBeforeAnyRead) {
  EXPECT_FALSE(list_.LoadFromIni(dir_ / "missing.ini", "OPCSRV", settings_));
  EXPECT_EQ(settings_.CommandInterval.load(), 6000);
  EXPECT_EQ(settings_.CheckServerInterval.load(), 60);
  EXPECT_TRUE(settings_.AutoRunServer.load());
  EXPECT_FALSE(list_.LoadFromIni("", "OPCSRV", settings_));
  EXPECT_FALSE(list_.LoadFromIni(Ini("Device_Count=0\r\n"), "", settings_));
}

TEST_F(DeviceListIni, MissingKeysReadTheirDefaults) {
  settings_.AutoRunServer = false;
  EXPECT_TRUE(list_.LoadFromIni(Ini("Device_Count=0\r\n"), "OPCSRV", settings_));
  EXPECT_EQ(settings_.CommandInterval.load(), 3000);
  EXPECT_EQ(settings_.CheckServerInterval.load(), 60);
  EXPECT_TRUE(settings_.AutoRunServer.load());
  EXPECT_FALSE(settings_.LockErrorClass.load());
  EXPECT_FALSE(settings_.LockLOGFile.load());
  // Without Device_Count: False, but the general settings were read.
  EXPECT_FALSE(list_.LoadFromIni(Ini("Command Interval=abc\r\nError Manager=1\r\nLOG Manager=5\r\n"), "OPCSRV",
                                 settings_));
  EXPECT_EQ(settings_.CommandInterval.load(), 3000) << "not a number reads as the default";
  EXPECT_TRUE(settings_.LockErrorClass.load());
  EXPECT_TRUE(settings_.LockLOGFile.load());
}

TEST_F(DeviceListIni, IntervalsBelowOneReadAsOne) {
  ASSERT_TRUE(list_.LoadFromIni(Ini("Command Interval=0\r\nCheck Server Interval=-5\r\nDevice_Count=0\r\n"),
                                "OPCSRV", settings_));
  EXPECT_EQ(settings_.CommandInterval.load(), 1);
  EXPECT_EQ(settings_.CheckServerInterval.load(), 1);
  ASSERT_TRUE(list_.LoadFromIni(Ini("Command Interval=70000\r\nCheck Server Interval=3600\r\nDevice_Count=0\r\n"),
                                "OPCSRV", settings_));
  EXPECT_EQ(settings_.CommandInterval.load(), 70000);
  EXPECT_EQ(settings_.CheckServerInterval.load(), 3600);
}

TEST_F(DeviceListIni, BadOrMissingLineEmptiesTheList) {
  const std::string good = "Device_0=Name=A" + kEsc + "Prefix=OPC\r\n";
  EXPECT_TRUE(list_.LoadFromIni(Ini("Device_Count=1\r\n" + good), "OPCSRV", settings_));
  EXPECT_EQ(list_.Count(), 1);
  EXPECT_FALSE(list_.LoadFromIni(Ini("Device_Count=2\r\n" + good), "OPCSRV", settings_));
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_FALSE(list_.LoadFromIni(Ini("Device_Count=2\r\n" + good + "Device_1=Name=B" + kEsc + "Enabled=x\r\n"),
                                 "OPCSRV", settings_));
  EXPECT_EQ(list_.Count(), 0);
}

TEST_F(DeviceListIni, SaveThenLoadGivesTheSameDevices) {
  auto* a = new TDevice(FullDevice());
  auto* b = new TDevice(FullDevice());
  b->Name = "Second";
  b->Prefix = "abc";
  list_.Add(a);
  list_.Add(b);
  settings_.CommandInterval = 1500;
  settings_.LockLOGFile = true;
  const std::string path = Ini("Stale=1\r\n[Other]\r\nKeep=1\r\n");
  ASSERT_TRUE(list_.SaveToIni(path, "OPCSRV", settings_));
  const std::string text = drvtest::ReadFile(path);
  EXPECT_EQ(text.find("Stale"), std::string::npos) << "the section is erased first";
  EXPECT_NE(text.find("Keep=1"), std::string::npos);
  EXPECT_NE(text.find("Device_1=" + b->GetSettingsLine()), std::string::npos);

  TGeneralSettings read;
  TDeviceList loaded;
  ASSERT_TRUE(loaded.LoadFromIni(path, "OPCSRV", read));
  ASSERT_EQ(loaded.Count(), 2);
  EXPECT_EQ(loaded.GetDevice(1)->GetSettingsLine(), b->GetSettingsLine());
  EXPECT_EQ(loaded.GetDevice(2), nullptr);
  EXPECT_EQ(loaded.GetDevice(-1), nullptr);
  EXPECT_EQ(read.CommandInterval.load(), 1500);
  EXPECT_TRUE(read.LockLOGFile.load());
  EXPECT_FALSE(list_.SaveToIni("", "OPCSRV", settings_));
  EXPECT_FALSE(list_.SaveToIni(dir_ / "no/such/dir.ini", "OPCSRV", settings_));
}

TEST_F(DeviceListIni, FailedSaveLeavesTheFileAsItWas) {
  list_.Add(new TDevice(FullDevice()));
  auto* broken = new TDevice(FullDevice());
  broken->Description = "two\r\nlines";  // no settings line can hold it
  list_.Add(broken);
  const std::string path = Ini("Device_Count=1\r\nDevice_0=Name=Old\r\n[Other]\r\nKeep=1\r\n");
  const std::string before = drvtest::ReadFile(path);
  EXPECT_FALSE(list_.SaveToIni(path, "OPCSRV", settings_));
  EXPECT_EQ(drvtest::ReadFile(path), before);

  broken->Description = "one line";
  EXPECT_TRUE(list_.SaveToIni(path, "OPCSRV", settings_));
  TDeviceList loaded;
  ASSERT_TRUE(loaded.LoadFromIni(path, "OPCSRV", settings_));
  EXPECT_EQ(loaded.Count(), 2);
}

TEST_F(DeviceListIni, FindAndAssign) {
  auto* a = new TDevice(FullDevice());
  a->DeviceAddress = 3;
  auto* b = new TDevice(FullDevice());
  b->DeviceAddress = 3;
  b->Prefix = "ABC";
  list_.Add(a);
  list_.Add(b);
  EXPECT_EQ(list_.FindDevice("opc", 3), a);
  EXPECT_EQ(list_.FindDevice("abc", 3), b);
  EXPECT_EQ(list_.FindDevice("opc", 4), nullptr);
  TDeviceList copy;
  copy.Assign(&list_);
  copy.Assign(nullptr);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_NE(copy.GetDevice(0), a) << "copies, not the same objects";
  EXPECT_EQ(copy.GetDevice(1)->Prefix, "ABC");
}

}  // namespace
