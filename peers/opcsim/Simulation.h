#pragma once
// One simulated OPC server of this process: its items with their current
// values, a thread that moves the values on and hands data changes to the
// groups, and the control files it obeys. All server objects of one class
// in a process share one simulation; it ends with the last of them.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "peers/opcsim/ItemsFile.h"
#include "peers/opcsim/Registration.h"
#include "peers/opcsim/SimControl.h"
#include "platform/com/OpcDa.h"

namespace opcsim {

class GroupState;
class ShutdownSinks;

// The current value of an item.
struct Sample {
  platform::com::VariantValue value;
  platform::com::WORD quality = platform::com::OPC_QUALITY_GOOD;
  platform::com::FILETIME stamp{};
  std::uint64_t version = 0;  // grows with every change of value or quality
};

// The current time as a FILETIME (UTC).
platform::com::FILETIME FileTimeNow();

class Simulation {
 public:
  // The simulation of a registered class, started on first use. Null with
  // `hr` (REGDB_E_CLASSNOTREG, or OPC_E_INVALIDCONFIGFILE for an items file
  // that does not parse, reported on stderr). Any thread.
  static std::shared_ptr<Simulation> ForClass(const platform::com::CLSID& clsid, platform::com::HRESULT& hr);
  ~Simulation();
  Simulation(const Simulation&) = delete;
  Simulation& operator=(const Simulation&) = delete;

  const SimulationInfo& Info() const { return info_; }
  bool Fault(std::string_view what) { return faults_.On(what); }
  void Journal(std::string_view line) { journal_.Append(line); }

  // Index of an item id, -1 when unknown. Any thread.
  int FindItem(std::string_view id) const;
  const ItemDefinition& Definition(int index) const { return items_[static_cast<std::size_t>(index)].def; }
  // A copy of the item's current value. Any thread.
  Sample Read(int index) const;
  // Gives the item a new value (converted to its type) with good quality.
  // The conversion's failure code when it cannot be converted. Any thread.
  platform::com::HRESULT Write(int index, const platform::com::VARIANT& value);

  // Groups and shutdown sinks the thread serves while they live. Any thread.
  void AddGroup(const std::shared_ptr<GroupState>& group);
  void AddShutdownSinks(const std::shared_ptr<ShutdownSinks>& sinks);

  platform::com::FILETIME StartTime() const { return startTime_; }
  platform::com::FILETIME LastUpdateTime() const;
  // Marks that data went to a client now. Any thread.
  void Updated();

 private:
  struct Item {
    ItemDefinition def;
    Sample sample;
    std::chrono::steady_clock::time_point next;
    double state = 0;  // ramp position or counter total
  };

  explicit Simulation(SimulationInfo info, std::vector<ItemDefinition> items);
  void Run();
  void Step(std::chrono::steady_clock::time_point now);
  void Obey(const std::string& command);
  void Change(Item& item, const platform::com::VARIANT& value, platform::com::WORD quality);
  bool Compute(Item& item, std::chrono::steady_clock::time_point now, double& value);

  const SimulationInfo info_;
  FaultSwitches faults_;
  const JournalWriter journal_;
  CommandReader commands_;
  const platform::com::FILETIME startTime_;
  const std::chrono::steady_clock::time_point started_;

  mutable std::mutex mutex_;  // items_' samples and states, the lists below
  std::vector<Item> items_;
  std::unordered_map<std::string, int> index_;  // item id -> first index; fixed after construction
  std::vector<std::weak_ptr<GroupState>> groups_;
  std::vector<std::weak_ptr<ShutdownSinks>> shutdownSinks_;
  platform::com::FILETIME lastUpdate_{};
  std::mt19937_64 random_;

  std::mutex stopMutex_;
  std::condition_variable stopSignal_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace opcsim
