#pragma once
// The registry calls of the platform over the file-backed store: keys below
// HKEY_CLASSES_ROOT with string values, the registry of another machine
// through RegConnectRegistryA, and TRegistry, the class the system's code
// works with. Key and value names are compared without case.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/RegistryStore.h"

namespace platform::com {

// Handle of an open key. Handles of a process are never reused.
using HKEY = std::uint32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;

inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr std::uint32_t KEY_READ = 0x20019;
inline constexpr std::uint32_t KEY_WRITE = 0x20006;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;

// Longest key or value name, and longest key path, in bytes.
inline constexpr std::size_t kMaxRegistryName = 255;
inline constexpr std::size_t kMaxRegistryPath = 1024;

// Opens HKEY_CLASSES_ROOT of a machine. `machine` null or "" is this
// machine; otherwise "\\NAME" or "NAME", whose registry is the file
// NAME.reg of the registry folder ("local" names this machine's file).
// ERROR_BAD_NETPATH when that file does not exist or the name is not a
// machine name; ERROR_INVALID_HANDLE when `key` is not HKEY_CLASSES_ROOT.
// Close the handle with RegCloseKey. Any thread.
LONG RegConnectRegistryA(const char* machine, HKEY key, HKEY* result);
// Opens an existing sub-key ("A\B" paths; null or "" opens `key` again).
// Writes through the handle need KEY_SET_VALUE or KEY_CREATE_SUB_KEY in
// `samDesired`. ERROR_FILE_NOT_FOUND when absent. Any thread.
LONG RegOpenKeyExA(HKEY key, const char* subKey, std::uint32_t options, std::uint32_t samDesired,
                   HKEY* result);
// Opens a sub-key for writing, creating it and its missing parents. Any thread.
LONG RegCreateKeyA(HKEY key, const char* subKey, HKEY* result);
// Closes an opened handle; closing HKEY_CLASSES_ROOT does nothing. Any thread.
LONG RegCloseKey(HKEY key);
// Name of sub-key `index`, sub-keys ordered by name without case;
// ERROR_NO_MORE_ITEMS past the last. Any thread.
LONG RegEnumKeyA(HKEY key, std::uint32_t index, std::string& name);
// A string value (null or "" names the default value); ERROR_FILE_NOT_FOUND
// when it is not set. Any thread.
LONG RegQueryValueExA(HKEY key, const char* name, std::string& value);
// Sets a string value; ERROR_ACCESS_DENIED through a read-only handle.
// Any thread.
LONG RegSetValueExA(HKEY key, const char* name, std::string_view value);
// Removes a value; ERROR_FILE_NOT_FOUND when it is not set. Any thread.
LONG RegDeleteValueA(HKEY key, const char* name);
// Removes a sub-key with everything below it (null or "": everything below
// `key`, which stays). Any thread.
LONG RegDeleteTreeA(HKEY key, const char* subKey);

// One open key at a time below a root, as the class library offers it.
// A key path starting with "\" counts from the root, any other from the
// current key. One object belongs to one thread.
class TRegistry {
 public:
  TRegistry();
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return root_; }
  // Only HKEY_CLASSES_ROOT is kept; false for any other root.
  bool SetRootKey(HKEY key);
  // Connects the root to another machine's registry (RegConnectRegistryA);
  // false when that fails, leaving the root as it was.
  bool RegistryConnect(const std::string& machine);
  bool OpenKey(std::string_view key, bool canCreate);
  bool OpenKeyReadOnly(std::string_view key);
  void CloseKey();
  bool KeyExists(std::string_view key);
  bool DeleteKey(std::string_view key);
  // Names of the current key's sub-keys (of the root when no key is open).
  std::vector<std::string> GetKeyNames();
  bool ValueExists(std::string_view name);
  // The string value, "" when absent ("" as name reads the default value).
  std::string ReadString(std::string_view name);
  bool WriteString(std::string_view name, std::string_view value);
  // Path of the open key below the root, "" when none.
  const std::string& CurrentPath() const { return path_; }

 private:
  std::string Resolve(std::string_view key) const;
  HKEY Current() const { return current_ != 0 ? current_ : root_; }

  HKEY root_ = HKEY_CLASSES_ROOT;
  bool ownsRoot_ = false;
  HKEY current_ = 0;
  std::string path_;
};

}  // namespace platform::com
