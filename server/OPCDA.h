#pragma once
// The OPC DA client's receiving side: the registered stream formats, the
// two data-change subscribers of a device (the stream sink of IAdviseSink
// and the IOPCDataCallback object) and the IOPCShutdown object.
//
// The subscribers apply the quality and deadband rules to each item of a
// data change and hand every accepted item to the device's value callback.
// They hold the device's items without owning them; the device detaches
// them (Detach) before its items go, so a call that arrives later finds
// nothing to do.
//
// Every callback arrives on the main thread (the apartment's message
// loop); none of these objects is used from another thread.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/com/OpcDa.h"
#include "server/DeliveryOrder.h"
#include "server/VariableIndex.h"

namespace server {

// Ids of the registered stream formats.
struct TOPCFormats {
  std::uint32_t Data = 0;            // "OPCSTMFORMATDATA": item headers without time
  std::uint32_t DataTime = 0;        // "OPCSTMFORMATDATATIME": with time stamps
  std::uint32_t WriteComplete = 0;   // "OPCSTMFORMATWRITECOMPLETE": registered, unused
};

// The three formats, registered with RegisterClipboardFormatA at the first
// call (the program calls it at start). Any thread.
const TOPCFormats& OPCFormats();

// The buffers of one data change's handling, kept for the next: the order
// of handling and the OPC item of each of its items (nullptr for a handle
// that is no position of the items).
struct TDataChangePass {
  TDeliveryOrder Order;
  std::vector<TOPCVariableIndexItem*> Items;
};

// Stream subscriber (OPC DA 1.0 data object).
class TOPCAdviseSink final : public platform::com::ComObject<platform::com::IAdviseSink> {
 public:
  TOPCAdviseSink(TOPCVariableIndex* items, TValueCallback callback)
      : Items(items), ValueCallback(std::move(callback)) {}

  // Reads the stream of a data change in one of the two data formats with
  // every size, count and offset checked, and handles its items in the
  // order of their rows (TDeliveryOrder); items whose client handle is no
  // position of Items are skipped, a stream whose item headers do not fit
  // in it is not read. Bad quality: -23 on good -> bad.
  // VT_BSTR: -24 for each. Others: converted to a 4-byte float (a failure
  // is -22 on good -> bad) and passed on by the deadband rule.
  void OnDataChange(platform::com::FORMATETC* format, platform::com::STGMEDIUM* medium) override;
  void OnViewChange(std::uint32_t, std::int32_t) override {}
  void OnRename(platform::com::IUnknown*) override {}
  void OnSave() override {}
  void OnClose() override {}

  // Forgets Items and the callback: later data changes do nothing.
  void Detach();

  TOPCVariableIndex* Items;       // not owned
  TValueCallback ValueCallback;

 private:
  TDataChangePass pass_;
};

// Callback subscriber (OPC DA 2.0). Quality 0xC0 exactly is good, every
// other word bad; no text test (text that reads as a number converts).
class TOPCDataCallback final : public platform::com::ComObject<platform::com::IOPCDataCallback> {
 public:
  TOPCDataCallback(TOPCVariableIndex* items, TValueCallback callback)
      : Items(items), ValueCallback(std::move(callback)) {}

  // Both handle their arrays item by item as described above, in the order
  // of the items' rows (TDeliveryOrder); S_OK always
  // (also for missing arrays, which carry nothing to handle).
  platform::com::HRESULT OnDataChange(platform::com::DWORD transactionId, platform::com::OPCHANDLE group,
                                      platform::com::HRESULT masterQuality, platform::com::HRESULT masterError,
                                      platform::com::DWORD count, platform::com::OPCHANDLE* clientItems,
                                      platform::com::VARIANT* values, platform::com::WORD* qualities,
                                      platform::com::FILETIME* timeStamps, platform::com::HRESULT* errors) override;
  platform::com::HRESULT OnReadComplete(platform::com::DWORD transactionId, platform::com::OPCHANDLE group,
                                        platform::com::HRESULT masterQuality, platform::com::HRESULT masterError,
                                        platform::com::DWORD count, platform::com::OPCHANDLE* clientItems,
                                        platform::com::VARIANT* values, platform::com::WORD* qualities,
                                        platform::com::FILETIME* timeStamps, platform::com::HRESULT* errors) override;
  platform::com::HRESULT OnWriteComplete(platform::com::DWORD, platform::com::OPCHANDLE, platform::com::HRESULT,
                                         platform::com::DWORD, platform::com::OPCHANDLE*,
                                         platform::com::HRESULT*) override {
    return platform::com::S_OK;
  }
  platform::com::HRESULT OnCancelComplete(platform::com::DWORD, platform::com::OPCHANDLE) override {
    return platform::com::S_OK;
  }

  // Forgets Items and the callback: later data changes do nothing.
  void Detach();

  TOPCVariableIndex* Items;       // not owned
  TValueCallback ValueCallback;

 private:
  void HandleArrays(platform::com::DWORD count, const platform::com::OPCHANDLE* clientItems,
                    const platform::com::VARIANT* values, const platform::com::WORD* qualities);

  TDataChangePass pass_;
};

// Receiver of the OPC server's shutdown notice.
class TOPCShutdown final : public platform::com::ComObject<platform::com::IOPCShutdown> {
 public:
  explicit TOPCShutdown(std::function<void()> callback) : Callback(std::move(callback)) {}
  // Calls Callback when set; S_OK.
  platform::com::HRESULT ShutdownRequest(platform::com::LPCWSTR reason) override;
  std::function<void()> Callback;
};

// The quality and deadband rules for one item of either path. good: the
// quality counts as good on that path; value: the value or null when it
// did not convert (or, on the stream path, was text); both paths count an
// empty value (VT_EMPTY) as not converted. A NaN or an infinity counts as
// a failed conversion and never becomes the item's Value.
// Reports -22/-23 on good -> bad and calls callback for an accepted value.
// Main thread.
void HandleItemValue(TOPCVariableIndexItem& item, bool good, const float* value,
                     const TValueCallback& callback);

}  // namespace server
