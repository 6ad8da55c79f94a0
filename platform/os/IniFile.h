#pragma once
// Settings files with the profile semantics of the system's home platform:
// "[Section]" headers, "Key=Value" lines, sections and keys matched without
// case (CP1251 letters), values trimmed of blanks when read. The file is
// read afresh by every call and every write goes straight to disk, so two
// processes that share a file always see each other's last write. Bytes are
// kept as they are (CP1251 stays CP1251, control bytes such as ESC survive),
// and a write keeps every other line, comment and blank line in its place.
//
// One object may be used from one thread at a time; several objects (also
// in several processes) may use the same file.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform::os {

// A write that could not be done: the file is left as it was.
class EIniFileException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TIniFile {
 public:
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const { return fileName_; }

  // The value of key in section, trimmed of blanks; def when the file, the
  // section or the key is missing. An empty value gives "" (not def).
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // The value as an integer (decimal, or hex after $, 0x, x); def when the
  // key is missing or its text is not a number.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  // ReadInteger(section, key, def ? 1 : 0) != 0.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  // Sets the value (replacing the key's line in place, or adding the key at
  // the end of its section, or adding the section at the end of the file).
  // Throws EIniFileException when the file cannot be written, or when
  // section or key is empty, or a part would not read back (a line break
  // anywhere, "]" in section, "=" in key, a key starting with ";" or "[").
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  // Writes "1" or "0".
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // True when the section holds at least one key.
  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // Removes every occurrence of the section with all its lines; nothing when
  // it is missing. Throws EIniFileException when the file cannot be written.
  void EraseSection(std::string_view section);

  // One key line of ReplaceSection.
  struct TEntry {
    std::string Key;
    std::string Value;
  };
  // Replaces the section with exactly these keys in one write, as
  // EraseSection and one WriteString per entry would leave it (the section
  // at the end of the file): either the file holds all of them or it is
  // left as it was. Throws EIniFileException, before anything is written,
  // for a part that would not read back (as WriteString) or a file that
  // cannot be written.
  void ReplaceSection(std::string_view section, const std::vector<TEntry>& entries);

 private:
  std::string fileName_;
};

}  // namespace platform::os
