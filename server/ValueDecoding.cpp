#include "server/ValueDecoding.h"

#include "common/Evaluations.h"
#include "exchange/OPCSharedMemory.h"
#include "platform/os/Convert.h"
#include "platform/os/Text.h"
#include "server/ServerData.h"
#include "server/ServerDevices.h"

#include <cmath>
#include <exception>
#include <limits>

namespace server {

namespace os = platform::os;
using common::TOPCProcKind;
using common::TOPCTagItem;
using common::TOPCTagType;

namespace {

constexpr std::string_view kValuePlaceholder = "%VALUE%";

std::string DecodingErrorLine(std::string_view expression, std::string_view error) {
  std::string line = "Decoding error(";
  line.append(expression).append("): ").append(error);
  return line;
}

// The value rounded to the nearest integer (halves to even); false for a
// NaN, an infinity or a value outside the 64-bit signed range.
bool RoundToInt64(double value, std::int64_t& out) {
  if (!std::isfinite(value)) return false;
  const double rounded = std::nearbyint(value);
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (rounded < -kLimit || rounded >= kLimit) return false;
  out = static_cast<std::int64_t>(rounded);
  return true;
}

std::int64_t CutToType(std::int64_t value, TOPCTagType type, int& width) {
  switch (type) {
    case TOPCTagType::otByte: width = 8; return static_cast<std::uint8_t>(value);
    case TOPCTagType::otShortInt: width = 8; return static_cast<std::int8_t>(value);
    case TOPCTagType::otInteger: width = 16; return static_cast<std::int16_t>(value);
    case TOPCTagType::otWord: width = 16; return static_cast<std::uint16_t>(value);
    case TOPCTagType::otLongInt: width = 32; return static_cast<std::int32_t>(value);
    case TOPCTagType::otLongWord: width = 32; return static_cast<std::uint32_t>(value);
    default: return value;
  }
}

bool IsIntegerType(TOPCTagType type) {
  return type >= TOPCTagType::otByte && type <= TOPCTagType::otLongWord;
}

// Writes value to the variable at address of the item's device; the
// item's own variable is found through the item's hint.
void WriteToDevice(const TOPCVariableIndexItem& item, float value, std::int32_t address) {
  if (address == item.TagAddress)
    VariableIndex->WriteValue(item.Prefix, item.DeviceAddress, value, address, item.VariableHint);
  else
    VariableIndex->WriteValue(item.Prefix, item.DeviceAddress, value, address);
}

// Writes the bits 0..width-1 of bits as 1.0 / 0.0 to the addresses from
// address on; addresses past the 32-bit range name no variable.
void WriteBits(const TOPCVariableIndexItem& item, std::int32_t address, const TCastValue& cast) {
  for (int i = 0; i < cast.Width; ++i) {
    const std::int64_t target = static_cast<std::int64_t>(address) + i;
    if (target > std::numeric_limits<std::int32_t>::max()) return;
    const float bit = ((static_cast<std::uint64_t>(cast.Bits) >> i) & 1u) != 0 ? 1.0f : 0.0f;
    WriteToDevice(item, bit, static_cast<std::int32_t>(target));
  }
}

// Writes the element's decoded value; true when it wrote its own address.
bool WriteElement(const TOPCVariableIndexItem& item, const TOPCTagItem& element,
                  const TCastValue& cast) {
  if (element.Address < 0) return false;
  if (element.ProcKind == TOPCProcKind::pkBitString) {
    WriteBits(item, element.Address, cast);
    return true;
  }
  if (element.ProcKind == TOPCProcKind::pkValue) {
    WriteToDevice(item, cast.Value, element.Address);
    return true;
  }
  return false;
}

// Runs the chain of head; false when an exception of the evaluation ended
// the decoding. headWrote tells whether the head's own element wrote its
// address (the item's own variable).
bool DecodeChain(const TOPCVariableIndexItem& item, const TOPCTagItem& head,
                 TTerminalClass& terminal, bool& headWrote) {
  headWrote = false;
  if (head.ProcKind == TOPCProcKind::pkEmpty) return true;
  common::TEvaluation evaluation;
  const bool hasExpression = !os::TrimView(head.Expression).empty();
  for (const TOPCTagItem* element = &head; element != nullptr; element = element->NextItem.get()) {
    os::Variant work = os::Variant::Double(item.Value);
    std::string error;
    if (hasExpression) {
      try {
        work = evaluation.Evaluation(SubstituteValue(head.Expression, item.Value), error);
      } catch (const std::exception&) {
        terminal.AddLine("Expression error: " + head.Expression);
        return false;
      }
      if (!error.empty() || work.IsNull() || work.IsEmpty()) {
        terminal.AddLine(DecodingErrorLine(head.Expression, error));
        continue;
      }
    }
    TCastValue cast;
    if (!CastWorkValue(work, element->TagType, element->ProcKind == TOPCProcKind::pkBitString, cast,
                       error)) {
      terminal.AddLine(DecodingErrorLine(head.Expression, error));
      continue;
    }
    const bool wrote = WriteElement(item, *element, cast);
    if (element == &head) headWrote = wrote;
  }
  return true;
}

// The device of the item in devices when its number is wanted.
bool IsFollowed(const TOPCVariableIndexItem& item, const TDeviceList& devices, std::int32_t number) {
  if (number < 0) return false;
  const TDevice* device = devices.FindDevice(item.Prefix, item.DeviceAddress);
  return device != nullptr && device->DeviceNumber == number;
}

// Shared terminal 1 follows the item's device.
bool FollowedBySharedTerminal(const TOPCVariableIndexItem& item, const TDeviceList& devices) {
  return SectionOpen() && IsFollowed(item, devices, Intercom->Terminal1()->GetOwnerId());
}

void FeedSharedTerminal(const TOPCVariableIndexItem& item, TTerminalClass& terminal, std::string_view line) {
  exchange::TTerminalClass& shared = *Intercom->Terminal1();
  if (terminal.DeviceAddress != item.DeviceAddress) terminal.Clear();
  terminal.DeviceAddress = item.DeviceAddress;
  terminal.AddLine(line);
  shared.WriteText(TerminalText(terminal));
}

}  // namespace

void AddTerminalLine(os::TStringList& lines, std::string_view line) {
  lines.Add(line);
  while (lines.Count() > kMaxTerminalLines) lines.Delete(0);
}

std::string TerminalText(const os::TStringList& lines) {
  constexpr std::size_t kRoom = exchange::kMaxTerminalText;
  std::size_t size = 0;
  int first = lines.Count();
  while (first > 0 && size + lines[first - 1].size() + 2 <= kRoom) {
    --first;
    size += lines[first].size() + 2;
  }
  std::string text;
  if (first == lines.Count() && first > 0) {
    // The newest line alone is too long: its beginning is kept.
    text.assign(lines[first - 1], 0, kRoom - 2);
    text += "\r\n";
    return text;
  }
  text.reserve(size);
  for (int i = first; i < lines.Count(); ++i) text.append(lines[i]).append("\r\n");
  return text;
}

std::string SubstituteValue(std::string_view expression, float raw) {
  std::string value = os::FloatToStr(raw);
  for (char& c : value)
    if (c == ',') c = '.';
  const std::string upper = os::AnsiUpperCase(expression);
  std::string result;
  std::size_t from = 0;
  for (std::size_t at = upper.find(kValuePlaceholder); at != std::string::npos;
       at = upper.find(kValuePlaceholder, from)) {
    result.append(expression.substr(from, at - from)).append(value);
    from = at + kValuePlaceholder.size();
  }
  result.append(expression.substr(from));
  return result;
}

bool CastWorkValue(const os::Variant& work, TOPCTagType type, bool wantBits, TCastValue& out,
                   std::string& error) {
  double value = 0.0;
  try {
    value = work.ToDouble();
  } catch (const os::EVariantError& e) {
    error = e.what();
    return false;
  }
  out = TCastValue{};
  if (IsIntegerType(type) || wantBits) {
    std::int64_t whole = 0;
    if (!RoundToInt64(value, whole)) {
      error = os::EInvalidOp().what();
      return false;
    }
    out.Bits = CutToType(whole, type, out.Width);
    if (type == TOPCTagType::otSingle) out.Width = 32;
    if (IsIntegerType(type)) {
      out.Value = static_cast<float>(out.Bits);
      return true;
    }
  }
  if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
    error = os::EOverflow().what();
    return false;
  }
  out.Value = static_cast<float>(value);
  if (type == TOPCTagType::otSingle) out.Width = 32;
  return true;
}

void DecodeTagValue(const TOPCVariableIndexItem& item, const TDeviceList& devices,
                    TTerminalClass& terminal) {
  if (!VariableIndex) return;
  bool headWrote = false;
  if (item.Decoder && !DecodeChain(item, *item.Decoder, terminal, headWrote)) return;
  // The raw value goes to the item's own variable unless the tag's own
  // decoded value (or its bit 0) has just been written there: writing the
  // raw value over it would undo its expression and cast.
  const bool ownDecoded = headWrote && item.Decoder->Address == item.TagAddress;
  if (item.TagAddress != -1 && !ownDecoded)
    WriteToDevice(item, item.Value, item.TagAddress);
  // The value line is made only for a terminal that follows the device.
  const bool shared = FollowedBySharedTerminal(item, devices);
  const bool requested = IsFollowed(item, devices, SelectedDevice);
  if (!shared && !requested) return;
  const std::string line = item.ItemName + " " + os::FloatToStr(item.Value);
  if (shared) FeedSharedTerminal(item, terminal, line);
  if (requested) AddTerminalLine(RequestTerminal, line);
}

}  // namespace server
