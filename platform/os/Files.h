#pragma once
// Files and paths. Paths are byte strings passed to the file system as they
// stand; the path delimiter is "/" (a backslash is an ordinary character on
// Linux). None of these throws; every function may be called from any
// thread.

#include <string>
#include <string_view>

namespace platform::os {

inline constexpr char PathDelim = '/';

// True when path names an existing regular file (directories answer false).
bool FileExists(const std::string& path);

// Removes the file; false when it does not exist or cannot be removed.
bool DeleteFile(const std::string& path);

// Copies src to dst with its permissions. An existing dst is replaced only
// when overwrite is true. A dst without any write permission counts as
// read-only and is never replaced. False on every failure.
bool CopyFile(const std::string& src, const std::string& dst, bool overwrite);

// True when both paths are spelled the same, or name one existing file
// (a symbolic link, a doubled separator, "." steps).
bool SameFile(const std::string& a, const std::string& b);

// The extension of the last path element, dot included ("" when none).
std::string ExtractFileExt(std::string_view path);
// Path with the extension of its last element replaced by ext (ext carries
// its dot; "" removes the extension); appended when there is none.
std::string ChangeFileExt(std::string_view path, std::string_view ext);
// Everything up to and including the last delimiter ("" when none).
std::string ExtractFilePath(std::string_view path);
// The last path element.
std::string ExtractFileName(std::string_view path);
// Path with one delimiter at its end (an empty path stays empty).
std::string IncludeTrailingPathDelimiter(std::string_view path);

// The running program's own file, absolute ("" when it cannot be read).
std::string ProgramPath();

// Every byte of the file into bytes. False when it cannot be opened or a
// read fails (bytes then holds what was read).
bool ReadFileBytes(const std::string& path, std::string& bytes);

// Appends line and CR LF to the file in one write, creating the file when
// missing. False on any I/O error; a write that fails part-way (a full
// disk) is cut off again, so the file ends where it ended before. Never
// throws.
bool AppendLine(const std::string& path, std::string_view line);

}  // namespace platform::os
