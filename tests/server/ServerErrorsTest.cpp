// The server's error texts and their way into the shared error list.

#include "server/ServerErrors.h"

#include "platform/os/Text.h"
#include "server/ServerData.h"
#include "tests/server/ServerTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

namespace {

using namespace platform::os::literals;
using server::TBaseErrorClass;
namespace code = server::ErrorCode;

class ServerErrors : public server_test::ServerTest {};

TEST(ServerErrorTexts, KeepTheirExactBytes) {
  const TBaseErrorClass errors;
  // Two blanks before the last word, English text, no final full stop.
  EXPECT_EQ(errors.GetErrorText(code::NoServerInterface, 0),
            "Интерфейс к OPC серверу не  инициализирован."_cp);
  EXPECT_EQ(errors.GetErrorText(code::DcomSecurity, 0), "Failed to initialize DCOM security");
  EXPECT_EQ(errors.GetErrorText(code::TrayIcon, 0), "Ошибка загрузки иконки серверного приложения"_cp);
  EXPECT_EQ(errors.GetErrorText(code::AdviseSink, 0), "OPC: Ошибка установки обработчика событий"_cp);
  EXPECT_EQ(errors.GetErrorText(code::NoConnectionPoints, 0),
            "Сервер не поддерживает интерфейс IConnectionPointContainer."_cp);
  EXPECT_EQ(errors.GetErrorText(code::ServerShutdown, 0), "OPC сервер выгружен."_cp);
  EXPECT_EQ(server::TagInfoErrorText(), "Ошибка получения информации о теге из базы DLM"_cp);
}

TEST(ServerErrorTexts, CommandFailureShowsNoInformation) {
  const TBaseErrorClass errors;
  EXPECT_EQ(errors.GetErrorText(code::CommandFailed, 4711), "Ошибка обработки команды."_cp);
  EXPECT_EQ(errors.GetErrorText(code::CommandFailed, 4711), errors.GetErrorText(code::CommandFailed, 0));
}

TEST(ServerErrorTexts, UnlistedCodesShareOneText) {
  const TBaseErrorClass errors;
  const std::string unknown = std::string("Общая незарегистрированная ошибка драйвера."_cp);
  for (std::int32_t c : {-1, -9, -14, -18, -19, -20, -35, 1, 100})
    EXPECT_EQ(errors.GetErrorText(c, 0), unknown) << c;
  // Every listed code has a text of its own.
  std::set<std::string> texts;
  for (std::int32_t c : {0, -2, -3, -4, -5, -6, -7, -8, -15, -16, -17, -21, -22, -23, -24, -25, -26,
                         -27, -28, -29, -30, -31, -32, -33, -34}) {
    const std::string text = errors.GetErrorText(c, 0);
    EXPECT_NE(text, unknown) << c;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), 25u);
}

TEST_F(ServerErrors, WithoutSectionNothingIsReported) {
  TBaseErrorClass errors;
  errors.ReportError(code::TrayIcon, 0);
  errors.ReportText(code::BadQuality, "x");
  // A section exists, but this server has not opened it.
  driver_ = exchange::TIntercomInterface::Create(exchange::kSectionName, 0);
  errors.ReportError(code::TrayIcon, 0);
  EXPECT_EQ(Errors().Count, 0);
  // A detached owner counts as no section.
  server::Intercom = exchange::TIntercomInterface::Open("no such section");
  ASSERT_NE(server::Intercom, nullptr);
  errors.ReportText(code::BadQuality, "x");
  EXPECT_EQ(Errors().Count, 0);
}

TEST_F(ServerErrors, ReportErrorWritesCodeAndTableText) {
  OpenSection();
  server::ServerErrors->ReportError(code::TrayIcon, 0);
  server::ServerErrors->ReportError(code::CommandFailed, 17);
  const exchange::TServerErrorBlock block = Errors();
  ASSERT_EQ(block.Count, 2);
  EXPECT_EQ(block.Entries[0].Code, -15);
  EXPECT_EQ(server_test::EntryText(block.Entries[0]), "Ошибка загрузки иконки серверного приложения"_cp);
  EXPECT_EQ(block.Entries[1].Code, -8);
  EXPECT_EQ(server_test::EntryText(block.Entries[1]), "Ошибка обработки команды."_cp);
  EXPECT_GT(block.Entries[0].Time, 40000.0);
}

TEST_F(ServerErrors, AnExceptionGivesItsMessage) {
  OpenSection();
  const std::runtime_error failure("access violation");
  server::ServerErrors->ReportError(code::CommandFailed, 3, &failure);
  const exchange::TServerErrorBlock block = Errors();
  ASSERT_EQ(block.Count, 1);
  EXPECT_EQ(block.Entries[0].Code, -8);
  EXPECT_EQ(server_test::EntryText(block.Entries[0]), "access violation");
}

TEST_F(ServerErrors, ReportTextIsCutAndTheListStopsAtHundred) {
  OpenSection();
  server::ServerErrors->ReportText(code::BadQuality, std::string(300, 'q'));
  for (int i = 1; i < 100; ++i) server::ServerErrors->ReportText(-100 - i, "e");
  server::ServerErrors->ReportText(code::ServerShutdown, "dropped");
  const exchange::TServerErrorBlock block = Errors();
  ASSERT_EQ(block.Count, 100);
  EXPECT_EQ(server_test::EntryText(block.Entries[0]), std::string(255, 'q'));
  EXPECT_EQ(block.Entries[99].Code, -199);
  EXPECT_EQ(block.Sequence, 100);
}

}  // namespace
