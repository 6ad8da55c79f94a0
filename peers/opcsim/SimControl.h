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

struct inotify_event;

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
// Appends one journal line with one write to the end of the file, so that
// lines of several processes never mix (at most 64 MiB of journal are kept;
// later lines are dropped, and only writers racing at that bound may pass it
// by their lines). Any thread.
void AppendJournal(std::string_view progId, std::string_view line);
// The journal of one ProgID, its folder named once: Append is
// AppendJournal without naming the folder again. Any thread.
class JournalWriter {
 public:
  explicit JournalWriter(std::string_view progId);
  void Append(std::string_view line) const;

 private:
  std::string folder_;
  std::string path_;
};
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
//
// Changes are noticed through watches on the control folder and on the
// folder above it (which sees the control folder come and go at once, also
// while a descriptor open inside it delays the folder's own removal): while
// nothing touched the file or its folder, a check costs one read that finds
// no event. Without the watches (no watch to be had, or the folder above
// missing) every check compares the file's identity. A switch set before a
// check starts is seen by it either way: a change queues its events before
// it returns.
class FaultSwitches {
 public:
  explicit FaultSwitches(std::string progId);
  ~FaultSwitches();
  FaultSwitches(const FaultSwitches&) = delete;
  FaultSwitches& operator=(const FaultSwitches&) = delete;

  bool On(std::string_view what);

 private:
  // True while the watches stand and reported no change of the file.
  bool Unchanged();
  // Handles one event; false when it may concern the file.
  bool Unrelated(const struct inotify_event& event);
  // Sets up the watches that are missing; before the file is read, so that
  // a change after the read is an event.
  void Watch();
  void DropFolderWatch();
  void DropWatches();
  void Reload();

  // What identifies a version of the file.
  struct Stamp {
    bool exists = false;
    ino_t inode = 0;
    off_t size = 0;
    time_t seconds = 0;
    long nanoseconds = 0;
    bool operator==(const Stamp&) const = default;
  };
  std::string folder_;
  std::string parent_;      // the folder above the control folder
  std::string folderName_;  // the control folder's name in it
  std::string path_;
  int notify_ = -1;  // the watches' descriptor; -1 when none could be had
  int parentWatch_ = -1;
  int folderWatch_ = -1;  // -1 also while the control folder is missing
  std::mutex mutex_;
  Stamp stamp_;
  std::set<std::string> on_;
};

}  // namespace opcsim
