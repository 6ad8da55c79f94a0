#pragma once
// The OPC servers registered on a machine: ProgIDs found among the
// registry's class keys (those with an "OPC" subkey) and/or classes that
// the OPC server list object reports for component categories, kept as one
// list sorted by ProgID without regard to case, each class listed once.
// Every registry and COM failure stays inside a scan (it skips the key or
// class, or ends that scan); an empty list is a valid result. One object
// belongs to one thread.

#include "platform/com/Guid.h"
#include "platform/os/StringList.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace driver_dialogs {

// One enumerated server.
struct TOPCServerInfo {
  std::string ProgID;
  platform::com::CLSID CLSID{};
  // The ProgID key's default value, or the user type name from the server
  // list object.
  std::string Description;
  // The default value of "<ProgID>\OPC\Vendor"; empty from the server list
  // object.
  std::string Vendor;
};

class TOPCServerList {
 public:
  // Classes taken from one category's enumeration at most.
  static constexpr std::size_t kMaxCategoryClasses = 4096;

  // Stores the arguments; does not scan. An empty machine name is this
  // machine; the category scan runs when categories is not empty.
  TOPCServerList(std::string machineName, std::vector<platform::com::CATID> categories, bool useRegistry);
  ~TOPCServerList();
  TOPCServerList(const TOPCServerList&) = delete;
  TOPCServerList& operator=(const TOPCServerList&) = delete;

  // Clear, then a new list: the registry scan when use registry is set,
  // then the category scan when there are categories (adding only classes
  // the first did not list).
  void Refresh();
  // Frees every server and the list; Items() is null afterwards.
  void Clear();

  // Number of servers; 0 when there is no list.
  int Count() const;
  // The list: ProgIDs in order, each line's object its TOPCServerInfo
  // (owned by this object; the caller copies what it keeps). Null before
  // the first Refresh and after Clear.
  const platform::os::TStringList* Items() const { return servers_.get(); }
  // Class id of server index; GUID_NULL outside 0..Count()-1.
  platform::com::CLSID GetClassId(int index) const;

  // Adds a server unless its class is listed already. A ProgID equal to a
  // listed one (ignoring case) is refused and nothing changes. Makes the
  // list when there is none.
  void AddServer(const std::string& progId, const platform::com::CLSID& clsid, const std::string& vendor,
                 const std::string& description);
  // The class keys of the machine's registry (HKEY_CLASSES_ROOT) with an
  // "OPC" subkey whose ProgID resolves (CLSIDFromProgID, on this machine).
  void ScanRegistry();
  // The classes the OPC server list object (created on the machine) gives
  // for each category in turn (at most kMaxCategoryClasses of each),
  // through IOPCServerList2 or else IOPCServerList. Makes the calling thread
  // an apartment for its run when it is not one.
  void ScanServerBrowser();

 private:
  void NewList();  // empty, sorted without case, refusing duplicates

  std::string machineName_;
  std::vector<platform::com::CATID> categories_;
  bool useRegistry_;
  bool useCategories_;
  std::unique_ptr<platform::os::TStringList> servers_;
  std::vector<std::unique_ptr<TOPCServerInfo>> infos_;  // the objects of servers_
};

}  // namespace driver_dialogs
