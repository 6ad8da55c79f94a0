#include "peers/kernel/DemoTable.h"

#include <cstdio>

namespace kernel {

namespace {

std::string Column(const std::string& text, int width) {
  char cell[64];
  std::snprintf(cell, sizeof cell, "%*s", width, text.c_str());
  return cell;
}

}  // namespace

void DemoTable::Receive(int32_t id, float value) {
  last_[id] = value;
  ++received_;
}

void DemoTable::CommandSent(int32_t id) { commandsSent_.insert(id); }

std::optional<float> DemoTable::Last(int32_t id) const {
  const auto found = last_.find(id);
  if (found == last_.end()) return std::nullopt;
  return found->second;
}

std::string DemoTable::Header() {
  return "   s  rec/s  BLR_TEMP  BLR_LEVEL%  BLR_SETP  BLR_ALARMS  MIX_SPEED  MIX_BATCH  MIX_SP      MIX_STATUS  "
         "link BLR/MIX    cmd BLR/MIX\n"
         "  --  -----  --------  ----------  --------  ----------  ---------  ---------  ------  ----------------  "
         "------------  -------------";
}

std::string DemoTable::Row(int second) {
  using namespace demo_ids;
  const std::string row = Column(std::to_string(second), 4) + Column(std::to_string(received_), 7) +
                          Column(Number(kBoilerTemperature, 2), 10) + Column(Number(kBoilerLevelPercent, 2), 12) +
                          Column(Number(kBoilerSetpoint, 1), 10) + Column(Bits(kBoilerAlarmBit0, 8), 12) +
                          Column(Number(kMixerSpeed, 1), 11) + Column(Number(kMixerBatch, 0), 11) +
                          Column(Number(kMixerSpeedSetpoint, 0), 8) + Column(Bits(kMixerStatusBit0, 16), 18) +
                          Column(LinkText(Last(kBoilerLink)) + "/" + LinkText(Last(kMixerLink)), 14) +
                          Column(Command(kBoilerCommand) + "/" + Command(kMixerCommand), 15);
  received_ = 0;
  return row;
}

std::string DemoTable::LinkText(std::optional<float> state) {
  if (!state) return "-";
  if (*state == 0.0f) return "up";
  if (*state == 1.0f) return "down";
  return "?";
}

std::string DemoTable::CommandText(std::optional<float> state) {
  if (!state) return "-";
  if (*state == 0.0f) return "queued";
  if (*state == 1.0f) return "done";
  if (*state == 2.0f) return "not sent";
  if (*state == 3.0f) return "refused";
  return "?";
}

std::string DemoTable::Bits(int32_t first, int width) const {
  std::string bits;
  for (int i = width - 1; i >= 0; --i) {
    // A bit that never arrived still holds its initial value 0.
    bits += Last(first + i).value_or(0.0f) != 0.0f ? '1' : '0';
  }
  return bits;
}

std::string DemoTable::Number(int32_t id, int precision) const {
  const std::optional<float> value = Last(id);
  if (!value) return "-";
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", precision, static_cast<double>(*value));
  return text;
}

std::string DemoTable::Command(int32_t id) const {
  return commandsSent_.contains(id) ? CommandText(Last(id)) : "-";
}

}  // namespace kernel
