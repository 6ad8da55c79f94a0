#pragma once
// Colour values: 0x00BBGGRR with red in the low byte. A high byte of 0xFF
// marks a system colour whose low byte indexes the fixed classic 3D table
// below. All functions are pure and may be called from any thread.

#include <cstdint>

#include "platform/ui/Types.h"

namespace platform::ui {

// Answered by colour reads that have no pixel (Pixels outside the bitmap).
inline constexpr TColor CLR_INVALID = static_cast<TColor>(0xFFFFFFFFu);

inline constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<TColor>(r | (g << 8) | (b << 16));
}
inline constexpr uint8_t GetRValue(TColor c) { return static_cast<uint8_t>(c & 0xFF); }
inline constexpr uint8_t GetGValue(TColor c) { return static_cast<uint8_t>((c >> 8) & 0xFF); }
inline constexpr uint8_t GetBValue(TColor c) { return static_cast<uint8_t>((c >> 16) & 0xFF); }

// Number of entries of the system colour table (indexes 0..30).
inline constexpr int kSystemColorCount = 31;

// The plain colour of a system colour index; black for an index outside
// the table.
TColor GetSysColor(int index);

// A system colour (index in the low three bytes) becomes its plain colour
// from the table, black for an unknown index; any other value is returned
// unchanged.
TColor ColorToRGB(TColor color);

}  // namespace platform::ui
