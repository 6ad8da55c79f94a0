// The device setup dialog through DLMSetupDeviceDrv's body, the driver
// initialised in configuration-only mode from a settings file and a
// description file of the test's own. A user drives the dialog through the
// headless driver; the results are read from the driver's device list,
// its general settings and the settings file.

#include "driver_dialogs/Ferrowick_Setup.h"

#include "driver/Devices.h"
#include "driver/DriverModule.h"
#include "platform/os/Text.h"
#include "platform/ui/Headless.h"
#include "tests/driver/DriverTestSupport.h"
#include "tests/driver_dialogs/DialogRegistry.h"
#include "tests/driver_dialogs/KernelDialogs.h"
#include "tests/skin/HintTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace ui = platform::ui;
namespace fs = std::filesystem;
using driver::TDevice;
using driver::TDeviceList;
using driver_dialogs::TFerrowickSetupDlg;
using namespace platform::os::literals;
using Driver = ui::THeadlessDriver;
using dialogtest::Kernel;

constexpr driver::HostWindowHandle kHostWindow = 0;
const std::string kEsc = "\x1B";

const char kDescription[] =
    "<OPC_Description>\r\n"
    " <device name=\"Mixer\"><tagstlist>"
    "<opctag name=\"M.Speed\" type=\"float\" proc=\"value\" hvaddress=\"1\"/></tagstlist></device>\r\n"
    " <device name=\"Boiler\"><tagstlist>"
    "<opctag name=\"B.Level\" type=\"float\" proc=\"value\" hvaddress=\"1\"/></tagstlist></device>\r\n"
    "</OPC_Description>\r\n";

struct Globals {
  bool LockErrorClass = false;
  bool LockLOGFile = false;
  int32_t CommandInterval = 3000;
  bool AutoRunServer = true;
  int32_t CheckServerInterval = 60;
  bool operator==(const Globals&) const = default;
};

TDevice MakeDevice(std::string name, int32_t address, std::string server, std::string tagList = "Boiler") {
  TDevice d;
  d.Name = std::move(name);
  d.DeviceAddress = address;
  d.OPCServerName = std::move(server);
  d.Prefix = "OPC";
  d.TagListName = std::move(tagList);
  d.Enabled = true;
  return d;
}

std::vector<std::string> Lines(const TDeviceList& list) {
  std::vector<std::string> lines;
  for (int32_t i = 0; i < list.Count(); ++i) lines.push_back(list.GetDevice(i)->GetSettingsLine());
  return lines;
}

std::vector<std::string> DriverLines() {
  return driver::DeviceListGuard()->With([](const TDeviceList& list) { return Lines(list); });
}

TDevice DriverDevice(int32_t index) {
  return driver::DeviceListGuard()->With([index](const TDeviceList& list) {
    TDevice copy;
    copy.Assign(list.GetDevice(index));
    return copy;
  });
}

Globals Read(const driver::TGeneralSettings& s) {
  return {s.LockErrorClass, s.LockLOGFile, s.CommandInterval, s.AutoRunServer, s.CheckServerInterval};
}

std::string Shown(ui::TControl* control) { return Driver::Shown(control); }

// Waits up to limit for condition.
bool Eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

class SetupDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("FERROWICK_UI", "headless", 1);
    Driver::Reset();
    Driver::SetModalTimeout(10000);
    dialogtest::ResetKernelDialogs();
    kernel::KernelModel::Instance().Reset();
    kernel::KernelModel::Instance().SetProjectDir(dir_.Path().string());
    drvtest::WriteFile(dir_ / "Ferrowick_V30.edd", kDescription);
  }
  void TearDown() override {
    driver::DoneDeviceDrv();
    Driver::Reset();
    ::unsetenv("FERROWICK_REGISTRY_DIR");
  }

  std::string IniFile() const { return dir_ / "Ferrowick_V30.ini"; }

  // Writes the settings file and initialises the driver in
  // configuration-only mode from it.
  void Init(const std::vector<TDevice>& devices, const Globals& globals = {}) {
    TDeviceList list;
    for (const TDevice& d : devices) {
      auto* copy = new TDevice();
      copy->Assign(&d);
      list.Add(copy);
    }
    driver::TGeneralSettings settings;
    settings.LockErrorClass = globals.LockErrorClass;
    settings.LockLOGFile = globals.LockLOGFile;
    settings.CommandInterval = globals.CommandInterval;
    settings.AutoRunServer = globals.AutoRunServer;
    settings.CheckServerInterval = globals.CheckServerInterval;
    ASSERT_TRUE(list.SaveToIni(IniFile(), "OPCSRV", settings));
    driver::TDrvInitRecord record{};
    record.ConfigOnly = 1;
    const std::string dir = dir_.Path().string();
    std::memcpy(record.DriverDir, dir.data(), dir.size());
    ASSERT_EQ(driver::InitDeviceDrv(record), 0);
    ASSERT_TRUE(driver::IsDriverInitialized());
  }

  // DLMSetupDeviceDrv with a user acting on the dialog once it shows.
  int32_t RunSetup(std::function<void(TFerrowickSetupDlg&)> user) {
    int shown = 0;
    Driver::AnswerNextModal([&](ui::TCustomForm& form) {
      auto* dialog = dynamic_cast<TFerrowickSetupDlg*>(&form);
      ASSERT_NE(dialog, nullptr) << form.Name();
      ++shown;
      handle_ = dialog->Handle();
      user(*dialog);
    });
    const int32_t result = driver::SetupDeviceDrv(kHostWindow);
    EXPECT_EQ(shown, 1);
    return result;
  }

  // The dialog's window while it showed.
  driver::HostWindowHandle handle_ = 0;

 private:
  drvtest::TempDir dir_;
};

TEST_F(SetupDialog, OpensOnTheDriversDevicesAndSettings) {
  TDevice pump = MakeDevice("Pump", 7, "Sim.Pump.1", "Mixer");
  pump.Description = "Main pump";
  pump.OPCInterface = 5;  // any non-zero value is the callback
  pump.Prefix = "abc";
  pump.Precision = 3;
  pump.LinkCtrlTagName = "LINK_1";
  pump.ComandCtrlTagName = "CMD_1";
  TDevice boiler = MakeDevice("Boiler", 2, "Sim.Boiler.1");
  boiler.Enabled = false;
  Init({pump, boiler}, {true, false, 1500, false, 30});

  EXPECT_EQ(RunSetup([](TFerrowickSetupDlg& d) {
              EXPECT_EQ(d.Caption(), "Драйвер поддержки технологии OPC. Версия 3.0"_cp);
              EXPECT_EQ(Shown(d.DevicesListBox), "Pump\r\nBoiler\r\n");
              EXPECT_EQ(d.DevicesListBox->ItemIndex(), 0);
              EXPECT_EQ(Shown(d.EDDComboBox), "Mixer");
              EXPECT_EQ(d.EDDComboBox->ItemIndex(), 1) << "the description file's devices in its sorted order";
              const std::vector<std::pair<ui::TControl*, std::string>> pumpShown = {
                  {d.DeviceNameEdit, "Pump"},
                  {d.DescriptionMemo, "Main pump\r\n"},
                  {d.OPCServerNameEdit, "Sim.Pump.1"},
                  {d.InterfaceComboBox, std::string("Функция обратного вызова (IOPCDataCallback)"_cp)},
                  {d.PrefixEdit, "abc"},
                  {d.LogAddressSpinEdit, "7"},
                  {d.PricisionSpinEdit, "3"},
                  {d.DeviceEnabledCheckBox, std::string("[ ] Блокировка устройства"_cp)},
                  {d.VarLinkControlEdit, "LINK_1"},
                  {d.CommandCtrlTagNameEdit, "CMD_1"},
                  {d.LockErrorClassCheckBox, std::string("[x] Запретить запись в журнал"_cp)},
                  {d.LockLOGFileCheckBox, std::string("[ ] Запретить запись в LOG файл"_cp)},
                  {d.CommandIntervalSpinEdit, "1500"},
                  {d.AutoRunServerCheckBox, std::string("[ ] Автоматический запуск сервера"_cp)},
                  {d.CheckServerTimeSpinEdit, "30"},
              };
              for (const auto& [control, text] : pumpShown) EXPECT_EQ(Shown(control), text) << control->Name();

              Driver::SelectItem(d.DevicesListBox, 1);
              EXPECT_EQ(Shown(d.DeviceNameEdit), "Boiler");
              EXPECT_EQ(Shown(d.EDDComboBox), "Boiler");
              EXPECT_EQ(d.InterfaceComboBox->ItemIndex(), 0);
              EXPECT_TRUE(d.DeviceEnabledCheckBox->Checked()) << "a locked device";
              Driver::Click(d.sBitBtn1);
            }),
            0);
}

