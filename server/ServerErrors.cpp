#include "server/ServerErrors.h"

#include "exchange/OPCSharedMemory.h"
#include "platform/os/Text.h"
#include "server/ServerData.h"

namespace server {

using namespace platform::os::literals;

namespace {

struct TErrorText {
  std::int32_t Code;
  std::string_view Text;
};

// The texts are kept byte for byte as the driver's log has always shown
// them (two blanks in -25 included).
constexpr TErrorText kErrorTexts[] = {
    {ErrorCode::Success, "Успешное выполнение операции."_cp},
    {ErrorCode::DuplicateAddress, "Ошибка дублирования физического адреса тега."_cp},
    {ErrorCode::EmptyPrefix, "Устройству приписан пустой префикс."_cp},
    {ErrorCode::Reinitialisation, "Попытка реинициализации драйвера."_cp},
    {ErrorCode::NotInitialised, "Драйвер не инициализирован."_cp},
    {ErrorCode::BadParameters, "Ошибка в параметрах функции."_cp},
    {ErrorCode::NotSupported, "Функция не поддерживается драйвером."_cp},
    {ErrorCode::CommandFailed, "Ошибка обработки команды."_cp},
    {ErrorCode::TrayIcon, "Ошибка загрузки иконки серверного приложения"_cp},
    {ErrorCode::DeviceServerStart, "Ошибка запуска сервера доступа к устройству"_cp},
    {ErrorCode::DeviceServerStop, "Ошибка останова сервера доступа к устройству."_cp},
    {ErrorCode::DcomSecurity, "Failed to initialize DCOM security"},
    {ErrorCode::TagProcessing, "Ошибка при обработке OPC тега."_cp},
    {ErrorCode::BadQuality, "Плохое качество тега."_cp},
    {ErrorCode::UnsupportedType, "OPC: Не поддерживаемый тип."_cp},
    {ErrorCode::NoServerInterface, "Интерфейс к OPC серверу не  инициализирован."_cp},
    {ErrorCode::GroupCreation, "Ошибка создания группы в OPC сервере."_cp},
    {ErrorCode::ItemAddition, "Тег не может быть добавлен в группу."_cp},
    {ErrorCode::AdviseSink, "OPC: Ошибка установки обработчика событий"_cp},
    {ErrorCode::DataCallback, "OPC: Ошибка установки функции обратного вызова."_cp},
    {ErrorCode::OpcWrite, "Ошибка записи в OPC сервер."_cp},
    {ErrorCode::ShutdownAdvise, "Ошибка поддержки интерфейса IOPCShutdown."_cp},
    {ErrorCode::NoShutdownInterface, "Сервер не поддерживает интерфейс IOPCShutdown."_cp},
    {ErrorCode::NoConnectionPoints, "Сервер не поддерживает интерфейс IConnectionPointContainer."_cp},
    {ErrorCode::ServerShutdown, "OPC сервер выгружен."_cp},
};

constexpr std::string_view kUnknownErrorText = "Общая незарегистрированная ошибка драйвера."_cp;

}  // namespace

std::string_view TagInfoErrorText() { return "Ошибка получения информации о теге из базы DLM"_cp; }

std::string TBaseErrorClass::GetErrorText(std::int32_t code, std::int32_t /*information*/) const {
  for (const TErrorText& entry : kErrorTexts)
    if (entry.Code == code) return std::string(entry.Text);
  return std::string(kUnknownErrorText);
}

void TBaseErrorClass::ReportError(std::int32_t code, std::int32_t information,
                                  const std::exception* error) {
  if (!SectionOpen()) return;
  if (error != nullptr) {
    ReportText(code, error->what());
  } else {
    ReportText(code, GetErrorText(code, information));
  }
}

void TBaseErrorClass::ReportText(std::int32_t code, std::string_view text) {
  if (!SectionOpen()) return;
  Intercom->ServerErrors()->Add(code, text);
}

void TBaseErrorClass::ReportAbout(std::int32_t code, std::string_view subject) {
  ReportText(code, std::string(subject) + " " + GetErrorText(code, 0));
}

}  // namespace server
