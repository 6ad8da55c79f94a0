#pragma once
// Regions: sets of pixels built from rectangles (right and bottom
// exclusive) and combined with OR, AND, XOR and DIFF. TRegion is a value;
// HRGN handles wrap regions in a process-wide table for code written
// against handle calls (the window region of a control is handed over as
// a handle). TRegion is not shared between threads; the handle functions
// may be called from any thread.

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ui/Types.h"

namespace platform::ui {

// Combine modes and results, with their classic values.
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;
inline constexpr int RGN_ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;

class TRegion {
 public:
  // A horizontal run [X0, X1) of a band.
  struct Span {
    int32_t X0;
    int32_t X1;
    friend bool operator==(const Span&, const Span&) = default;
  };
  static_assert(sizeof(Span) == 8);

  TRegion() = default;
  // The pixels of r; an empty or inverted rectangle gives an empty region.
  explicit TRegion(const TRect& r);

  // a op b for op RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF (a minus b) or
  // RGN_COPY (a). Any other mode throws std::invalid_argument.
  static TRegion Combine(const TRegion& a, const TRegion& b, int mode);
  // The region whose row top + i holds the spans rows[i], built in one
  // pass. Each row's spans must be non-empty, sorted and apart (not
  // touching), and the rows must end by INT32_MAX; std::invalid_argument
  // otherwise.
  static TRegion FromRows(int32_t top, const std::vector<std::vector<Span>>& rows);

  bool Empty() const { return bands_.empty(); }
  bool Contains(int32_t x, int32_t y) const;
  // Smallest rectangle holding every pixel; all zero when empty.
  TRect Bounds() const;
  // NULLREGION, SIMPLEREGION (one rectangle) or COMPLEXREGION.
  int Kind() const;
  // Disjoint rectangles covering the region, top to bottom, left to right.
  std::vector<TRect> Rects() const;
  void Offset(int32_t dx, int32_t dy);
  // The runs of row y that lie within [x0, x1), left to right.
  void RowSpans(int32_t y, int32_t x0, int32_t x1, std::vector<Span>& out) const;

  friend bool operator==(const TRegion&, const TRegion&) = default;

 private:
  struct Band {
    int32_t Top;
    int32_t Bottom;
    std::vector<Span> Spans;  // sorted, disjoint, not touching
    friend bool operator==(const Band&, const Band&) = default;
  };
  const Band* BandAt(int32_t y) const;

  std::vector<Band> bands_;  // sorted, disjoint; touching bands differ
};

// Region handles. A handle stays valid until DeleteObject; a call given a
// null, deleted or foreign handle fails (RGN_ERROR, false or nullopt).
struct HRGN__;
using HRGN = HRGN__*;

// A new rectangular region (coordinates in any order). Never null.
HRGN CreateRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom);
HRGN CreateRectRgnIndirect(const TRect& r);
// A new handle holding region (the counterpart of TakeRegion). Never null.
HRGN CreateRgnFromRegion(TRegion region);
// dest := a op b (b ignored for RGN_COPY). Answers the kind of the result
// or RGN_ERROR for a bad handle or mode (dest then unchanged).
int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode);
bool PtInRegion(HRGN rgn, int32_t x, int32_t y);
// The bounding box; answers the region kind or RGN_ERROR.
int GetRgnBox(HRGN rgn, TRect* box);
int OffsetRgn(HRGN rgn, int32_t dx, int32_t dy);
bool EqualRgn(HRGN a, HRGN b);
// Frees the handle; false when it was not a live region handle.
bool DeleteObject(HRGN rgn);
// A copy of the region behind the handle.
std::optional<TRegion> RegionOf(HRGN rgn);
// Removes the handle from the table and answers its region (ownership of
// the region passes to the caller, as a window takes its window region).
std::optional<TRegion> TakeRegion(HRGN rgn);
// Number of live region handles (for leak checks in tests).
std::size_t LiveRegionHandles();
// Number of CombineRgn calls so far in the process (for cost checks in
// tests).
std::size_t CombineRgnCalls();

}  // namespace platform::ui