TEST_F(SetupDialog, BlankServerNameIsRefusedOnApplyAndOnAdd) {
  Init({MakeDevice("Pump", 7, "Sim.Pump.1")});
  const std::vector<std::string> before = DriverLines();

  EXPECT_EQ(RunSetup([](TFerrowickSetupDlg& d) {
              Driver::Fill(d.DeviceNameEdit, "Other");
              Driver::Fill(d.OPCServerNameEdit, "   ");
              Driver::Click(d.ReplaceBitBtn);
              EXPECT_EQ(Shown(d.DevicesListBox), "Pump\r\n");
              Driver::Click(d.AddBitBtn);
              EXPECT_EQ(Shown(d.DevicesListBox), "Pump\r\n");
              Driver::Click(d.OkBitBtn);
            }),
            1);

  ASSERT_EQ(Kernel().ErrorBoxes.size(), 2u);
  for (const dialogtest::ErrorBox& box : Kernel().ErrorBoxes) {
    EXPECT_EQ(box.Caption, "Ошибка"_cp);
    EXPECT_EQ(box.Message, "Вы должны определить имя OPC сервера."_cp);
    EXPECT_EQ(box.Flags, 0);
    EXPECT_NE(box.Parent, 0u);
    EXPECT_EQ(box.Parent, handle_) << "the dialog's window is the parent";
  }
  EXPECT_EQ(DriverLines(), before);
}

TEST_F(SetupDialog, CancelAfterApplyAddAndDeleteLeavesEverything) {
  const Globals globals{false, true, 2500, true, 90};
  Init({MakeDevice("A", 1, "Sim.A"), MakeDevice("B", 2, "Sim.B"), MakeDevice("C", 3, "Sim.C")}, globals);
  const std::vector<std::string> before = DriverLines();
  const std::string fileBefore = drvtest::ReadFile(IniFile());

  EXPECT_EQ(RunSetup([](TFerrowickSetupDlg& d) {
              Driver::Fill(d.DeviceNameEdit, "X");
              Driver::Click(d.ReplaceBitBtn);
              Driver::Fill(d.DeviceNameEdit, "New");
              Driver::Click(d.AddBitBtn);
              Driver::SelectItem(d.DevicesListBox, 1);
              Driver::Click(d.DelBitBtn);
              EXPECT_EQ(Shown(d.DevicesListBox), "X\r\nC\r\nNew\r\n");
              Driver::SelectTab(d.PageControl, 1);
              Driver::Click(d.LockErrorClassCheckBox);
              Driver::Click(d.AutoRunServerCheckBox);
              Driver::Fill(d.CommandIntervalSpinEdit, "100");
              Driver::Click(d.sBitBtn1);
            }),
            0);

  EXPECT_EQ(DriverLines(), before);
  EXPECT_EQ(Read(driver::GeneralSettings()), globals);
  EXPECT_EQ(drvtest::ReadFile(IniFile()), fileBefore);
}

