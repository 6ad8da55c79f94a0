#pragma once
// The server's devices: one OPC Data Access server each, read from the
// device settings lines of the settings file. A device carries its settings,
// its link state, the receiver of its accepted values, its OPC items and
// its OPC connection (server, group, subscription, shutdown notices).
//
// Main thread only: the COM calls are made in the main thread's apartment,
// whose message loop delivers the data changes and shutdown notices.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/TArray.h"
#include "platform/com/OpcDa.h"
#include "server/OPCDA.h"
#include "server/VariableIndex.h"

namespace server {

class TDevice {
 public:
  // Settings at their defaults (DeviceAddress -1, Prefix "OPC", Precision
  // 0, not enabled), link down, an empty item index.
  TDevice();
  virtual ~TDevice();
  TDevice(const TDevice&) = delete;
  TDevice& operator=(const TDevice&) = delete;

  // Copies every setting and DeviceNumber from other; not the link state,
  // the receiver or the items. Nothing for nullptr.
  virtual void Assign(const TDevice* other);

  // Reads a device settings line pair by pair (keys case-sensitive, unknown
  // keys ignored) until it ends or a pair has no "=". A DeviceAddress that
  // is not a number reads as -1, a Precision that is not a number as 1 (no
  // upper bound). False only for an Enabled value that is not an integer;
  // the fields read before it stay.
  virtual bool SetSettingsLine(std::string_view line);

  // Connects to the OPC server OPCServerName: loads Items from the
  // description file, creates the server, advises the shutdown receiver,
  // creates the group (a fresh "_<32 hex digits>_" name, 500 ms, active),
  // adds each item with its position as client handle, subscribes by
  // OPCInterface and refreshes. Failures are reported (-25..-29, -31..-33);
  // false for no item, no server, no group or no subscription. Items that
  // the server refuses (-27) stay unregistered and the rest is served.
  bool Connect();
  // Empties Items, unadvises the shutdown receiver (reporting -31..-33), the
  // subscription and removes the group. The subscribers are detached, so
  // that nothing later reaches Items; interfaces are released with the
  // device. True.
  bool Disconnect();
  // Asks the group to send every item again (from the device); failures are
  // ignored.
  void RefreshItems();
  // Writes value (as VT_R8) to the OPC item linked to the variable (prefix,
  // deviceNumber, tagAddress) after checking description, domain, variable
  // and item; each failed check appends its line to log (CR LF ended) and
  // answers -18. 0 when the server took the value ("Данные переданы в OPC
  // сервер." without a line end).
  std::int32_t WriteCommand(std::string_view prefix, std::int32_t deviceNumber, std::string& log,
                            float value, std::int32_t tagAddress);
  // Sets the receiver of accepted values here and in the subscriber that
  // exists.
  void SetValueCallback(TValueCallback callback);

  // Link state transitions: up while the link is down writes 0.0 into the
  // link-control variable, down while it is up writes 1.0; every other call
  // changes nothing.
  void SetLinkState(bool up);
  // LinkCtrlTagName (when set) := 0.0 / 1.0.
  void WriteLinkOk();
  void WriteLinkLost();
  // Updates the dynamic variable name (never adds one) with value and the
  // time now. False without a section or when the table has no such name.
  bool WriteDynamicVariable(std::string_view name, float value);
  // The OPC server announced its shutdown: link down, then error -34 with
  // OPCServerName. The device is not reconnected.
  void OnServerShutdown();

  // Settings of the device settings line.
  std::string Name;
  std::int32_t DeviceAddress = -1;
  std::string OPCServerName;         // ProgID of the OPC server
  std::uint8_t OPCInterface = 0;     // 0 IAdviseSink, any other IOPCDataCallback
  std::string Prefix = "OPC";
  std::string Description;
  std::int32_t Precision = 0;
  bool Enabled = false;
  std::string TagListName;           // device name in the description file
  std::string LinkCtrlTagName;
  std::string ComandCtrlTagName;

  std::uint8_t LinkState = 0;        // 1 while the OPC link is up
  TValueCallback ValueCallback;      // receives every accepted item value
  std::unique_ptr<TOPCVariableIndex> Items;  // owned, never null
  platform::com::ComPtr<TOPCAdviseSink> AdviseSink;      // subscription in use (OPCInterface 0)
  platform::com::ComPtr<TOPCDataCallback> DataCallback;  // subscription in use (otherwise)
  platform::com::ComPtr<platform::com::IOPCServer> OPCServer;
  platform::com::ComPtr<platform::com::IOPCItemMgt> GroupItemMgt;
  platform::com::ComPtr<TOPCShutdown> Shutdown;          // bound to OnServerShutdown
  std::uint32_t ServerGroupHandle = 0;
  std::uint32_t AdviseCookie = 0;
  std::uint32_t ShutdownCookie = 0;
  std::uint32_t RefreshTransactionId = 0;
  std::int32_t DeviceNumber = 0;     // n of the device's "Device_" key

 private:
  void AdviseShutdown();
  // The server's IOPCShutdown connection point: 0, or the code reported
  // (-33 no container, -32 no point).
  std::int32_t ShutdownPoint(platform::com::ComPtr<platform::com::IConnectionPoint>& point);
  void AddItems();
  bool Subscribe();
  void DetachSubscribers();
  std::int32_t CheckAndWrite(const std::string& prefix, std::int32_t deviceNumber, std::string& log,
                             float value, std::int32_t tagAddress);
};

// Owned devices in settings-file order.
class TDeviceList : public common::TOwningList<TDevice, common::TBaseArray> {
 public:
  // Appends a copy (Assign) of each device of other, in order; nothing for
  // nullptr.
  virtual void Assign(const TDeviceList* other);

  // Empties the list, then reads "Error Manager" and "LOG Manager" (kept,
  // unused) and the Device_Count device lines of section. False, with an
  // empty list, for an empty path or section, a missing section or
  // Device_Count, a missing or refused device line, or a read failure.
  virtual bool LoadFromIni(const std::string& fileName, std::string_view section);

  // The device at index, nullptr outside 0..Count-1.
  virtual TDevice* GetDevice(std::int32_t index) const;

  // The first device with this DeviceAddress whose Prefix equals prefix
  // without case; nullptr when none.
  virtual TDevice* FindDevice(std::string_view prefix, std::int32_t address) const;

  // Index of the first device that the committed shared command batch is
  // for (batch id = DeviceAddress, batch name = Prefix without case); -1
  // without a section, for an empty batch, a state other than 1 or no
  // matching device.
  std::int32_t FindCommandDevice() const;

  bool ErrorManager = false;  // "Error Manager" of the settings file
  bool LogManager = false;    // "LOG Manager" of the settings file
};

}  // namespace server
