#include "driver/DrvLog.h"

#include "driver/Dlm_Libs.h"
#include "platform/os/Files.h"
#include "platform/os/Text.h"

#include <algorithm>
#include <cstring>

namespace driver {

using namespace platform::os::literals;

namespace {

template <std::size_t N>
void CopyField(char (&field)[N], std::string_view text, std::size_t maxChars) {
  std::memset(field, 0, N);
  const std::size_t n = std::min({text.size(), maxChars, N - 1});
  std::memcpy(field, text.data(), n);
}

}  // namespace

TLogItem MakeLogItem(std::string_view source, std::string_view text, int32_t code,
                     platform::os::TDateTime when) {
  TLogItem item;
  std::memset(&item, 0, sizeof item);
  CopyField(item.Source, source, LogSourceMax);
  CopyField(item.Text, text, LogTextMax);
  item.Code = code;
  const platform::os::KernelDateTime stamp = platform::os::DateTimeToKernel(when);
  item.Time = static_cast<int32_t>(stamp.Time);
  item.Date = stamp.Date;
  return item;
}

std::string LogFileLine(std::string_view source, platform::os::TDateTime when, std::string_view text) {
  std::string line(source);
  line += '\t';
  line += platform::os::DateTimeToStr(when);
  line += '\t';
  line += text;
  return line;
}

TBaseErrorClass::TBaseErrorClass(std::string_view logFileName) : logFileName_(platform::os::Trim(logFileName)) {}

std::string TBaseErrorClass::GetErrorText(int32_t code) const {
  switch (code) {
    case 0: return std::string("DLM::Успешное выполнение операции."_cp);
    case -2: return std::string("DLM::Ошибка дублирования физического адреса тега."_cp);
    case -3: return std::string("DLM::Устройству приписан пустой префикс."_cp);
    case -4: return std::string("DLM::Попытка реинициализации драйвера."_cp);
    case -5: return std::string("DLM::Драйвер не инициализирован."_cp);
    case -6: return std::string("DLM::Ошибка в параметрах функции."_cp);
    case -7: return std::string("DLM::Функция не поддерживается драйвером."_cp);
    case -8: return std::string("DLM::Команда не выполнена драйвером."_cp);
    default: return std::string("DLM::Общая незарегистрированная ошибка драйвера."_cp);
  }
}

std::string TBaseErrorClass::GetSourceName() const { return std::string(LogSourceName); }

void TBaseErrorClass::LogCode(int32_t code, const std::exception* error) {
  if (!LogEnabled()) return;
  if (code == 0 && error == nullptr) return;
  try {
    Log(code, error != nullptr ? std::string(error->what()) : GetErrorText(code));
  } catch (const std::exception&) {
    // The entry is lost; a log has nobody to report to.
  }
}

void TBaseErrorClass::Log(int32_t code, std::string_view text) {
  if (!LogEnabled()) return;
  try {
    const platform::os::TDateTime now = platform::os::Now();
    const std::string source = GetSourceName();
    LLAddLogItem(MakeLogItem(source, text, code, now));
    AppendLogLine(LogFileLine(source, now, text));
  } catch (const std::exception&) {
    // Out of memory while building the entry: the entry is lost.
  }
}

bool TBaseErrorClass::AppendLogLine(std::string_view line) {
  if (!LogToFile()) return true;
  if (logFileName_.empty()) return false;
  std::lock_guard guard(appendLock_);
  return platform::os::AppendLine(logFileName_, line);
}

}  // namespace driver