TEST_F(SetupDialog, OkRightAfterOpeningKeepsListAndSettingsAndWritesTheFile) {
  const Globals globals{true, true, 4000, false, 120};
  TDevice described = MakeDevice("Pump", 7, "Sim.Pump.1");
  described.Description = "a=b";
  Init({described, MakeDevice("Boiler", 2, "Sim.Boiler.1")}, globals);
  const std::vector<std::string> before = DriverLines();
  fs::remove(IniFile());

  EXPECT_EQ(RunSetup([](TFerrowickSetupDlg& d) { Driver::Click(d.OkBitBtn); }), 1);

  EXPECT_EQ(DriverLines(), before);
  EXPECT_EQ(Read(driver::GeneralSettings()), globals);
  TDeviceList written;
  driver::TGeneralSettings settings;
  ASSERT_TRUE(written.LoadFromIni(IniFile(), "OPCSRV", settings));
  EXPECT_EQ(Lines(written), before);
  EXPECT_EQ(Read(settings), globals);
}

TEST_F(SetupDialog, DeleteMovesTheSelectionAndAddTakesTheEditors) {
  Init({MakeDevice("A", 1, "Sim.A"), MakeDevice("B", 2, "Sim.B"), MakeDevice("C", 3, "Sim.C")});
  const std::string lineOfA = DriverLines()[0];

  EXPECT_EQ(RunSetup([](TFerrowickSetupDlg& d) {
              Driver::SelectItem(d.DevicesListBox, 2);
              Driver::Click(d.DelBitBtn);
              EXPECT_EQ(Shown(d.DevicesListBox), "A\r\nB\r\n");
              EXPECT_EQ(d.DevicesListBox->ItemIndex(), 1) << "the new last line";
              EXPECT_EQ(Shown(d.DeviceNameEdit), "B");
              Driver::SelectItem(d.DevicesListBox, 0);
              Driver::Click(d.DelBitBtn);
              EXPECT_EQ(d.DevicesListBox->ItemIndex(), 0) << "the line at the same place";
              EXPECT_EQ(Shown(d.DeviceNameEdit), "B");
              Driver::Click(d.DelBitBtn);
              EXPECT_EQ(Shown(d.DevicesListBox), "");
              EXPECT_EQ(d.DevicesListBox->ItemIndex(), -1);
              EXPECT_FALSE(d.DevicesListBox->Enabled());
              EXPECT_EQ(Shown(d.DeviceNameEdit), "B") << "the editors keep what they showed";
              Driver::Fill(d.DeviceNameEdit, "A");
              Driver::Fill(d.OPCServerNameEdit, "Sim.A");
              Driver::Fill(d.LogAddressSpinEdit, "1");
              Driver::Click(d.AddBitBtn);
              EXPECT_EQ(Shown(d.DevicesListBox), "A\r\n");
              EXPECT_EQ(d.DevicesListBox->ItemIndex(), 0);
              EXPECT_TRUE(d.DevicesListBox->Enabled());
              Driver::Click(d.OkBitBtn);
            }),
            1);

  EXPECT_EQ(DriverLines(), std::vector<std::string>{lineOfA});
}

TEST_F(SetupDialog, OkWithoutApplyKeepsTheDeviceAndTakesTheGlobals) {
  Init({MakeDevice("Pump", 7, "Sim.Pump.1")}, {false, false, 3000, true, 60});
  const std::vector<std::string> before = DriverLines();

  EXPECT_EQ(RunSetup([](TFerrowickSetupDlg& d) {
              Driver::Fill(d.DeviceNameEdit, "Changed");
              Driver::Fill(d.LogAddressSpinEdit, "99");
              Driver::SelectTab(d.PageControl, 1);
              Driver::Click(d.AutoRunServerCheckBox);
              Driver::Click(d.LockLOGFileCheckBox);
              Driver::Click(d.OkBitBtn);
            }),
            1);

  EXPECT_EQ(DriverLines(), before);
  EXPECT_EQ(Read(driver::GeneralSettings()), (Globals{false, true, 3000, false, 60}));
}

