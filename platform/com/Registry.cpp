#include "platform/com/Registry.h"

#include <unistd.h>

#include <iterator>
#include <map>
#include <mutex>

namespace platform::com {

namespace {

constexpr std::size_t kMaxValueSize = 1u << 20;

struct KeyInfo {
  std::string machine;
  std::vector<std::string> path;
  bool writable = false;
};

// Process-wide table of open keys.
class KeyTable {
 public:
  static KeyTable& Instance() {
    static KeyTable table;
    return table;
  }
  bool Find(HKEY key, KeyInfo& info) {
    if (key == HKEY_CLASSES_ROOT) {
      info = KeyInfo{std::string(kLocalMachine), {}, true};
      return true;
    }
    std::lock_guard lock(mutex_);
    auto it = keys_.find(key);
    if (it == keys_.end()) return false;
    info = it->second;
    return true;
  }
  HKEY Add(KeyInfo info) {
    std::lock_guard lock(mutex_);
    HKEY key = next_++;
    if (next_ >= HKEY_CLASSES_ROOT) next_ = 1;  // 2^31 opens in one process
    keys_.emplace(key, std::move(info));
    return key;
  }
  bool Remove(HKEY key) {
    std::lock_guard lock(mutex_);
    return keys_.erase(key) != 0;
  }

