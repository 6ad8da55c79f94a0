#include "driver_dialogs/OPCenum.h"

#include "platform/com/Activation.h"
#include "platform/com/Apartment.h"
#include "platform/com/Memory.h"
#include "platform/com/OpcDa.h"
#include "platform/com/Registry.h"

#include <utility>

namespace driver_dialogs {

namespace com = platform::com;

namespace {

// A text of task memory handed out by the server list object; freed with
// CoTaskMemFree however the call went.
class TaskText {
 public:
  TaskText() = default;
  ~TaskText() { com::CoTaskMemFree(text_); }
  TaskText(const TaskText&) = delete;
  TaskText& operator=(const TaskText&) = delete;
  com::LPWSTR* Put() { return &text_; }
  std::string Ansi() const { return text_ != nullptr ? com::WideToAnsi(com::WideView(text_)) : std::string(); }

 private:
  com::LPWSTR text_ = nullptr;
};

// The server list object on the machine ("" this one); empty on failure.
com::ComPtr<com::IUnknown> CreateServerListObject(const std::string& machine) {
  try {
    return machine.empty() ? com::CreateComObject(com::CLSID_OpcServerList)
                           : com::CreateRemoteComObject(machine, com::CLSID_OpcServerList);
  } catch (const com::EOleSysError&) {
    return {};
  }
}

// The classes of one category, as the list object enumerates them, at most
// kMaxCategoryClasses: an enumerator that never ends stops there.
template <class List>
std::vector<com::CLSID> ClassesOf(List& list, com::CATID category) {
  std::vector<com::CLSID> classes;
  com::ComPtr<com::IEnumGUID> found;
  if (com::FAILED(list.EnumClassesOfCategories(1, &category, 0, nullptr, found.Put())) || !found) return classes;
  com::CLSID clsid{};
  std::uint32_t fetched = 0;
  while (classes.size() < TOPCServerList::kMaxCategoryClasses && found->Next(1, &clsid, &fetched) == com::S_OK &&
         fetched == 1)
    classes.push_back(clsid);
  return classes;
}

}  // namespace

TOPCServerList::TOPCServerList(std::string machineName, std::vector<com::CATID> categories, bool useRegistry)
    : machineName_(std::move(machineName)),
      categories_(std::move(categories)),
      useRegistry_(useRegistry),
      useCategories_(!categories_.empty()) {}

TOPCServerList::~TOPCServerList() { Clear(); }

void TOPCServerList::Refresh() {
  Clear();
  NewList();
  if (useRegistry_) ScanRegistry();
  if (useCategories_) ScanServerBrowser();
}

void TOPCServerList::NewList() {
  servers_ = std::make_unique<platform::os::TStringList>();
  servers_->SetSorted(true);  // without regard to case
  servers_->SetDuplicates(platform::os::TDuplicates::dupError);
}

void TOPCServerList::Clear() {
  servers_.reset();
  infos_.clear();
}

int TOPCServerList::Count() const { return servers_ ? servers_->Count() : 0; }

com::CLSID TOPCServerList::GetClassId(int index) const {
  if (index < 0 || index >= Count()) return com::GUID_NULL;
  return static_cast<const TOPCServerInfo*>(servers_->Objects(index))->CLSID;
}

void TOPCServerList::AddServer(const std::string& progId, const com::CLSID& clsid, const std::string& vendor,
                               const std::string& description) {
  if (!servers_) NewList();
  for (const auto& info : infos_)
    if (com::IsEqualGUID(info->CLSID, clsid)) return;
  auto info = std::make_unique<TOPCServerInfo>(TOPCServerInfo{progId, clsid, description, vendor});
  try {
    servers_->AddObject(progId, info.get());
  } catch (const platform::os::EStringListError&) {
    return;  // a listed ProgID (ignoring case): the new object goes
  }
  infos_.push_back(std::move(info));
}

void TOPCServerList::ScanRegistry() {
  com::TRegistry registry;
  registry.SetRootKey(com::HKEY_CLASSES_ROOT);
  if (!machineName_.empty()) {
    const std::string machine = machineName_.front() == '\\' ? machineName_ : "\\\\" + machineName_;
    if (!registry.RegistryConnect(machine)) return;
  }
  if (!registry.OpenKeyReadOnly("\\")) return;
  const std::vector<std::string> names = registry.GetKeyNames();
  registry.CloseKey();
  for (const std::string& name : names) {
    const std::string key = "\\" + name;
    if (!registry.OpenKeyReadOnly(key)) continue;
    const std::string description = registry.ReadString("");
    com::CLSID clsid{};
    // ProgIDs resolve on this machine, also when the registry scanned is another's.
    if (registry.OpenKeyReadOnly(key + "\\OPC") &&
        com::SUCCEEDED(com::CLSIDFromProgID(com::AnsiToWide(name).c_str(), &clsid))) {
      const std::string vendor = registry.OpenKeyReadOnly(key + "\\OPC\\Vendor") ? registry.ReadString("") : "";
      AddServer(name, clsid, vendor, description);
    }
    registry.CloseKey();
  }
}

void TOPCServerList::ScanServerBrowser() {
  const com::ApartmentScope apartment;  // released after every interface below
  const com::ComPtr<com::IUnknown> object = CreateServerListObject(machineName_);
  if (!object) return;
  const auto list2 = object.As<com::IOPCServerList2>();
  const auto list = list2 ? com::ComPtr<com::IOPCServerList>() : object.As<com::IOPCServerList>();
  if (!list2 && !list) return;
  for (const com::CATID& category : categories_) {
    for (const com::CLSID& clsid : list2 ? ClassesOf(*list2.Get(), category) : ClassesOf(*list.Get(), category)) {
      TaskText progId, userType, independent;
      const com::HRESULT hr = list2 ? list2->GetClassDetails(clsid, progId.Put(), userType.Put(), independent.Put())
                                    : list->GetClassDetails(clsid, progId.Put(), userType.Put());
      if (com::SUCCEEDED(hr)) AddServer(progId.Ansi(), clsid, "", userType.Ansi());
    }
  }
}

}  // namespace driver_dialogs