// Pasted text can bring line breaks and ESC into any editor; the settings
// line cannot hold them. Each break becomes one blank, ESC goes, and only
// then is a text trimmed, so the file is written and reads back the same.
TEST_F(SetupDialog, LineBreaksAndEscNeverReachTheSettings) {
  Init({MakeDevice("Pump", 7, "Sim.Pump.1")});

  EXPECT_EQ(RunSetup([](TFerrowickSetupDlg& d) {
              d.DeviceNameEdit->SetText("Pu" + kEsc + "mp\n");
              d.DescriptionMemo->SetMemoText("one\r\ntwo\nthree\rfour" + kEsc);
              d.OPCServerNameEdit->SetText(" Sim" + kEsc + ".Pump.1\r\n");
              d.PrefixEdit->SetText("P\r\nQ");
              d.VarLinkControlEdit->SetText("LINK" + kEsc + "_1");
              d.CommandCtrlTagNameEdit->SetText("\rCMD_1\n");
              Driver::Click(d.ReplaceBitBtn);
              Driver::Click(d.OkBitBtn);
            }),
            1);

  const TDevice device = DriverDevice(0);
  EXPECT_EQ(device.Name, "Pump ");
  EXPECT_EQ(device.Description, "one two three four");
  EXPECT_EQ(device.OPCServerName, "Sim.Pump.1");
  EXPECT_EQ(device.Prefix, "P Q");
  EXPECT_EQ(device.LinkCtrlTagName, "LINK_1");
  EXPECT_EQ(device.ComandCtrlTagName, "CMD_1");
  TDeviceList written;
  driver::TGeneralSettings settings;
  ASSERT_TRUE(written.LoadFromIni(IniFile(), "OPCSRV", settings));
  EXPECT_EQ(Lines(written), DriverLines());
}

TEST_F(SetupDialog, SpinEditsKeepTheirLimitsAlsoOnEnter) {
  Init({MakeDevice("Pump", 7, "Sim.Pump.1")});

  EXPECT_EQ(RunSetup([](TFerrowickSetupDlg& d) {
              const std::vector<std::tuple<ui::TSpinEdit*, std::string, std::string>> left = {
                  {d.LogAddressSpinEdit, "0", "1"},       {d.LogAddressSpinEdit, "70000", "65535"},
                  {d.PricisionSpinEdit, "12", "8"},       {d.PricisionSpinEdit, "-3", "0"},
                  {d.LogAddressSpinEdit, "-", "1"},       {d.PricisionSpinEdit, "+", "0"},
              };
              for (const auto& [spin, typed, shown] : left) {
                Driver::Fill(spin, typed);
                Driver::PressKey(ui::VK_TAB);
                EXPECT_EQ(Shown(spin), shown) << spin->Name() << " left with " << typed;
              }
              // Out of range when applied and on Enter.
              Driver::Fill(d.LogAddressSpinEdit, "-");
              Driver::Fill(d.PricisionSpinEdit, "9");
              Driver::Click(d.ReplaceBitBtn);
              Driver::SelectTab(d.PageControl, 1);
              Driver::Fill(d.CheckServerTimeSpinEdit, "99999");
              Driver::Fill(d.CommandIntervalSpinEdit, "0");
              Driver::PressKey(ui::VK_RETURN);
            }),
            1);

  EXPECT_EQ(DriverDevice(0).DeviceAddress, 1);
  EXPECT_EQ(DriverDevice(0).Precision, 8);
  EXPECT_EQ(driver::GeneralSettings().CommandInterval, 1);
  EXPECT_EQ(driver::GeneralSettings().CheckServerInterval, 3600);
}

