#include "peers/opcsim/Simulation.h"

#include <cmath>
#include <cstdio>
#include <map>

#include "peers/opcsim/GroupState.h"
#include "peers/opcsim/ShutdownSinks.h"
#include "peers/opcsim/Stamps.h"

namespace opcsim {

namespace pc = platform::com;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kTick = std::chrono::milliseconds(10);
constexpr double kPi = 3.14159265358979323846;

std::mutex gSimulationsMutex;
std::map<std::string, std::weak_ptr<Simulation>> gSimulations;  // by class id text

bool SameValue(const pc::VARIANT& a, const pc::VARIANT& b) {
  if (a.vt != b.vt) return false;
  if (a.vt == pc::VT_BSTR) return pc::WideView(a.bstrVal) == pc::WideView(b.bstrVal);
  return a.rawValue == b.rawValue;
}

}  // namespace

pc::FILETIME FileTimeNow() {
  // 100-ns intervals between 1601-01-01 and 1970-01-01.
  constexpr std::uint64_t kEpochOffset = 116444736000000000ull;
  auto since = std::chrono::system_clock::now().time_since_epoch();
  std::uint64_t ticks = kEpochOffset + static_cast<std::uint64_t>(
                                           std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100);
  return pc::FILETIME{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

std::shared_ptr<Simulation> Simulation::ForClass(const pc::CLSID& clsid, pc::HRESULT& hr) {
  std::lock_guard lock(gSimulationsMutex);
  const std::string key = pc::GuidToString(clsid);
  if (auto existing = gSimulations[key].lock()) {
    hr = pc::S_OK;
    return existing;
  }
  SimulationInfo info;
  if (!FindSimulation(clsid, info)) {
    hr = pc::REGDB_E_CLASSNOTREG;
    return nullptr;
  }
  std::vector<ItemDefinition> items;
  std::string error;
  if (!LoadItemsFile(info.itemsPath, items, error)) {
    std::fprintf(stderr, "opcsim %s: %s\n", info.progId.c_str(), error.c_str());
    hr = pc::MakeHResult(0xC0040010u);  // OPC_E_INVALIDCONFIGFILE
    return nullptr;
  }
  std::shared_ptr<Simulation> simulation(new Simulation(std::move(info), std::move(items)));
  gSimulations[key] = simulation;
  hr = pc::S_OK;
  return simulation;
}

Simulation::Simulation(SimulationInfo info, std::vector<ItemDefinition> items)
    : info_(std::move(info)),
      faults_(info_.progId),
      journal_(info_.progId),
      commands_(info_.progId),
      startTime_(FileTimeNow()),
      started_(Clock::now()),
      random_(std::random_device{}()) {
  items_.reserve(items.size());
  for (auto& def : items) {
    Item item;
    item.def = std::move(def);
    item.next = started_;
    if (item.def.source == SourceKind::Ramp) item.state = item.def.a;
    item.sample.stamp = startTime_;
    item.sample.version = 1;
    double first = 0;
    if (item.def.source == SourceKind::Const) {
      item.sample.value = item.def.constValue;
    } else if (Compute(item, started_, first)) {
      pc::VariantValue number(first);
      if (pc::FAILED(pc::VariantChangeType(&item.sample.value.Get(), &number.Get(), 0, item.def.type)))
        item.sample.quality = pc::OPC_QUALITY_BAD;
    }
    // The first item of an id is the one found, as a search in order would.
    index_.emplace(item.def.id, static_cast<int>(items_.size()));
    items_.push_back(std::move(item));
  }
  thread_ = std::thread([this] { Run(); });
}

Simulation::~Simulation() {
  {
    std::lock_guard lock(stopMutex_);
    stop_ = true;
  }
  stopSignal_.notify_all();
  thread_.join();
}

int Simulation::FindItem(std::string_view id) const {
  const auto found = index_.find(std::string(id));
  return found == index_.end() ? -1 : found->second;
}

Sample Simulation::Read(int index) const {
  std::lock_guard lock(mutex_);
  return items_[static_cast<std::size_t>(index)].sample;
}

pc::HRESULT Simulation::Write(int index, const pc::VARIANT& value) {
  Item& item = items_[static_cast<std::size_t>(index)];
  pc::VariantValue converted;
  pc::HRESULT hr = pc::VariantChangeType(&converted.Get(), &value, 0, item.def.type);
  if (pc::FAILED(hr)) return hr;
  {
    std::lock_guard lock(mutex_);
    Change(item, converted.Get(), pc::OPC_QUALITY_GOOD);
  }
  if (StampFile::Instance().Enabled()) {
    pc::VariantValue number;
    if (pc::SUCCEEDED(pc::VariantChangeType(&number.Get(), &value, 0, pc::VT_R8)))
      StampFile::Instance().Record(StampKind::Write, 1, number.Get().dblVal);
  }
  return pc::S_OK;
}

void Simulation::Change(Item& item, const pc::VARIANT& value, pc::WORD quality) {
  if (SameValue(item.sample.value.Get(), value) && item.sample.quality == quality) return;
  pc::VariantCopy(&item.sample.value.Get(), &value);
  item.sample.quality = quality;
  item.sample.stamp = FileTimeNow();
  ++item.sample.version;
}

void Simulation::AddGroup(const std::shared_ptr<GroupState>& group) {
  std::lock_guard lock(mutex_);
  groups_.push_back(group);
}

void Simulation::AddShutdownSinks(const std::shared_ptr<ShutdownSinks>& sinks) {
  std::lock_guard lock(mutex_);
  shutdownSinks_.push_back(sinks);
}

pc::FILETIME Simulation::LastUpdateTime() const {
  std::lock_guard lock(mutex_);
  return lastUpdate_;
}

void Simulation::Updated() {
  pc::FILETIME now = FileTimeNow();
  std::lock_guard lock(mutex_);
  lastUpdate_ = now;
}

bool Simulation::Compute(Item& item, Clock::time_point now, double& value) {
  const ItemDefinition& d = item.def;
  switch (d.source) {
    case SourceKind::Const:
      return false;
    case SourceKind::Ramp:
      value = item.state;
      item.state = item.state + 1 > d.b ? d.a : item.state + 1;
      return true;
    case SourceKind::Counter:
      value = item.state;
      item.state += d.a;
      return true;
    case SourceKind::Sine: {
      double ms = std::chrono::duration<double, std::milli>(now - started_).count();
      value = d.a + d.b * std::sin(2 * kPi * ms / d.periodMs);
      return true;
    }
    case SourceKind::Random:
      value = std::uniform_real_distribution<double>(d.a, d.b)(random_);
      return true;
  }
  return false;
}

void Simulation::Step(Clock::time_point now) {
  std::lock_guard lock(mutex_);
  for (auto& item : items_) {
    if (item.def.source == SourceKind::Const || now < item.next) continue;
    item.next = now + std::chrono::milliseconds(item.def.everyMs);
    double number = 0;
    if (!Compute(item, now, number)) continue;
    pc::VariantValue source(number);
    pc::VariantValue converted;
    if (pc::SUCCEEDED(pc::VariantChangeType(&converted.Get(), &source.Get(), 0, item.def.type))) {
      Change(item, converted.Get(), item.sample.quality);
    } else if (item.def.source == SourceKind::Counter) {
      item.state = 0;  // past the type's range a counter starts again at 0
    }
  }
}

void Simulation::Obey(const std::string& command) {
  // "set QUALITY ITEM VALUE..." and "shutdown REASON..."
  if (command.rfind("shutdown ", 0) == 0) {
    pc::WideString reason = pc::AnsiToWide(command.substr(9));
    std::vector<std::shared_ptr<ShutdownSinks>> sinks;
    {
      std::lock_guard lock(mutex_);
      for (auto& weak : shutdownSinks_)
        if (auto s = weak.lock()) sinks.push_back(std::move(s));
    }
    for (auto& s : sinks) s->Send(reason);
    return;
  }
  if (command.rfind("set ", 0) != 0) return;
  std::size_t q = command.find(' ', 4);
  std::size_t i = q == std::string::npos ? q : command.find(' ', q + 1);
  if (i == std::string::npos) return;
  unsigned long quality = std::strtoul(command.substr(4, q - 4).c_str(), nullptr, 0);
  int index = FindItem(command.substr(q + 1, i - q - 1));
  if (index < 0 || quality > 0xFFFF) return;
  Item& item = items_[static_cast<std::size_t>(index)];
  pc::VariantValue text{std::u16string_view(pc::AnsiToWide(command.substr(i + 1)))};
  pc::VariantValue converted;
  if (pc::FAILED(pc::VariantChangeType(&converted.Get(), &text.Get(), 0, item.def.type))) return;
  std::lock_guard lock(mutex_);
  Change(item, converted.Get(), static_cast<pc::WORD>(quality));
}

void Simulation::Run() {
  int sincePoll = 0;
  for (;;) {
    {
      std::unique_lock lock(stopMutex_);
      if (stopSignal_.wait_for(lock, kTick, [this] { return stop_; })) return;
    }
    auto now = Clock::now();
    if (++sincePoll >= 5) {
      sincePoll = 0;
      for (const auto& command : commands_.Take()) Obey(command);
    }
    Step(now);
    std::vector<std::shared_ptr<GroupState>> groups;
    {
      std::lock_guard lock(mutex_);
      std::erase_if(groups_, [](const auto& g) { return g.expired(); });
      std::erase_if(shutdownSinks_, [](const auto& s) { return s.expired(); });
      for (auto& weak : groups_)
        if (auto g = weak.lock()) groups.push_back(std::move(g));
    }
    for (auto& group : groups) group->Tick(*this, now);
  }
}

}  // namespace opcsim
