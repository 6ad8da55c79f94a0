#pragma once
// The files through which opcsim-ctl steers simulations in other processes:
// one folder per ProgID below the registry folder (so it follows the IPC
// namespace) holding
//   commands  lines appended by opcsim-ctl ("set ITEM QUALITY VALUE",
//             "shutdown REASON"), read by every running simulation from the
//             point it started at;
//   faults    the fault switches that are on, one per line;
//   journal   one line per client action, appended by the simulations.

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace opcsim {

// True for a ProgID this tool accepts: 1..200 bytes of letters, digits,
// ".", "_" and "-", not starting with ".".
bool ValidProgId(std::string_view progId);
// The control folder of a ProgID (created on demand by the writers).
std::string ControlFolder(std::string_view progId);

// Fault names that `fail` accepts for a simulation; "additem:" and
// "write:" take an item id.
bool ValidFault(std::string_view what);

// The OPC server list object's control name (in place of a ProgID, which it
// has none of; no simulation may take it) and its one fault: the object
// refuses IOPCServerList2, so that clients fall back to IOPCServerList.
inline constexpr std::string_view kServerListControl = "serverlist";
inline constexpr std::string_view kServerList2Fault = "list2";

// Appends one line to the commands file. False when it cannot be written.
bool AppendCommand(std::string_view progId, std::string_view line);
// Switches a fault on or off. False when the file cannot be written.
bool SetFault(std::string_view progId, std::string_view what, bool on);
// Appends one journal line (at most 64 MiB of journal are kept; later lines
// are dropped). Any thread.
void AppendJournal(std::string_view progId, std::string_view line);
// The journal's text ("" when none).
std::string ReadJournal(std::string_view progId);
// Removes the control folder with its files.
void RemoveControl(std::string_view progId);

// Reads the commands appended after construction. One object per
// simulation; not thread-safe.
class CommandReader {
 public:
  explicit CommandReader(std::string progId);
  // Complete new lines since the last call (a line still being written is
  // left for later).
  std::vector<std::string> Take();

 private:
  std::string path_;
  off_t offset_ = 0;
  std::string partial_;
};

// The fault switches, re-read when the file changes. Thread-safe.
class FaultSwitches {
 public:
  explicit FaultSwitches(std::string progId);
  bool On(std::string_view what);

 private:
  // What identifies a version of the file.
  struct Stamp {
    bool exists = false;
    ino_t inode = 0;
    off_t size = 0;
    time_t seconds = 0;
    long nanoseconds = 0;
    bool operator==(const Stamp&) const = default;
  };
  std::string path_;
  std::mutex mutex_;
  Stamp stamp_;
  std::set<std::string> on_;
};

}  // namespace opcsim
