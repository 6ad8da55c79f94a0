#pragma once
// Support for the OPC client tests: each test registers the simulation
// "Sim.Plant" with its own items in a registry folder of its own, makes
// the test thread an apartment, and opens the driver's section with the
// plant's variables and dynamic variables.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "server/DeviceWindow.h"
#include "tests/server/ServerTestSupport.h"

namespace opc_test {

inline constexpr const char* kProgId = "Sim.Plant";

// The items of the simulation (const values; tests change them with
// opcsim-ctl set).
extern const char* const kItems;
// The description of device "Plant": Sim.Level (float, address 1),
// Sim.Mode (word, 2), Sim.Name (float, 3); device "Bare" has no tags.
extern const char* const kDescription;

// Variable positions in the shared table.
enum Variable : std::int32_t { kLevel = 0, kMode = 1, kName = 2 };

class OpcTest : public server_test::ServerTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sets up registry, simulation, section (with these extra variables after
  // the three of the plant), variable index and description.
  void Prepare(const std::string& items = kItems, const std::vector<server_test::TestVariable>& extra = {},
               const std::string& description = kDescription);
  // A device of the plant (address 1, prefix OPC, "LINK"/"CMD" control
  // variables), enabled.
  static std::unique_ptr<server::TDevice> PlantDevice(std::uint8_t opcInterface = 0, std::int32_t precision = 0);

  // Runs opcsim-ctl; its exit code.
  int Ctl(const std::vector<std::string>& args);
  std::string Journal();
  // Handles messages until condition holds (at most ms).
  bool PumpUntil(const std::function<bool()>& condition, std::uint32_t ms = 20000);
  void Pump(std::uint32_t ms);

  // The error list entries (code, UTF-8 text).
  std::vector<std::pair<std::int32_t, std::string>> ErrorEntries() const;
  std::int32_t CountErrors(std::int32_t code) const;
  // The value of a dynamic variable; NaN when it is not there.
  float Dynamic(const std::string& name) const;

  server_test::TempFolder folder_;
  bool comInitialised_ = false;
};

}  // namespace opc_test
