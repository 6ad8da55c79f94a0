#pragma once
// Decoding of accepted OPC item values into kernel variables. The value
// callback of a device (the device window's OnTagValue) hands each item
// that passed the quality and deadband rules to DecodeTagValue, which runs
// the item's description chain (expression, cast to the element's type,
// bits or whole value), writes the results and the raw value through
// VariableIndex, and feeds the value terminals.
//
// Main thread only (the OPC callbacks arrive there).

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Opc_Description.h"
#include "platform/os/StringList.h"
#include "platform/os/Variant.h"
#include "server/VariableIndex.h"

namespace server {

class TDeviceList;

// Adds line to lines, then drops the oldest lines while more than
// kMaxTerminalLines (100) are held.
void AddTerminalLine(platform::os::TStringList& lines, std::string_view line);

// The value lines of one device window: those of the followed device and
// the decoding error lines. Unrelated to the shared terminal block
// exchange::TTerminalClass.
class TTerminalClass : public platform::os::TStringList {
 public:
  // Device address whose value lines the terminal holds; -1 at first.
  std::int32_t DeviceAddress = -1;
  // AddTerminalLine on this list.
  void AddLine(std::string_view line) { AddTerminalLine(*this, line); }
};

// The lines' text (CR LF after each) as it fits into a shared terminal:
// the newest lines whose text has room, the oldest dropped first; a single
// line longer than the room is cut.
std::string TerminalText(const platform::os::TStringList& lines);

// expression with every "%VALUE%", in any letter case, replaced by raw in
// the default float format but with "." as decimal separator, since the
// evaluator splits function arguments at every comma.
std::string SubstituteValue(std::string_view expression, float raw);

// A work value cast to an element's type.
struct TCastValue {
  float Value = 0.0f;     // what a whole-value element writes
  std::int64_t Bits = 0;  // the value as an integer, for a bit string
  int Width = 8;          // bits a bit string writes
};

// Casts work to type: codes 1..6 round it to the nearest integer (halves
// to even) and cut it to the type's width (200 as ShortInt is -56);
// Single and unknown types keep the value, rounding it only when bits are
// wanted. False, with the failure's message in error, for a value that
// does not convert to a number, a NaN, an infinity or a value outside the
// 64-bit signed range where an integer is needed, and a value beyond the
// 4-byte float range. Any thread.
bool CastWorkValue(const platform::os::Variant& work, common::TOPCTagType type, bool wantBits,
                   TCastValue& out, std::string& error);

// Decodes item (its Value is the raw value) through its Decoder chain and
// writes the results, then the raw value to the item's own variable (unless
// the tag's own decoded value was just written there), then
// feeds shared terminal 1 (when its owner id is the device number of the
// item's device in devices) and RequestTerminal (when SelectedDevice is).
// Decoding failures are lines in terminal: "Decoding error(" costs one
// element, "Expression error: " ends the decoding of this value. Nothing
// at all while VariableIndex does not exist.
void DecodeTagValue(const TOPCVariableIndexItem& item, const TDeviceList& devices,
                    TTerminalClass& terminal);

}  // namespace server
