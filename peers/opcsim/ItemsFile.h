#pragma once
// The items file of a simulation, one item per line:
//   ITEM-ID  TYPE  SOURCE [ARGS]  [every=MS]  [period=MS]  [writable]
// TYPE: I1 UI1 I2 UI2 I4 UI4 R4 R8 BOOL BSTR. SOURCE: const V | ramp LO HI |
// counter STEP | sine MID AMP period=MS | random LO HI. "#" starts a
// comment line; a value with blanks is written in double quotes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/Variant.h"

namespace opcsim {

enum class SourceKind { Const, Ramp, Counter, Sine, Random };

struct ItemDefinition {
  std::string id;
  platform::com::VARTYPE type = platform::com::VT_EMPTY;
  SourceKind source = SourceKind::Const;
  std::string constText;   // the value of a const source, as written
  platform::com::VariantValue constValue;  // and converted to the type
  double a = 0, b = 0;     // LO/HI, STEP (a), MID/AMP
  std::uint32_t everyMs = 0;   // update interval of changing sources
  std::uint32_t periodMs = 0;  // sine period
  bool writable = false;
};

// Limits of an items file.
inline constexpr std::size_t kMaxItems = 100000;
inline constexpr std::size_t kMaxItemIdLength = 255;
inline constexpr std::uint32_t kDefaultEveryMs = 1000;
inline constexpr std::uint32_t kMinEveryMs = 10;

// The type of a TYPE word; VT_EMPTY for an unknown word. Its name back.
platform::com::VARTYPE TypeFromName(std::string_view name);
std::string_view TypeName(platform::com::VARTYPE type);

// Parses the text of an items file. False with `error` ("line N: ...")
// on the first bad line; items then hold what came before it.
bool ParseItems(std::string_view text, std::vector<ItemDefinition>& items, std::string& error);
// Reads and parses a file; false with `error` when it cannot be read.
bool LoadItemsFile(const std::string& path, std::vector<ItemDefinition>& items, std::string& error);

}  // namespace opcsim
