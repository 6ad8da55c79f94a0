// The setup dialog through halvorsten-host and the real driver module, as a
// kernel's user meets it: `dialog` lines fill and click the form while
// DLMSetupDeviceDrv runs. The settings file it writes then drives a full
// initialisation against a simulated OPC server.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/os/Text.h"
#include "tests/e2e/E2eSupport.h"

namespace {

using namespace e2e;
using namespace platform::os::literals;

constexpr const char* kProgId = "Setup.Plant";
const std::string kEsc = "\x1B";

const char* const kDescription =
    "<OPC_Description>\r\n"
    " <device name=\"Plant\"><tagstlist>"
    "<opctag name=\"Plant.Level\" type=\"float\" proc=\"value\" hvaddress=\"1\"/></tagstlist></device>\r\n"
    "</OPC_Description>\r\n";

const char* const kGeneral = "Command Interval=3000\r\nAuto Run Server=0\r\nCheck Server Interval=60\r\n";

class SetupHost : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(plant_.Folder().Path().empty()); }
  void TearDown() override {
    host_.Kill();
    plant_.Remember(server_);
  }

  // The host with the project's variables and the driver initialised.
  // Callers wrap it in ASSERT_NO_FATAL_FAILURE.
  void Start(const std::string& initOptions) {
    ASSERT_TRUE(host_.Start());
    host_.Send("project " + plant_.ProjectDir());
    host_.Send("var 901 LINK -");
    host_.Send("domain OPC");
    host_.Send("var 101 LEVEL \"OPC:DEVICE=5;ADDRESS=1\"");
    host_.Send("init " + plant_.DriverDir() + initOptions);
    ASSERT_TRUE(host_.ExpectPrefix("result DLMInitDeviceDrv 0")) << host_.Errors();
  }

  void Dialog(const std::string& action) { host_.Send("dialog FerrowickSetupDlg " + action); }

  std::string Ini() const { return ReadFile(plant_.DriverDir() + "/Ferrowick_V30.ini"); }

  Plant plant_;
  Host host_;
  pid_t server_ = 0;
};

// Configuration-only mode: the messages of a blank OPC server name and the
// navigator, each with the dialog as parent, and OK right after them.
TEST_F(SetupHost, MessagesAndNavigatorInConfigurationOnlyMode) {
  plant_.WriteDriverFiles(kGeneral, {DeviceLine("Plant", 5, kProgId, "OPC", "Plant", "", "")}, kDescription);
  ASSERT_NO_FATAL_FAILURE(Start(" config-only"));
  Dialog("fill OPCServerNameEdit \"  \"");
  Dialog("click ReplaceBitBtn");
  Dialog("click AddBitBtn");
  Dialog("show DevicesListBox");
  Dialog("tab SettingPageControl 1");
  Dialog("fill VarLinkControlEdit \"  LINK_1  \"");
  Dialog("click VarSelectButton");
  Dialog("show VarLinkControlEdit");
  Dialog("click VarSelectButton");
  Dialog("show VarLinkControlEdit");
  Dialog("click OkBitBtn");
  host_.Send("navigator LINK_2");
  host_.Send("setup");

  const std::string errorBox =
      "errorbox caption=\"Ошибка\" text=\"Вы должны определить имя OPC сервера.\" flags=0 parent=dialog";
  EXPECT_TRUE(host_.Expect([&](const std::string& l) { return l == errorBox; })) << host_.Errors();
  EXPECT_TRUE(host_.Expect([&](const std::string& l) { return l == errorBox; }));
  EXPECT_TRUE(host_.ExpectPrefix("shown FerrowickSetupDlg.DevicesListBox \"Plant\""));
  EXPECT_TRUE(host_.ExpectPrefix("navigator current=\"LINK_1\" parent=dialog"));
  EXPECT_TRUE(host_.ExpectPrefix("shown FerrowickSetupDlg.VarLinkControlEdit \"LINK_2\""));
  EXPECT_TRUE(host_.ExpectPrefix("navigator current=\"LINK_2\" parent=dialog"));
  EXPECT_TRUE(host_.ExpectPrefix("shown FerrowickSetupDlg.VarLinkControlEdit \"LINK_2\""))
      << "navigator answers are used once; a cancel keeps the edit";
  EXPECT_TRUE(host_.ExpectPrefix("result DLMSetupDeviceDrv 1"));
  const std::string kept = "Device_0=Name=Plant" + kEsc + "DeviceAddress=5" + kEsc + "OPCServerName=Setup.Plant" +
                           kEsc + "OPCInterface=0" + kEsc + "Prefix=OPC" + kEsc + "Enabled=1" + kEsc + "Precision=2" +
                           kEsc + "TagListName=Plant" + kEsc + "Description=" + kEsc + "LinkCtrlTagName=" + kEsc +
                           "ComandCtrlTagName=\r\n";
  EXPECT_NE(Ini().find(kept), std::string::npos) << "OK without apply keeps the device:\n" << Ini();
  EXPECT_EQ(host_.Finish(), 0) << host_.Errors();
}