TEST_F(SetupDialog, TagListNamesMatchTheDescriptionFileExactly) {
  Init({MakeDevice("A", 1, "Sim.A", "Nope"), MakeDevice("B", 2, "Sim.B", "mixer"), MakeDevice("C", 3, "Sim.C", "Mixer")});

  EXPECT_EQ(RunSetup([](TFerrowickSetupDlg& d) {
              EXPECT_EQ(d.EDDComboBox->ItemIndex(), -1);
              EXPECT_EQ(Shown(d.EDDComboBox), "");
              Driver::Click(d.ReplaceBitBtn);
              Driver::SelectItem(d.DevicesListBox, 1);
              EXPECT_EQ(d.EDDComboBox->ItemIndex(), -1) << "case counts";
              Driver::SelectItem(d.DevicesListBox, 2);
              EXPECT_EQ(Shown(d.EDDComboBox), "Mixer");
              Driver::SelectItem(d.EDDComboBox, 0);
              Driver::Click(d.ReplaceBitBtn);
              Driver::Click(d.OkBitBtn);
            }),
            1);

  EXPECT_EQ(DriverDevice(0).TagListName, "");
  EXPECT_EQ(DriverDevice(1).TagListName, "mixer");
  EXPECT_EQ(DriverDevice(2).TagListName, "Boiler");
}

TEST_F(SetupDialog, NavigatorPicksControlTags) {
  TDevice pump = MakeDevice("Pump", 7, "Sim.Pump.1");
  pump.LinkCtrlTagName = "LINK_1";
  Init({pump});
  Kernel().NavigatorAnswers = {"NEW_LINK", std::nullopt, "CMD\r\nX" + kEsc + "Y\nZ"};

  EXPECT_EQ(RunSetup([](TFerrowickSetupDlg& d) {
              Driver::SelectTab(d.SettingPageControl, 1);
              Driver::Fill(d.VarLinkControlEdit, "  LINK_2  ");
              Driver::Click(d.VarSelectButton);
              EXPECT_EQ(Shown(d.VarLinkControlEdit), "NEW_LINK");
              Driver::Click(d.VarSelectButton);
              EXPECT_EQ(Shown(d.VarLinkControlEdit), "NEW_LINK") << "a cancelled navigator changes nothing";
              Driver::Fill(d.CommandCtrlTagNameEdit, std::string(300, 'a'));
              Driver::Click(d.Run_Action_Tag_Name_Button);
              EXPECT_EQ(Shown(d.CommandCtrlTagNameEdit), "CMD\r\nX" + kEsc + "Y\nZ");
              Driver::Click(d.ReplaceBitBtn);
              // A kernel that fills the whole buffer without a terminator.
              Kernel().UnterminatedAnswer = 'z';
              Driver::Click(d.VarSelectButton);
              EXPECT_EQ(Shown(d.VarLinkControlEdit), std::string(255, 'z'));
              Driver::Click(d.OkBitBtn);
            }),
            1);

  ASSERT_EQ(Kernel().NavigatorCalls.size(), 4u);
  const std::vector<std::string> current = {"LINK_2", "NEW_LINK", std::string(255, 'a'), "NEW_LINK"};
  for (std::size_t i = 0; i < current.size(); ++i) {
    EXPECT_EQ(Kernel().NavigatorCalls[i].Current, current[i]) << i;
    EXPECT_EQ(Kernel().NavigatorCalls[i].Parent, handle_) << i;
  }
  // Stored without line breaks (one blank each) and without ESC.
  EXPECT_EQ(DriverDevice(0).LinkCtrlTagName, "NEW_LINK");
  EXPECT_EQ(DriverDevice(0).ComandCtrlTagName, "CMD XY Z");
}