 private:
  std::mutex mutex_;
  HKEY next_ = 1;
  std::map<HKEY, KeyInfo> keys_;
};

bool ValidName(std::string_view name) {
  if (name.empty() || name.size() > kMaxRegistryName) return false;
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

// Splits "A\B\C" (empty parts skipped) and appends to `parts`.
LONG SplitPath(const char* subKey, std::vector<std::string>& parts) {
  if (subKey == nullptr) return ERROR_SUCCESS;
  std::string_view path(subKey);
  if (path.size() > kMaxRegistryPath) return ERROR_INVALID_PARAMETER;
  std::size_t p = 0;
  while (p <= path.size()) {
    std::size_t q = path.find('\\', p);
    if (q == std::string_view::npos) q = path.size();
    std::string_view part = path.substr(p, q - p);
    if (!part.empty()) {
      if (!ValidName(part)) return ERROR_INVALID_PARAMETER;
      parts.emplace_back(part);
    }
    p = q + 1;
  }
  return ERROR_SUCCESS;
}

const RegistryNode* FindNode(const RegistryNode& root, const std::vector<std::string>& path) {
  const RegistryNode* node = &root;
  for (const auto& part : path) {
    auto it = node->children.find(RegistryFold(part));
    if (it == node->children.end()) return nullptr;
    node = &it->second;
  }
  return node;
}

RegistryNode* FindNode(RegistryNode& root, const std::vector<std::string>& path) {
  return const_cast<RegistryNode*>(FindNode(static_cast<const RegistryNode&>(root), path));
}

LONG ValueName(const char* name, std::string& out) {
  out = name ? name : "";
  if (!out.empty() && !ValidName(out)) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegConnectRegistryA(const char* machine, HKEY key, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = 0;
  if (key != HKEY_CLASSES_ROOT) return ERROR_INVALID_HANDLE;
  std::string_view name = machine ? machine : "";
  if (name.empty()) {
    *result = HKEY_CLASSES_ROOT;
    return ERROR_SUCCESS;
  }
  if (name.size() >= 2 && name[0] == '\\' && name[1] == '\\') name.remove_prefix(2);
  std::string file = RegistryMachineFile(name);
  if (file.empty()) return ERROR_BAD_NETPATH;
  std::string canonical = RegistryFold(name);
  if (canonical != kLocalMachine && ::access(file.c_str(), R_OK) != 0) return ERROR_BAD_NETPATH;
  *result = KeyTable::Instance().Add(KeyInfo{canonical, {}, true});
  return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, std::uint32_t, std::uint32_t samDesired,
                   HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = 0;
  KeyInfo info;
  if (!KeyTable::Instance().Find(key, info)) return ERROR_INVALID_HANDLE;
  if (LONG rc = SplitPath(subKey, info.path); rc != ERROR_SUCCESS) return rc;
  LONG rc = ReadRegistry(info.machine, [&](const RegistryNode& root) {
    return FindNode(root, info.path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
  if (rc != ERROR_SUCCESS) return rc;
  info.writable = (samDesired & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0;
  *result = KeyTable::Instance().Add(std::move(info));
  return ERROR_SUCCESS;
}

LONG RegCreateKeyA(HKEY key, const char* subKey, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = 0;
  KeyInfo info;
  if (!KeyTable::Instance().Find(key, info)) return ERROR_INVALID_HANDLE;
  if (!info.writable) return ERROR_ACCESS_DENIED;
  if (LONG rc = SplitPath(subKey, info.path); rc != ERROR_SUCCESS) return rc;
  LONG rc = WriteRegistry(info.machine, [&](RegistryNode& root) {
    RegistryNode* node = &root;
    for (const auto& part : info.path) {
      RegistryNode& child = node->children[RegistryFold(part)];
      if (child.name.empty()) child.name = part;
      node = &child;
    }
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  *result = KeyTable::Instance().Add(std::move(info));
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
  return KeyTable::Instance().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegEnumKeyA(HKEY key, std::uint32_t index, std::string& name) {
  KeyInfo info;
  if (!KeyTable::Instance().Find(key, info)) return ERROR_INVALID_HANDLE;
  return ReadRegistry(info.machine, [&](const RegistryNode& root) {
    const RegistryNode* node = FindNode(root, info.path);
    if (node == nullptr) return ERROR_FILE_NOT_FOUND;
    if (index >= node->children.size()) return ERROR_NO_MORE_ITEMS;
    auto it = node->children.begin();
    std::advance(it, index);
    name = it->second.name;
    return ERROR_SUCCESS;
  });
}

LONG RegQueryValueExA(HKEY key, const char* name, std::string& value) {
  KeyInfo info;
  if (!KeyTable::Instance().Find(key, info)) return ERROR_INVALID_HANDLE;
  std::string valueName;
  if (LONG rc = ValueName(name, valueName); rc != ERROR_SUCCESS) return rc;
  return ReadRegistry(info.machine, [&](const RegistryNode& root) {
    const RegistryNode* node = FindNode(root, info.path);
    if (node == nullptr) return ERROR_FILE_NOT_FOUND;
    auto it = node->values.find(RegistryFold(valueName));
    if (it == node->values.end()) return ERROR_FILE_NOT_FOUND;
    value = it->second.data;
    return ERROR_SUCCESS;
  });
}

LONG RegSetValueExA(HKEY key, const char* name, std::string_view value) {
  KeyInfo info;
  if (!KeyTable::Instance().Find(key, info)) return ERROR_INVALID_HANDLE;
  if (!info.writable) return ERROR_ACCESS_DENIED;
  std::string valueName;
  if (LONG rc = ValueName(name, valueName); rc != ERROR_SUCCESS) return rc;
  if (value.size() > kMaxValueSize) return ERROR_INVALID_PARAMETER;
  return WriteRegistry(info.machine, [&](RegistryNode& root) {
    RegistryNode* node = FindNode(root, info.path);
    if (node == nullptr) return ERROR_FILE_NOT_FOUND;
    node->values[RegistryFold(valueName)] = RegistryNode::Value{valueName, std::string(value)};
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueA(HKEY key, const char* name) {
  KeyInfo info;
  if (!KeyTable::Instance().Find(key, info)) return ERROR_INVALID_HANDLE;
  if (!info.writable) return ERROR_ACCESS_DENIED;
  std::string valueName;
  if (LONG rc = ValueName(name, valueName); rc != ERROR_SUCCESS) return rc;
  return WriteRegistry(info.machine, [&](RegistryNode& root) {
    RegistryNode* node = FindNode(root, info.path);
    if (node == nullptr || node->values.erase(RegistryFold(valueName)) == 0)
      return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteTreeA(HKEY key, const char* subKey) {
  KeyInfo info;
  if (!KeyTable::Instance().Find(key, info)) return ERROR_INVALID_HANDLE;
  if (!info.writable) return ERROR_ACCESS_DENIED;
  std::vector<std::string> sub;
  if (LONG rc = SplitPath(subKey, sub); rc != ERROR_SUCCESS) return rc;
  return WriteRegistry(info.machine, [&](RegistryNode& root) {
    RegistryNode* base = FindNode(root, info.path);
    if (base == nullptr) return ERROR_FILE_NOT_FOUND;
    if (sub.empty()) {
      base->children.clear();
      base->values.clear();
      return ERROR_SUCCESS;
    }
    std::vector<std::string> parentPath(sub.begin(), sub.end() - 1);
    RegistryNode* parent = FindNode(*base, parentPath);
    if (parent == nullptr || parent->children.erase(RegistryFold(sub.back())) == 0)
      return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
  });
}

TRegistry::TRegistry() = default;

TRegistry::~TRegistry() {
  CloseKey();
  if (ownsRoot_) RegCloseKey(root_);
}

bool TRegistry::SetRootKey(HKEY key) {
  if (key != HKEY_CLASSES_ROOT) return false;
  CloseKey();
  if (ownsRoot_) RegCloseKey(root_);
  root_ = key;
  ownsRoot_ = false;
  return true;
}

bool TRegistry::RegistryConnect(const std::string& machine) {
  HKEY remote = 0;
  if (RegConnectRegistryA(machine.c_str(), HKEY_CLASSES_ROOT, &remote) != ERROR_SUCCESS) return false;
  CloseKey();
  if (ownsRoot_) RegCloseKey(root_);
  root_ = remote;
  ownsRoot_ = remote != HKEY_CLASSES_ROOT;
  return true;
}

std::string TRegistry::Resolve(std::string_view key) const {
  if (!key.empty() && key.front() == '\\') return std::string(key.substr(1));
  if (path_.empty()) return std::string(key);
  if (key.empty()) return path_;
  return path_ + "\\" + std::string(key);
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
  std::string path = Resolve(key);
  HKEY h = 0;
  LONG rc = canCreate ? RegCreateKeyA(root_, path.c_str(), &h)
                      : RegOpenKeyExA(root_, path.c_str(), 0, KEY_ALL_ACCESS, &h);
  if (rc != ERROR_SUCCESS) return false;
  CloseKey();
  current_ = h;
  path_ = path;
  return true;
}

bool TRegistry::OpenKeyReadOnly(std::string_view key) {
  std::string path = Resolve(key);
  HKEY h = 0;
  if (RegOpenKeyExA(root_, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  CloseKey();
  current_ = h;
  path_ = path;
  return true;
}

void TRegistry::CloseKey() {
  if (current_ != 0) RegCloseKey(current_);
  current_ = 0;
  path_.clear();
}

bool TRegistry::KeyExists(std::string_view key) {
  std::string path = Resolve(key);
  HKEY h = 0;
  if (RegOpenKeyExA(root_, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

bool TRegistry::DeleteKey(std::string_view key) {
  std::string path = Resolve(key);
  if (path.empty()) return false;  // never the whole root by accident
  return RegDeleteTreeA(root_, path.c_str()) == ERROR_SUCCESS;
}

std::vector<std::string> TRegistry::GetKeyNames() {
  std::vector<std::string> names;
  std::string name;
  for (std::uint32_t i = 0; RegEnumKeyA(Current(), i, name) == ERROR_SUCCESS; ++i)
    names.push_back(name);
  return names;
}

bool TRegistry::ValueExists(std::string_view name) {
  std::string value;
  return RegQueryValueExA(Current(), std::string(name).c_str(), value) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(std::string_view name) {
  std::string value;
  if (RegQueryValueExA(Current(), std::string(name).c_str(), value) != ERROR_SUCCESS) value.clear();
  return value;
}

bool TRegistry::WriteString(std::string_view name, std::string_view value) {
  return RegSetValueExA(Current(), std::string(name).c_str(), value) == ERROR_SUCCESS;
}

}  // namespace platform::com