// "..." runs the browser's own queued lines inside the setup dialog; the
// ProgID picked there replaces the server name.
TEST_F(SetupHost, TheBrowserRunsNestedInTheDialog) {
  ASSERT_EQ(plant_.Register("Setup.Boiler", "Boiler.Level R4 const 1\n"), 0);
  ASSERT_EQ(plant_.Register(kProgId, "Plant.Level R4 const 1.5\n"), 0);
  plant_.WriteDriverFiles(kGeneral, {DeviceLine("Plant", 5, "Old.Server", "OPC", "Plant", "", "")}, kDescription);
  ASSERT_NO_FATAL_FAILURE(Start(" config-only"));
  Dialog("click OPCServerBrouserButton");
  host_.Send("dialog OPCServerBrowser show OPCServersListBox");
  host_.Send("dialog OPCServerBrowser select OPCServersListBox 1");
  host_.Send("dialog OPCServerBrowser click OkBitBtn");
  Dialog("show OPCServerNameEdit");
  Dialog("click sBitBtn1");
  host_.Send("setup");

  EXPECT_TRUE(host_.ExpectPrefix("dialog FerrowickSetupDlg caption=")) << host_.Errors();
  EXPECT_TRUE(host_.ExpectPrefix("dialog OPCServerBrowser caption=\"Просмотр зарегистрированных OPC серверов...\""));
  EXPECT_TRUE(host_.ExpectPrefix("shown OPCServerBrowser.OPCServersListBox \"Setup.Boiler\\r\\nSetup.Plant\""));
  EXPECT_TRUE(host_.ExpectPrefix("shown FerrowickSetupDlg.OPCServerNameEdit \"Setup.Plant\""));
  EXPECT_TRUE(host_.ExpectPrefix("result DLMSetupDeviceDrv 0"));
  EXPECT_EQ(host_.Finish(), 0) << host_.Errors();
}

// A device added with every field set is written in full, and the next
// initialisation serves it: its value reaches the kernel.
TEST_F(SetupHost, AnAddedDeviceIsWrittenAndServedAfterTheNextInit) {
  ASSERT_EQ(plant_.Register(kProgId, "Plant.Level R4 const 1.5\n"), 0);
  plant_.WriteDriverFiles(kGeneral, {}, kDescription);
  ASSERT_NO_FATAL_FAILURE(Start(" config-only"));
  Dialog("fill DeviceNameEdit \"Plant\"");
  Dialog("fill DescriptionMemo \"Линия 1\"");
  Dialog("fill OPCServerNameEdit \" Setup.Plant \"");
  Dialog("select InterfaceComboBox 1");
  Dialog("fill PrefixEdit \"OPC\"");
  Dialog("fill LogAddressSpinEdit \"5\"");
  Dialog("fill PricisionSpinEdit \"3\"");
  Dialog("select EDDComboBox 0");
  Dialog("check DeviceEnabledCheckBox off");
  Dialog("tab SettingPageControl 1");
  Dialog("fill VarLinkControlEdit \"LINK\"");
  Dialog("fill CommandCtrlTagNameEdit \" CMD \"");
  Dialog("click AddBitBtn");
  Dialog("tab PageControl 1");
  Dialog("fill CommandIntervalSpinEdit \"2500\"");
  Dialog("check AutoRunServerCheckBox on");
  Dialog("fill CheckServerTimeSpinEdit \"30\"");
  Dialog("check LockLOGFileCheckBox on");
  Dialog("click OkBitBtn");
  host_.Send("setup");
  ASSERT_TRUE(host_.ExpectPrefix("result DLMSetupDeviceDrv 1")) << host_.Errors();

  const std::string line = "Device_0=Name=Plant" + kEsc + "DeviceAddress=5" + kEsc + "OPCServerName=Setup.Plant" +
                           kEsc + "OPCInterface=1" + kEsc + "Prefix=OPC" + kEsc + "Enabled=1" + kEsc + "Precision=3" +
                           kEsc + "TagListName=Plant" + kEsc + "Description=" + std::string("Линия 1"_cp) + kEsc +
                           "LinkCtrlTagName=LINK" + kEsc + "ComandCtrlTagName=CMD\r\n";
  const std::string ini = Ini();
  EXPECT_EQ(ini,
            "[OPCSRV]\r\nError Manager=0\r\nLOG Manager=1\r\nCommand Interval=2500\r\nAuto Run Server=1\r\n"
            "Check Server Interval=30\r\nDevice_Count=1\r\n" +
                line);

  host_.Send("done");
  ASSERT_TRUE(host_.ExpectPrefix("result DLMDoneDeviceDrv 0"));
  host_.Send("init " + plant_.DriverDir());
  ASSERT_TRUE(host_.ExpectPrefix("result DLMInitDeviceDrv 0")) << host_.Errors();
  host_.Send("run");
  ASSERT_TRUE(host_.ExpectPrefix("result DLMRunDeviceDrv 0"));
  // The driver's thread runs from the initialisation on: the value may
  // come before the run's result.
  EXPECT_TRUE(host_.Seen(ValueLine(101, 1.5f))) << "no value from the OPC server";
  EXPECT_TRUE(host_.Seen(ValueLine(901, 0.0f))) << "link up";
  server_ = host_.ServerPid();
  plant_.Remember(server_);
  host_.Send("stop");
  EXPECT_TRUE(host_.ExpectPrefix("result DLMStopDeviceDrv 0"));
  host_.Send("done");
  EXPECT_TRUE(host_.ExpectPrefix("result DLMDoneDeviceDrv 0"));
  EXPECT_TRUE(WaitEnded(server_)) << "the server still runs";
  EXPECT_EQ(host_.Finish(), 0) << host_.Errors();
  EXPECT_EQ(plant_.SharedMemoryLeft(), std::vector<std::string>{});
}

}  // namespace
