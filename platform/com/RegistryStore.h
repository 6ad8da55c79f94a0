#pragma once
// The file behind the registry: one text file per machine, "<machine>.reg"
// in the registry folder, holding keys below HKEY_CLASSES_ROOT with their
// default and named string values. Readers see a file that a writer
// replaced whole (write aside, then rename); writers of all processes take
// turns through a lock file.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace platform::com {

using LONG = std::int32_t;

// Registry result codes.
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_BAD_NETPATH = 53;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_BADDB = 1009;
inline constexpr LONG ERROR_CANTWRITE = 1013;
inline constexpr LONG ERROR_LOCK_FAILED = 167;

// Name of this machine's registry file (without the extension).
inline constexpr std::string_view kLocalMachine = "local";

// The folder of the registry files: $FERROWICK_REGISTRY_DIR, else
// ~/.local/share/ferrowick/registry/<IPC namespace or "default">. Read at
// each call; any thread.
std::string RegistryDirectory();
// Path of a machine's file; "" when the name is not a plain machine name
// (letters, digits, "-", "_" and "." not first, at most 63). Names are
// compared without case. Any thread.
std::string RegistryMachineFile(std::string_view machine);

// One key: its name as created, sub-keys and values by case-folded name.
// The default value is the value named "".
struct RegistryNode {
  struct Value {
    std::string name;
    std::string data;
  };
  std::string name;
  std::map<std::string, RegistryNode> children;
  std::map<std::string, Value> values;
};

// Case folding of key and value names (ASCII and the CP1251 letters).
std::string RegistryFold(std::string_view name);

// Runs `reader` on the current tree of `machine` (empty when the file does
// not exist). ERROR_BADDB when the file is damaged, else the reader's
// answer. Any thread.
LONG ReadRegistry(std::string_view machine, const std::function<LONG(const RegistryNode&)>& reader);
// Runs `writer` on a copy of the current tree and, when it answers
// ERROR_SUCCESS, stores the copy. ERROR_BADDB for a damaged file (which
// stays as it is), ERROR_LOCK_FAILED when another writer holds the lock
// for more than 5 s, ERROR_CANTWRITE when the file cannot be written.
// Any thread.
LONG WriteRegistry(std::string_view machine, const std::function<LONG(RegistryNode&)>& writer);

// Serialised form of a tree and back (exposed for tests). ParseRegistry
// answers false on a damaged text.
std::string SerializeRegistry(const RegistryNode& root);
bool ParseRegistry(std::string_view text, RegistryNode& root);

}  // namespace platform::com
