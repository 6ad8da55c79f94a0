#include "driver/DrvLog.h"

#include "DriverTestSupport.h"
#include "platform/os/Time.h"

#include <thread>

namespace {

using namespace platform::os::literals;
using driver::TBaseErrorClass;
using drvtest::KernelLog;

class DrvLog : public ::testing::Test {
 protected:
  void SetUp() override { kernel::KernelModel::Instance().Reset(); }
  void TearDown() override { kernel::KernelModel::Instance().Reset(); }
  drvtest::TempDir dir_;
};

TEST_F(DrvLog, CodeTable) {
  TBaseErrorClass log("");
  EXPECT_EQ(log.GetErrorText(0), "DLM::Успешное выполнение операции."_cp);
  EXPECT_EQ(log.GetErrorText(-2), "DLM::Ошибка дублирования физического адреса тега."_cp);
  EXPECT_EQ(log.GetErrorText(-3), "DLM::Устройству приписан пустой префикс."_cp);
  EXPECT_EQ(log.GetErrorText(-4), "DLM::Попытка реинициализации драйвера."_cp);
  EXPECT_EQ(log.GetErrorText(-5), "DLM::Драйвер не инициализирован."_cp);
  EXPECT_EQ(log.GetErrorText(-6), "DLM::Ошибка в параметрах функции."_cp);
  EXPECT_EQ(log.GetErrorText(-7), "DLM::Функция не поддерживается драйвером."_cp);
  EXPECT_EQ(log.GetErrorText(-8), "DLM::Команда не выполнена драйвером."_cp);
  for (int32_t code : {42, -1, 1, -9, 11}) {
    EXPECT_EQ(log.GetErrorText(code), "DLM::Общая незарегистрированная ошибка драйвера."_cp) << code;
  }
  EXPECT_EQ(log.GetSourceName(), "OPCSRV");
}

TEST_F(DrvLog, EntryReachesKernelCutAndFileWhole) {
  platform::os::TestClock clock(platform::os::TestClock::Mode::Manual, 0,
                                platform::os::EncodeDate(2024, 3, 5) + platform::os::EncodeTime(7, 8, 9, 250));
  const std::string path = dir_ / "Ferrowick_V30.log";
  TBaseErrorClass log("  " + path + " ");
  EXPECT_EQ(log.LogFileName(), path);
  log.SetLogToFile(true);
  const std::string longText = std::string(150, 'x') + "Я";
  log.Log(5, longText);
  log.Log(0, "second");

  const auto items = kernel::KernelModel::Instance().LogItems();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_STREQ(items[0].Source, "OPCSRV");
  EXPECT_EQ(std::string(items[0].Text), std::string(100, 'x'));
  EXPECT_EQ(items[0].Code, 5);
  EXPECT_EQ(items[0].Time, ((7 * 60 + 8) * 60 + 9) * 1000 + 250);
  EXPECT_EQ(items[0].Date, 738950);  // 2024-03-05, 0001-01-01 being 1
  // Bytes after the terminators are zero.
  for (size_t i = std::strlen(items[1].Text); i < sizeof items[1].Text; ++i) EXPECT_EQ(items[1].Text[i], 0);
  for (size_t i = 6; i < sizeof items[1].Source; ++i) EXPECT_EQ(items[1].Source[i], 0);

  EXPECT_EQ(drvtest::ReadFile(path),
            "OPCSRV\t05.03.2024 07:08:09\t" + longText + "\r\nOPCSRV\t05.03.2024 07:08:09\tsecond\r\n");
}

TEST_F(DrvLog, SwitchesAndCodeZero) {
  const std::string path = dir_ / "log.txt";
  TBaseErrorClass log(path);
  // The file is off until switched on.
  log.Log(1, "kernel only");
  EXPECT_FALSE(drvtest::fs::exists(path));
  EXPECT_EQ(KernelLog().size(), 1u);

  log.SetLogToFile(true);
  log.SetLogEnabled(false);  // "Error Manager": nothing at all
  log.Log(2, "nowhere");
  log.LogCode(-6);
  EXPECT_FALSE(drvtest::fs::exists(path));
  EXPECT_EQ(KernelLog().size(), 1u);

  log.SetLogEnabled(true);
  log.LogCode(0);  // nothing for a plain code 0
  EXPECT_EQ(KernelLog().size(), 1u);
  log.LogCode(-6);
  const std::runtime_error error("boom");
  log.LogCode(0, &error);
  const auto entries = KernelLog();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].Code, -6);
  EXPECT_EQ(entries[1].Text, "DLM::Ошибка в параметрах функции."_cp);
  EXPECT_EQ(entries[2].Code, 0);
  EXPECT_EQ(entries[2].Text, "boom");
  EXPECT_NE(drvtest::ReadFile(path).find("\tboom\r\n"), std::string::npos);
}

TEST_F(DrvLog, AppendLogLineResults) {
  TBaseErrorClass noName("   ");
  EXPECT_TRUE(noName.AppendLogLine("x")) << "file off: nothing to do";
  noName.SetLogToFile(true);
  EXPECT_FALSE(noName.AppendLogLine("x"));

  TBaseErrorClass missingFolder(dir_ / "no/such/folder/log.txt");
  missingFolder.SetLogToFile(true);
  EXPECT_FALSE(missingFolder.AppendLogLine("x"));
  missingFolder.Log(3, "still reaches the kernel");
  EXPECT_EQ(drvtest::CountLog(3, "still reaches the kernel"), 1);
}

TEST_F(DrvLog, TwoThreadsNeverInterleaveLines) {
  const std::string path = dir_ / "log.txt";
  TBaseErrorClass log(path);
  log.SetLogToFile(true);
  auto writer = [&](char c) {
    for (int i = 0; i < 200; ++i) log.Log(1, std::string(300, c));
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  std::istringstream lines(drvtest::ReadFile(path));
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    ASSERT_EQ(line.back(), '\r');
    const std::string text = line.substr(line.rfind('\t') + 1, 300);
    EXPECT_TRUE(text == std::string(300, 'a') || text == std::string(300, 'b'));
  }
  EXPECT_EQ(count, 400);
  EXPECT_EQ(KernelLog().size(), 400u);
}

}  // namespace
