#pragma once
// The server's error reporter: maps the server's codes to their texts and
// appends (code, text) entries to the shared error list, from which the
// driver copies them into its log. One instance, ServerErrors (ServerData.h),
// made by the main window at start. Main thread only: it writes through the
// module's Intercom.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace server {

// Codes the server reports, and the driver codes it knows a text for.
namespace ErrorCode {
inline constexpr std::int32_t Success = 0;
inline constexpr std::int32_t DuplicateAddress = -2;
inline constexpr std::int32_t EmptyPrefix = -3;
inline constexpr std::int32_t Reinitialisation = -4;
inline constexpr std::int32_t NotInitialised = -5;
inline constexpr std::int32_t BadParameters = -6;
inline constexpr std::int32_t NotSupported = -7;
inline constexpr std::int32_t CommandFailed = -8;
inline constexpr std::int32_t TrayIcon = -15;
inline constexpr std::int32_t DeviceServerStart = -16;
inline constexpr std::int32_t DeviceServerStop = -17;
inline constexpr std::int32_t TagInfo = -19;
inline constexpr std::int32_t DcomSecurity = -21;
inline constexpr std::int32_t TagProcessing = -22;
inline constexpr std::int32_t BadQuality = -23;
inline constexpr std::int32_t UnsupportedType = -24;
inline constexpr std::int32_t NoServerInterface = -25;
inline constexpr std::int32_t GroupCreation = -26;
inline constexpr std::int32_t ItemAddition = -27;
inline constexpr std::int32_t AdviseSink = -28;
inline constexpr std::int32_t DataCallback = -29;
inline constexpr std::int32_t OpcWrite = -30;
inline constexpr std::int32_t ShutdownAdvise = -31;
inline constexpr std::int32_t NoShutdownInterface = -32;
inline constexpr std::int32_t NoConnectionPoints = -33;
inline constexpr std::int32_t ServerShutdown = -34;
}  // namespace ErrorCode

// The text of -19, which has no entry of its own in GetErrorText.
std::string_view TagInfoErrorText();

class TBaseErrorClass {
 public:
  TBaseErrorClass() = default;
  virtual ~TBaseErrorClass() = default;
  TBaseErrorClass(const TBaseErrorClass&) = delete;
  TBaseErrorClass& operator=(const TBaseErrorClass&) = delete;

  // The text of code (CP1251); "Общая незарегистрированная ошибка
  // драйвера." for a code without one. information is taken for -8, whose
  // text holds no place for it, so no text ever shows it. Any thread.
  virtual std::string GetErrorText(std::int32_t code, std::int32_t information) const;

  // Appends (code, text) to the shared error list: text is error's message
  // when error is given, else GetErrorText(code, information). Nothing
  // while the section is not open; the entry is dropped when the list
  // holds 100 entries or its busy byte cannot be had. Main thread.
  virtual void ReportError(std::int32_t code, std::int32_t information,
                           const std::exception* error = nullptr);

  // Appends (code, text) as it stands (the list cuts it to 255
  // characters). Nothing while the section is not open. Main thread.
  void ReportText(std::int32_t code, std::string_view text);
  // Appends (code, subject, a blank and the text of code): an error about
  // one tag or server. As ReportText otherwise.
  void ReportAbout(std::int32_t code, std::string_view subject);
};

}  // namespace server
