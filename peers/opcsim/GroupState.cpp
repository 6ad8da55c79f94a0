#include "peers/opcsim/GroupState.h"

#include <cstring>

#include "peers/opcsim/Simulation.h"
#include "peers/opcsim/Stamps.h"
#include "platform/com/OpcStream.h"

namespace opcsim {

namespace pc = platform::com;

namespace {

// A global block freed when the last delivery holding it is gone.
struct BlockOwner {
  explicit BlockOwner(pc::HGLOBAL h) : handle(h) {}
  ~BlockOwner() { pc::GlobalFree(handle); }
  BlockOwner(const BlockOwner&) = delete;
  BlockOwner& operator=(const BlockOwner&) = delete;
  pc::HGLOBAL handle;
};

// The arrays of one IOPCDataCallback.OnDataChange.
struct CallbackData {
  std::vector<pc::OPCHANDLE> clients;
  std::vector<pc::VARIANT> values;
  std::vector<pc::WORD> qualities;
  std::vector<pc::FILETIME> stamps;
  std::vector<pc::HRESULT> errors;
  CallbackData() = default;
  CallbackData(const CallbackData&) = delete;
  CallbackData& operator=(const CallbackData&) = delete;
  ~CallbackData() {
    for (auto& v : values) pc::VariantClear(&v);
  }
};

// Makes a stream's header claim more items than it holds (fault "badstream").
void Corrupt(pc::HGLOBAL block) {
  auto* bytes = static_cast<std::uint8_t*>(pc::GlobalLock(block));
  if (bytes == nullptr) return;
  pc::DWORD count = 0;
  std::memcpy(&count, bytes + 4, 4);
  count += 1000;
  std::memcpy(bytes + 4, &count, 4);
  pc::GlobalUnlock(block);
}

// Stamps the hand-over of a delivery for benchmarks (see Stamps.h).
void StampDelivery(const CallbackData& data) {
  StampFile& stamps = StampFile::Instance();
  if (!stamps.Enabled()) return;
  pc::VARIANT first;
  pc::VariantInit(&first);
  double value = 0;
  if (pc::SUCCEEDED(pc::VariantChangeType(&first, &data.values.front(), 0, pc::VT_R8))) value = first.dblVal;
  pc::VariantClear(&first);
  stamps.Record(StampKind::Delivery, static_cast<std::uint32_t>(data.clients.size()), value);
}

}  // namespace

GroupState::GroupState(std::string name, pc::OPCHANDLE clientGroup, std::uint32_t rateMs, bool active)
    : name_(std::move(name)), clientGroup_(clientGroup), rateMs_(rateMs), active_(active) {}

pc::HRESULT GroupState::AddItem(Simulation& sim, const pc::OPCITEMDEF& def, pc::OPCITEMRESULT& result) {
  result = pc::OPCITEMRESULT{};
  std::string id = pc::WideToAnsi(pc::WideView(def.szItemID, kMaxItemIdLength + 1));
  if (id.empty() || id.size() > kMaxItemIdLength) return pc::OPC_E_INVALIDITEMID;
  if (sim.Fault("additem:" + id)) return pc::E_FAIL;
  int index = sim.FindItem(id);
  if (index < 0) return pc::OPC_E_UNKNOWNITEMID;
  // A type no value converts to is refused (the platform reads some types
  // it does not convert to); an empty value converts to every other one.
  pc::VariantValue probe;
  const pc::VariantValue empty;
  if (pc::VariantChangeType(&probe.Get(), &empty.Get(), 0, def.vtRequestedDataType) == pc::DISP_E_BADVARTYPE)
    return pc::OPC_E_BADTYPE;
  const ItemDefinition& d = sim.Definition(index);
  std::lock_guard lock(mutex_);
  pc::OPCHANDLE handle = nextHandle_++;
  items_.emplace(handle, Item{index, def.hClient, def.vtRequestedDataType, def.bActive != 0});
  result.hServer = handle;
  result.vtCanonicalDataType = d.type;
  result.dwAccessRights = pc::OPC_READABLE | (d.writable ? pc::OPC_WRITEABLE : 0);
  return pc::S_OK;
}

int GroupState::ItemIndex(pc::OPCHANDLE serverHandle) {
  std::lock_guard lock(mutex_);
  auto it = items_.find(serverHandle);
  return it == items_.end() ? -1 : it->second.index;
}

pc::HRESULT GroupState::AdviseStream(Simulation& sim, const pc::FORMATETC& format, std::uint32_t advf,
                                     pc::IAdviseSink* sink, std::uint32_t* cookie) {
  if (sink == nullptr || cookie == nullptr) return pc::E_POINTER;
  *cookie = 0;
  const bool withTime = format.cfFormat == pc::RegisterClipboardFormatA(pc::kOpcStreamFormatDataTime);
  if (!withTime && format.cfFormat != pc::RegisterClipboardFormatA(pc::kOpcStreamFormatData))
    return pc::DV_E_FORMATETC;
  if ((format.tymed & pc::TYMED_HGLOBAL) == 0) return pc::DV_E_TYMED;
  auto apartment = pc::Apartment::Current();
  if (!apartment) return pc::CO_E_NOTINITIALIZED;
  if (sim.Fault("advise")) return pc::E_FAIL;
  std::lock_guard lock(mutex_);
  for (const auto& [c, s] : subscriptions_)
    if (s.stream && s.format == format.cfFormat) return pc::CONNECT_E_ADVISELIMIT;
  Subscription sub;
  sub.stream = true;
  sub.withTime = withTime;
  sub.format = format.cfFormat;
  sub.adviseSink = pc::ComPtr<pc::IAdviseSink>(sink);
  sub.apartment = std::move(apartment);
  sub.advised = std::make_shared<std::atomic<bool>>(true);
  *cookie = nextCookie_++;
  Subscription& stored = subscriptions_.emplace(*cookie, std::move(sub)).first->second;
  if ((advf & pc::ADVF_PRIMEFIRST) != 0 && !removed_) Deliver(sim, stored, true, 0);
  return pc::S_OK;
}

pc::HRESULT GroupState::AdviseCallback(Simulation& sim, pc::IUnknown* sink, std::uint32_t* cookie) {
  if (sink == nullptr || cookie == nullptr) return pc::E_POINTER;
  *cookie = 0;
  auto apartment = pc::Apartment::Current();
  if (!apartment) return pc::CO_E_NOTINITIALIZED;
  if (sim.Fault("advise")) return pc::CONNECT_E_CANNOTCONNECT;
  pc::ComPtr<pc::IOPCDataCallback> callback;
  if (pc::FAILED(sink->QueryInterface(pc::IOPCDataCallback::iid, callback.PutVoid()))) return pc::CONNECT_E_CANNOTCONNECT;
  std::lock_guard lock(mutex_);
  for (const auto& [c, s] : subscriptions_)
    if (!s.stream) return pc::CONNECT_E_ADVISELIMIT;
  Subscription sub;
  sub.callback = std::move(callback);
  sub.apartment = std::move(apartment);
  sub.advised = std::make_shared<std::atomic<bool>>(true);
  *cookie = nextCookie_++;
  Subscription& stored = subscriptions_.emplace(*cookie, std::move(sub)).first->second;
  if (!removed_) Deliver(sim, stored, true, 0);  // the initial values
  return pc::S_OK;
}

pc::HRESULT GroupState::Unadvise(std::uint32_t cookie, bool stream) {
  Subscription removed;  // released outside the lock
  std::lock_guard lock(mutex_);
  auto it = subscriptions_.find(cookie);
  if (it == subscriptions_.end() || it->second.stream != stream) return pc::CONNECT_E_NOCONNECTION;
  it->second.advised->store(false);
  removed = std::move(it->second);
  subscriptions_.erase(it);
  return pc::S_OK;
}

pc::HRESULT GroupState::Refresh(Simulation& sim, std::uint32_t cookie, std::uint32_t* transactionId) {
  if (transactionId == nullptr) return pc::E_POINTER;
  std::lock_guard lock(mutex_);
  auto it = subscriptions_.find(cookie);
  if (it == subscriptions_.end()) return pc::E_INVALIDARG;
  bool anyActive = false;
  for (const auto& [h, item] : items_) anyActive = anyActive || item.active;
  if (!anyActive || !active_ || removed_) return pc::E_FAIL;
  *transactionId = nextTransaction_++;
  Deliver(sim, it->second, true, *transactionId);
  return pc::S_OK;
}

void GroupState::Remove() {
  std::map<std::uint32_t, Subscription> dropped;  // released outside the lock
  std::lock_guard lock(mutex_);
  removed_ = true;
  for (auto& [c, s] : subscriptions_) s.advised->store(false);
  dropped.swap(subscriptions_);
}

void GroupState::Tick(Simulation& sim, std::chrono::steady_clock::time_point now) {
  std::lock_guard lock(mutex_);
  if (removed_ || !active_ || now < nextSend_) return;
  nextSend_ = now + std::chrono::milliseconds(rateMs_);
  for (auto it = subscriptions_.begin(); it != subscriptions_.end();) {
    if (Deliver(sim, it->second, false, 0)) {
      ++it;
    } else {
      it->second.advised->store(false);
      it = subscriptions_.erase(it);
    }
  }
}

bool GroupState::Deliver(Simulation& sim, Subscription& sub, bool all, std::uint32_t transactionId) {
  auto data = std::make_shared<CallbackData>();
  for (const auto& [handle, item] : items_) {
    if (!item.active) continue;
    Sample sample = sim.Read(item.index);
    std::uint64_t& sent = sub.sent[handle];
    if (!all && sent == sample.version) continue;
    sent = sample.version;
    pc::VARIANT value;
    pc::VariantInit(&value);
    pc::VARTYPE type = item.requested == pc::VT_EMPTY ? sample.value.Get().vt : item.requested;
    if (pc::FAILED(pc::VariantChangeType(&value, &sample.value.Get(), 0, type))) sample.quality = pc::OPC_QUALITY_BAD;
    data->clients.push_back(item.client);
    data->values.push_back(value);
    data->qualities.push_back(sample.quality);
    data->stamps.push_back(sample.stamp);
    data->errors.push_back(pc::S_OK);
  }
  if (data->clients.empty()) return true;
  sim.Updated();
  if (sub.stream) {
    std::vector<pc::OpcStreamItem> items;
    for (std::size_t i = 0; i < data->clients.size(); ++i)
      items.push_back(pc::OpcStreamItem{data->clients[i], data->qualities[i], data->stamps[i], data->values[i]});
    pc::HGLOBAL block = pc::WriteOpcDataStream(clientGroup_, transactionId, pc::S_OK, items, sub.withTime);
    if (block == nullptr) return true;  // out of memory: this update is lost, the subscriber stays
    if (sim.Fault("badstream")) Corrupt(block);
    auto owner = std::make_shared<BlockOwner>(block);
    StampDelivery(*data);
    return sub.apartment->Post([sink = sub.adviseSink, advised = sub.advised, format = sub.format, owner] {
      if (!advised->load()) return;
      pc::FORMATETC f{format, nullptr, pc::DVASPECT_CONTENT, -1, pc::TYMED_HGLOBAL};
      pc::STGMEDIUM m{pc::TYMED_HGLOBAL, owner->handle, nullptr};
      sink->OnDataChange(&f, &m);
    });
  }
  pc::HRESULT masterQuality = pc::S_OK;
  for (pc::WORD q : data->qualities)
    if ((q & pc::OPC_QUALITY_MASK) != pc::OPC_QUALITY_GOOD) masterQuality = pc::S_FALSE;
  StampDelivery(*data);
  return sub.apartment->Post([sink = sub.callback, advised = sub.advised, data, transactionId, group = clientGroup_,
                       masterQuality] {
    if (!advised->load()) return;
    sink->OnDataChange(transactionId, group, masterQuality, pc::S_OK, static_cast<pc::DWORD>(data->clients.size()),
                       data->clients.data(), data->values.data(), data->qualities.data(), data->stamps.data(),
                       data->errors.data());
  });
}

}  // namespace opcsim
