#pragma once
// The driver's log: every entry goes to the kernel's log library as a
// TLogItem and, as one text line, to the driver's log file. Also the table
// of the driver's result codes and their texts.

#include "driver/DrvTypes.h"
#include "platform/os/Time.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>

namespace driver {

// Source name of every entry, and the settings file's section name.
inline constexpr std::string_view LogSourceName = "OPCSRV";
inline constexpr std::size_t LogSourceMax = 10;   // characters kept in TLogItem.Source
inline constexpr std::size_t LogTextMax = 100;    // characters kept in TLogItem.Text

// The kernel's record of one entry: source and text cut to their fields,
// zero-filled after the terminators; time and date of `when`.
TLogItem MakeLogItem(std::string_view source, std::string_view text, int32_t code,
                     platform::os::TDateTime when);

// One line of the text file: source, TAB, "dd.mm.yyyy hh:nn:ss", TAB, text.
std::string LogFileLine(std::string_view source, platform::os::TDateTime when, std::string_view text);

class TBaseErrorClass {
 public:
  // The text file is off until SetLogToFile(true); logging is on. The path
  // is kept trimmed.
  explicit TBaseErrorClass(std::string_view logFileName);
  virtual ~TBaseErrorClass() = default;
  TBaseErrorClass(const TBaseErrorClass&) = delete;
  TBaseErrorClass& operator=(const TBaseErrorClass&) = delete;

  // Text of a result code; every unknown code has the general text.
  virtual std::string GetErrorText(int32_t code) const;
  // "OPCSRV".
  virtual std::string GetSourceName() const;
  // Logs the exception's message when error is given, else the code's
  // text; a code 0 without an exception logs nothing. Never throws: an
  // entry that cannot be made is lost.
  virtual void LogCode(int32_t code, const std::exception* error = nullptr);

  // Logs one entry (code 0 too): to the kernel first, then to the file.
  // Never throws.
  void Log(int32_t code, std::string_view text);

  // Appends line to the text file (CR LF after it). True when the file is
  // off (nothing written); false for an empty file name or an I/O error.
  // Lines of the two threads never interleave.
  bool AppendLogLine(std::string_view line);

  // Switches; any thread.
  void SetLogEnabled(bool on) { logEnabled_.store(on); }
  bool LogEnabled() const { return logEnabled_.load(); }
  void SetLogToFile(bool on) { logToFile_.store(on); }
  bool LogToFile() const { return logToFile_.load(); }
  const std::string& LogFileName() const { return logFileName_; }

 private:
  std::atomic<bool> logToFile_{false};
  std::atomic<bool> logEnabled_{true};
  const std::string logFileName_;
  std::mutex appendLock_;
};

}  // namespace driver
