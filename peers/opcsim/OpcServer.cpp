#include "peers/opcsim/OpcServer.h"

#include "platform/com/Memory.h"

namespace opcsim {

namespace pc = platform::com;

namespace {

constexpr pc::DWORD kMinUpdateRate = 10;
constexpr std::size_t kMaxGroupName = 255;
constexpr pc::WORD kMajorVersion = 1;
constexpr pc::WORD kMinorVersion = 0;
constexpr pc::WORD kBuildNumber = 30;

}  // namespace

OpcServer::OpcServer(std::shared_ptr<Simulation> sim)
    : sim_(std::move(sim)), shutdownSinks_(std::make_shared<ShutdownSinks>()) {
  sim_->AddShutdownSinks(shutdownSinks_);
  std::weak_ptr<ShutdownSinks> sinks = shutdownSinks_;
  std::weak_ptr<Simulation> weakSim = sim_;
  shutdownPoint_ = pc::ComPtr<pc::IConnectionPoint>(new ConnectionPoint(
      [sinks, weakSim](pc::IUnknown* sink, std::uint32_t* cookie) -> pc::HRESULT {
        auto s = sinks.lock();
        auto sim = weakSim.lock();
        if (!s || !sim) return pc::E_UNEXPECTED;
        if (sim->Fault("shutdownadvise")) {
          if (cookie != nullptr) *cookie = 0;
          return pc::CONNECT_E_CANNOTCONNECT;
        }
        return s->Advise(sink, cookie);
      },
      [sinks](std::uint32_t cookie) -> pc::HRESULT {
        auto s = sinks.lock();
        return s ? s->Unadvise(cookie) : pc::E_UNEXPECTED;
      }));
  sim_->Journal("connect");
}

OpcServer::~OpcServer() {
  for (auto& [handle, group] : groups_) group->Remove();
  sim_->Journal("disconnect");
}

bool OpcServer::Offers(const pc::IID& riid) const {
  return !(riid == pc::IConnectionPointContainer::iid && sim_->Fault("container"));
}

pc::HRESULT OpcServer::AddGroup(pc::LPCWSTR name, pc::BOOL active, pc::DWORD requestedUpdateRate,
                                pc::OPCHANDLE clientGroup, std::int32_t*, float*, pc::DWORD,
                                pc::OPCHANDLE* serverGroup, pc::DWORD* revisedUpdateRate, const pc::IID& riid,
                                pc::IUnknown** group) {
  if (serverGroup == nullptr || group == nullptr) return pc::E_INVALIDARG;
  *group = nullptr;
  *serverGroup = 0;
  std::string groupName = pc::WideToAnsi(pc::WideView(name, kMaxGroupName + 1));
  if (groupName.size() > kMaxGroupName) return pc::E_INVALIDARG;
  if (sim_->Fault("addgroup")) {
    sim_->Journal("addgroup " + groupName + " " + std::to_string(requestedUpdateRate));
    return pc::E_FAIL;
  }
  const pc::DWORD rate = requestedUpdateRate < kMinUpdateRate ? kMinUpdateRate : requestedUpdateRate;
  std::lock_guard lock(mutex_);
  if (groupName.empty()) groupName = "Group" + std::to_string(nextGroup_);
  for (const auto& [h, g] : groups_)
    if (g->Name() == groupName) return pc::OPC_E_DUPLICATENAME;
  sim_->Journal("addgroup " + groupName + " " + std::to_string(rate));
  auto state = std::make_shared<GroupState>(groupName, clientGroup, rate, active != 0);
  pc::ComPtr<pc::IOPCItemMgt> object(new OpcGroup(sim_, state));
  pc::HRESULT hr = object->QueryInterface(riid, reinterpret_cast<void**>(group));
  if (pc::FAILED(hr)) return hr;
  sim_->AddGroup(state);
  *serverGroup = nextGroup_++;
  groups_.emplace(*serverGroup, std::move(state));
  if (revisedUpdateRate != nullptr) *revisedUpdateRate = rate;
  return rate == requestedUpdateRate ? pc::S_OK : pc::OPC_S_UNSUPPORTEDRATE;
}

pc::HRESULT OpcServer::GetStatus(pc::OPCSERVERSTATUS** status) {
  if (status == nullptr) return pc::E_INVALIDARG;
  *status = nullptr;
  if (sim_->Fault("status")) return pc::E_FAIL;
  auto* s = static_cast<pc::OPCSERVERSTATUS*>(pc::CoTaskMemAlloc(sizeof(pc::OPCSERVERSTATUS)));
  if (s == nullptr) return pc::E_OUTOFMEMORY;
  *s = pc::OPCSERVERSTATUS{};
  s->ftStartTime = sim_->StartTime();
  s->ftCurrentTime = FileTimeNow();
  s->ftLastUpdateTime = sim_->LastUpdateTime();
  s->dwServerState = pc::OPC_STATUS_RUNNING;
  {
    std::lock_guard lock(mutex_);
    s->dwGroupCount = static_cast<pc::DWORD>(groups_.size());
  }
  s->dwBandWidth = 0xFFFFFFFFu;
  s->wMajorVersion = kMajorVersion;
  s->wMinorVersion = kMinorVersion;
  s->wBuildNumber = kBuildNumber;
  if (!sim_->Fault("novendor")) {
    s->szVendorInfo = pc::CoTaskMemWideString(pc::AnsiToWide(sim_->Info().vendor));
    if (s->szVendorInfo == nullptr) {
      pc::CoTaskMemFree(s);
      return pc::E_OUTOFMEMORY;
    }
  }
  *status = s;
  return pc::S_OK;
}

pc::HRESULT OpcServer::RemoveGroup(pc::OPCHANDLE serverGroup, pc::BOOL) {
  std::shared_ptr<GroupState> group;
  {
    std::lock_guard lock(mutex_);
    auto it = groups_.find(serverGroup);
    if (it == groups_.end()) return pc::E_INVALIDARG;
    group = std::move(it->second);
    groups_.erase(it);
  }
  group->Remove();
  sim_->Journal("removegroup");
  return pc::S_OK;
}

pc::HRESULT OpcServer::FindConnectionPoint(const pc::IID& riid, pc::IConnectionPoint** point) {
  if (point == nullptr) return pc::E_POINTER;
  *point = nullptr;
  if (!(riid == pc::IOPCShutdown::iid) || sim_->Fault("shutdownpoint")) return pc::CONNECT_E_NOCONNECTION;
  *point = shutdownPoint_.Get();
  (*point)->AddRef();
  return pc::S_OK;
}

}  // namespace opcsim
