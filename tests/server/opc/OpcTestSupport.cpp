#include "tests/server/opc/OpcTestSupport.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/Opc_Description.h"
#include "platform/com/Apartment.h"
#include "platform/os/Text.h"
#include "platform/win/MessageLoop.h"
#include "server/ServerData.h"
#include "tests/peers/opcsim/TestClient.h"

namespace opc_test {

const char* const kItems =
    "Sim.Level  R4   const 1.5 writable\n"
    "Sim.Mode   UI2  const 3 writable\n"
    "Sim.Name   BSTR const \"abc\"\n";

const char* const kDescription =
    "<OPC_Description>\r\n"
    " <device name=\"Plant\">\r\n"
    "  <tagstlist>\r\n"
    "   <opctag name=\"Sim.Level\" type=\"float\" proc=\"value\" hvaddress=\"1\"/>\r\n"
    "   <opctag name=\"Sim.Mode\" type=\"word\" proc=\"value\" hvaddress=\"2\"/>\r\n"
    "   <opctag name=\"Sim.Name\" type=\"float\" proc=\"value\" hvaddress=\"3\"/>\r\n"
    "  </tagstlist>\r\n"
    " </device>\r\n"
    " <device name=\"Bare\"/>\r\n"
    "</OPC_Description>\r\n";

void OpcTest::SetUp() {
  ASSERT_FALSE(folder_.Path().empty());
  ::setenv("FERROWICK_REGISTRY_DIR", folder_.Path().c_str(), 1);
}

void OpcTest::TearDown() {
  // Devices hold COM interfaces: they go before the apartment ends.
  server::DeviceList.reset();
  ServerTest::TearDown();
  if (comInitialised_) platform::com::CoUninitialize();
  ::unsetenv("FERROWICK_REGISTRY_DIR");
}

void OpcTest::Prepare(const std::string& items, const std::vector<server_test::TestVariable>& extra,
                      const std::string& description) {
  const std::string itemsFile = folder_.Write("items.txt", items);
  ASSERT_EQ(Ctl({"register", kProgId, itemsFile}), 0);
  ASSERT_EQ(platform::com::CoInitialize(nullptr), platform::com::S_OK);
  comInitialised_ = true;
  std::vector<server_test::TestVariable> variables = {
      {101, "LEVEL", "OPC:DEVICE=1;ADDRESS=1", -1.0f},
      {102, "MODE", "OPC:DEVICE=1;ADDRESS=2", -1.0f},
      {103, "NAME", "OPC:DEVICE=1;ADDRESS=3", -1.0f}};
  variables.insert(variables.end(), extra.begin(), extra.end());
  OpenSection(variables);
  ASSERT_TRUE(driver_->DynemicVariables()->AddOrUpdate("LINK", false, 5.0f, 0.0));
  ASSERT_TRUE(driver_->DynemicVariables()->AddOrUpdate("CMD", false, 5.0f, 0.0));
  BuildVariableIndex();
  LoadDescription(description);
}

std::unique_ptr<server::TDevice> OpcTest::PlantDevice(std::uint8_t opcInterface, std::int32_t precision) {
  auto device = std::make_unique<server::TDevice>();
  device->Name = "Plant";
  device->DeviceAddress = 1;
  device->OPCServerName = kProgId;
  device->OPCInterface = opcInterface;
  device->Prefix = "OPC";
  device->Precision = precision;
  device->Enabled = true;
  device->TagListName = "Plant";
  device->LinkCtrlTagName = "LINK";
  device->ComandCtrlTagName = "CMD";
  return device;
}

int OpcTest::Ctl(const std::vector<std::string>& args) { return opcsimtest::RunCtl(args); }

std::string OpcTest::Journal() {
  std::string out;
  opcsimtest::RunCtl({"journal", kProgId}, &out);
  return out;
}

bool OpcTest::PumpUntil(const std::function<bool()>& condition, std::uint32_t ms) {
  return platform::win::WaitPumping(condition, ms);
}

void OpcTest::Pump(std::uint32_t ms) { platform::win::WaitPumping([] { return false; }, ms); }

std::vector<std::pair<std::int32_t, std::string>> OpcTest::ErrorEntries() const {
  const exchange::TServerErrorBlock block = Errors();
  std::vector<std::pair<std::int32_t, std::string>> entries;
  for (std::int32_t i = 0; i < block.Count; ++i)
    entries.emplace_back(block.Entries[i].Code,
                         platform::os::Cp1251ToUtf8(server_test::EntryText(block.Entries[i])));
  return entries;
}

std::int32_t OpcTest::CountErrors(std::int32_t code) const {
  std::int32_t n = 0;
  for (const auto& [c, text] : ErrorEntries()) n += c == code ? 1 : 0;
  return n;
}

float OpcTest::Dynamic(const std::string& name) const {
  exchange::TDynemicVariablesList& table = *driver_->DynemicVariables();
  for (std::int32_t i = 0; i < table.Count(); ++i) {
    exchange::TDynemicItem item{};
    if (table.GetItem(i, item) && exchange::ShortStringOf(item.Name) == name) return item.Value;
  }
  return std::numeric_limits<float>::quiet_NaN();
}

}  // namespace opc_test