// The driver thread reads the list every cycle; a reader like it runs all
// the while the dialog copies the list (clean under the thread and address
// sanitizers). Then it holds the guard while OK is pressed: OK must wait for
// it, so the reader still sees the three devices, and OK returns only after
// the reader let go.
TEST_F(SetupDialog, TheListIsCopiedAndReplacedUnderItsGuard) {
  Init({MakeDevice("A", 1, "Sim.A"), MakeDevice("B", 2, "Sim.B"), MakeDevice("C", 3, "Sim.C")});
  std::atomic<bool> stop{false}, hold{false}, holding{false}, okDone{false};
  std::atomic<int> reads{0};
  int32_t countWhileHeld = -1;
  bool okDoneWhileHeld = true;
  std::thread reader([&] {
    while (!stop) {
      driver::DeviceListGuard()->With([&](const TDeviceList& list) {
        std::size_t length = 0;
        for (int32_t i = 0; i < list.Count(); ++i) length += list.GetDevice(i)->GetSettingsLine().size();
        if (!hold.exchange(false)) return length;
        holding = true;
        // Time enough for an OK that does not wait to be done.
        okDoneWhileHeld = Eventually([&] { return okDone.load(); }, std::chrono::milliseconds(500));
        countWhileHeld = list.Count();
        return length;
      });
      ++reads;
    }
  });

  EXPECT_EQ(RunSetup([&](TFerrowickSetupDlg& d) {
              Driver::Click(d.DelBitBtn);
              EXPECT_TRUE(Eventually([&] { return reads >= 10; }));
              hold = true;
              EXPECT_TRUE(Eventually([&] { return holding.load(); }));
              Driver::Click(d.OkBitBtn);
              okDone = true;
            }),
            1);
  const int before = reads;
  EXPECT_TRUE(Eventually([&] { return reads >= before + 10; }));
  stop = true;
  reader.join();
  EXPECT_FALSE(okDoneWhileHeld);
  EXPECT_EQ(countWhileHeld, 3);
  EXPECT_EQ(DriverLines().size(), 2u);
}

// "..." opens the server browser as a nested modal form; its choice
// replaces the server name, its Cancel leaves it.
TEST_F(SetupDialog, TheBrowserOpensNestedAndItsChoiceReplacesTheServerName) {
  const std::string registry = IniFile() + ".registry";
  ::setenv("FERROWICK_REGISTRY_DIR", registry.c_str(), 1);
  dialogstest::AddProgId(dialogstest::kLocal, "Sim.Boiler.1", dialogstest::ClassId(1), "Boiler", "Sim");
  dialogstest::AddProgId(dialogstest::kLocal, "Sim.Mixer.1", dialogstest::ClassId(2), "Mixer", "Sim");
  Init({MakeDevice("Pump", 7, "Old.Server.1")});

  std::string listed;
  EXPECT_EQ(RunSetup([&](TFerrowickSetupDlg& d) {
              Driver::AnswerNextModal([&](ui::TCustomForm& browser) {
                EXPECT_EQ(browser.Name(), "OPCServerBrowser");
                ui::TControl* list = Driver::FindControl("OPCServerBrowser.OPCServersListBox");
                listed = Shown(list);
                Driver::SelectItem(list, 1);
                Driver::Click(Driver::FindControl("OPCServerBrowser.OkBitBtn"));
              });
              Driver::Click(d.OPCServerBrouserButton);
              EXPECT_EQ(Shown(d.OPCServerNameEdit), "Sim.Mixer.1");
              Driver::AnswerNextModal([](ui::TCustomForm& browser) {
                Driver::Click(Driver::FindControl("OPCServerBrowser.CancelBitBtn"));
                EXPECT_EQ(browser.ModalResult(), ui::mrCancel);
              });
              Driver::Click(d.OPCServerBrouserButton);
              EXPECT_EQ(Shown(d.OPCServerNameEdit), "Sim.Mixer.1");
              Driver::Click(d.ReplaceBitBtn);
              Driver::Click(d.OkBitBtn);
            }),
            1);

  EXPECT_EQ(listed, "Sim.Boiler.1\r\nSim.Mixer.1\r\n");
  EXPECT_EQ(DriverDevice(0).OPCServerName, "Sim.Mixer.1");
  EXPECT_EQ(Driver::PendingModalAnswers(), 0u);
}

TEST_F(SetupDialog, OnlyAnInitialisedDriverOpensTheDialog) {
  Driver::AnswerNextModal([](ui::TCustomForm& form) { form.SetModalResult(ui::mrOk); });
  EXPECT_EQ(driver::SetupDeviceDrv(kHostWindow), 0);
  EXPECT_EQ(Driver::PendingModalAnswers(), 1u) << "no dialog showed";
}

TEST_F(SetupDialog, AFailedWriteIsLoggedAndTheSetupStillConfirmed) {
  Init({MakeDevice("Pump", 7, "Sim.Pump.1")});
  fs::remove(IniFile());
  fs::create_directory(IniFile());

  EXPECT_EQ(RunSetup([](TFerrowickSetupDlg& d) { Driver::Click(d.OkBitBtn); }), 1);
  EXPECT_EQ(drvtest::CountLog(1, "Ошибка записи файла конфигурации."_cp), 1);
}

// While the dialog lives every hint is a skinned ellipse in the dialog's
// look; once it is gone the application is back to its plain hint window.
TEST_F(SetupDialog, HintsAreEllipsesWhileTheDialogLives) {
  Init({MakeDevice("Pump", 7, "Sim.Pump.1")});
  ui::TApplication& app = ui::Application();
  EXPECT_EQ(RunSetup([&](TFerrowickSetupDlg& d) {
              const skin::TsHintManager& m = *d.sHintManager1;
              EXPECT_EQ(skin::ActiveHintManager(), &m);
              EXPECT_EQ(m.Style(), skin::TsHintStyle::hsEllipse);
              EXPECT_EQ(m.PreDefinitions(), skin::TsHintsPredefinitions::shCustom);
              EXPECT_EQ((std::array{m.Blur, m.ExOffset, m.MarginH, m.MarginV, m.MaxWidth, m.BevelWidth, m.PauseHide}),
                        (std::array{0, 26, 6, 12, 200, 1, 5000}));
              EXPECT_EQ(m.sStyle().Painting().Color(), 12778748);
              EXPECT_EQ(m.sStyle().Shadow().Offset(), 16);
              ui::TBitmap before;
              ASSERT_TRUE(ui::Backend().CaptureScreen(before));
              Driver::MoveTo(d.OPCServerNameEdit);  // the mouse rests there until the hint shows
              const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
              while ((app.HintWindow() == nullptr || !app.HintWindow()->Visible()) &&
                     std::chrono::steady_clock::now() < deadline)
                Driver::Pump();
              Driver::Pump();
              auto* w = dynamic_cast<skin::TsEllipseHintWindow*>(app.HintWindow());
              ASSERT_NE(w, nullptr);
              EXPECT_TRUE(w->Visible());
              EXPECT_EQ(w->Caption(), "Физический OPC сервер, обслуживаемый драйвером."_cp);
              EXPECT_EQ(app.HintHidePause, 5000);
              ui::TBitmap after;
              ASSERT_TRUE(ui::Backend().CaptureScreen(after));
              const hinttest::TEllipseProbes probes = hinttest::ProbeEllipse(before, after, *w, 16, 26);
              EXPECT_EQ(probes.Body, ui::RGB(252, 252, 194));
              EXPECT_EQ(probes.Outline, ui::clBlack);
              EXPECT_TRUE(hinttest::Darker(probes.Shadow, probes.ShadowScreen));
              EXPECT_TRUE(probes.OutsideUnchanged);
              Driver::Click(d.sBitBtn1);
            }),
            0);
  EXPECT_EQ(skin::ActiveHintManager(), nullptr);
  EXPECT_FALSE(app.HintWindowClass());
  EXPECT_EQ(app.HintWindow(), nullptr);
}

}  // namespace
