#include "platform/ui/Region.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

namespace platform::ui {

namespace {

using Span = TRegion::Span;

bool InSpans(const std::vector<Span>& spans, int32_t x) {
  auto it = std::upper_bound(spans.begin(), spans.end(), x,
                             [](int32_t v, const Span& s) { return v < s.X1; });
  return it != spans.end() && it->X0 <= x;
}

bool Apply(int mode, bool a, bool b) {
  switch (mode) {
    case RGN_AND: return a && b;
    case RGN_OR: return a || b;
    case RGN_XOR: return a != b;
    case RGN_DIFF: return a && !b;
    default: return a;
  }
}

// One band of a op b: walks the union of both span edges.
std::vector<Span> CombineSpans(const std::vector<Span>& a, const std::vector<Span>& b, int mode) {
  std::vector<int32_t> xs;
  xs.reserve(2 * (a.size() + b.size()));
  for (const Span& s : a) xs.insert(xs.end(), {s.X0, s.X1});
  for (const Span& s : b) xs.insert(xs.end(), {s.X0, s.X1});
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  std::vector<Span> out;
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    if (!Apply(mode, InSpans(a, xs[i]), InSpans(b, xs[i]))) continue;
    if (!out.empty() && out.back().X1 == xs[i])
      out.back().X1 = xs[i + 1];
    else
      out.push_back({xs[i], xs[i + 1]});
  }
  return out;
}

// One band of a op b, each side null where it has no spans there; a band
// only one side has is that side or nothing, without the walk.
std::vector<Span> CombineBand(const std::vector<Span>* a, const std::vector<Span>* b, int mode) {
  if (a != nullptr && b != nullptr) return CombineSpans(*a, *b, mode);
  if (a != nullptr && Apply(mode, true, false)) return *a;
  if (b != nullptr && Apply(mode, false, true)) return *b;
  return {};
}

}  // namespace

TRegion::TRegion(const TRect& r) {
  if (r.Left < r.Right && r.Top < r.Bottom) bands_.push_back({r.Top, r.Bottom, {{r.Left, r.Right}}});
}

const TRegion::Band* TRegion::BandAt(int32_t y) const {
  auto it = std::upper_bound(bands_.begin(), bands_.end(), y,
                             [](int32_t v, const Band& b) { return v < b.Bottom; });
  if (it == bands_.end() || it->Top > y) return nullptr;
  return &*it;
}

TRegion TRegion::Combine(const TRegion& a, const TRegion& b, int mode) {
  if (mode < RGN_AND || mode > RGN_COPY) throw std::invalid_argument("bad region combine mode");
  if (mode == RGN_COPY) return a;
  std::vector<int32_t> ys;
  for (const TRegion* r : {&a, &b})
    for (const Band& band : r->bands_) ys.insert(ys.end(), {band.Top, band.Bottom});
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  TRegion out;
  for (std::size_t i = 0; i + 1 < ys.size(); ++i) {
    const Band* ba = a.BandAt(ys[i]);
    const Band* bb = b.BandAt(ys[i]);
    std::vector<Span> spans = CombineBand(ba ? &ba->Spans : nullptr, bb ? &bb->Spans : nullptr, mode);
    if (spans.empty()) continue;
    if (!out.bands_.empty() && out.bands_.back().Bottom == ys[i] && out.bands_.back().Spans == spans)
      out.bands_.back().Bottom = ys[i + 1];
    else
      out.bands_.push_back({ys[i], ys[i + 1], std::move(spans)});
  }
  return out;
}

TRegion TRegion::FromRows(int32_t top, const std::vector<std::vector<Span>>& rows) {
  if (static_cast<int64_t>(top) + static_cast<int64_t>(rows.size()) > INT32_MAX)
    throw std::invalid_argument("region rows end past the coordinate range");
  TRegion out;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::vector<Span>& spans = rows[i];
    for (std::size_t k = 0; k < spans.size(); ++k)
      if (spans[k].X0 >= spans[k].X1 || (k > 0 && spans[k - 1].X1 >= spans[k].X0))
        throw std::invalid_argument("region row spans are not sorted and apart");
    if (spans.empty()) continue;
    const int32_t y = top + static_cast<int32_t>(i);
    if (!out.bands_.empty() && out.bands_.back().Bottom == y && out.bands_.back().Spans == spans)
      out.bands_.back().Bottom = y + 1;
    else
      out.bands_.push_back({y, y + 1, spans});
  }
  return out;
}

bool TRegion::Contains(int32_t x, int32_t y) const {
  const Band* band = BandAt(y);
  return band != nullptr && InSpans(band->Spans, x);
}

TRect TRegion::Bounds() const {
  if (bands_.empty()) return {};
  TRect r{bands_.front().Spans.front().X0, bands_.front().Top, bands_.front().Spans.back().X1,
          bands_.back().Bottom};
  for (const Band& b : bands_) {
    r.Left = std::min(r.Left, b.Spans.front().X0);
    r.Right = std::max(r.Right, b.Spans.back().X1);
  }
  return r;
}

int TRegion::Kind() const {
  if (bands_.empty()) return NULLREGION;
  return bands_.size() == 1 && bands_.front().Spans.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

std::vector<TRect> TRegion::Rects() const {
  std::vector<TRect> out;
  for (const Band& b : bands_)
    for (const Span& s : b.Spans) out.push_back({s.X0, b.Top, s.X1, b.Bottom});
  return out;
}

void TRegion::Offset(int32_t dx, int32_t dy) {
  for (Band& b : bands_) {
    b.Top += dy;
    b.Bottom += dy;
    for (Span& s : b.Spans) {
      s.X0 += dx;
      s.X1 += dx;
    }
  }
}

void TRegion::RowSpans(int32_t y, int32_t x0, int32_t x1, std::vector<Span>& out) const {
  out.clear();
  const Band* band = BandAt(y);
  if (band == nullptr) return;
  for (const Span& s : band->Spans) {
    const int32_t l = std::max(s.X0, x0);
    const int32_t r = std::min(s.X1, x1);
    if (l < r) out.push_back({l, r});
  }
}

// ---- handles ----

namespace {

struct RegionTable {
  std::mutex lock;
  std::unordered_map<uintptr_t, TRegion> regions;
  uintptr_t next = 1;
};

RegionTable& Table() {
  static RegionTable table;
  return table;
}

std::atomic<std::size_t> combineCalls{0};

uintptr_t Id(HRGN h) { return reinterpret_cast<uintptr_t>(h); }

TRegion* Find(RegionTable& t, HRGN h) {
  auto it = t.regions.find(Id(h));
  return it == t.regions.end() ? nullptr : &it->second;
}

}  // namespace

HRGN CreateRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return CreateRgnFromRegion(
      TRegion(TRect{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)}));
}

HRGN CreateRectRgnIndirect(const TRect& r) { return CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom); }

HRGN CreateRgnFromRegion(TRegion region) {
  RegionTable& t = Table();
  std::lock_guard guard(t.lock);
  const uintptr_t id = t.next++;
  t.regions.emplace(id, std::move(region));
  return reinterpret_cast<HRGN>(id);
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode) {
  combineCalls.fetch_add(1, std::memory_order_relaxed);
  if (mode < RGN_AND || mode > RGN_COPY) return RGN_ERROR;
  RegionTable& t = Table();
  std::lock_guard guard(t.lock);
  TRegion* d = Find(t, dest);
  const TRegion* ra = Find(t, a);
  const TRegion* rb = mode == RGN_COPY ? ra : Find(t, b);
  if (d == nullptr || ra == nullptr || rb == nullptr) return RGN_ERROR;
  *d = TRegion::Combine(*ra, *rb, mode);
  return d->Kind();
}

bool PtInRegion(HRGN rgn, int32_t x, int32_t y) {
  RegionTable& t = Table();
  std::lock_guard guard(t.lock);
  const TRegion* r = Find(t, rgn);
  return r != nullptr && r->Contains(x, y);
}

int GetRgnBox(HRGN rgn, TRect* box) {
  RegionTable& t = Table();
  std::lock_guard guard(t.lock);
  const TRegion* r = Find(t, rgn);
  if (r == nullptr || box == nullptr) return RGN_ERROR;
  *box = r->Bounds();
  return r->Kind();
}

int OffsetRgn(HRGN rgn, int32_t dx, int32_t dy) {
  RegionTable& t = Table();
  std::lock_guard guard(t.lock);
  TRegion* r = Find(t, rgn);
  if (r == nullptr) return RGN_ERROR;
  r->Offset(dx, dy);
  return r->Kind();
}

bool EqualRgn(HRGN a, HRGN b) {
  RegionTable& t = Table();
  std::lock_guard guard(t.lock);
  const TRegion* ra = Find(t, a);
  const TRegion* rb = Find(t, b);
  return ra != nullptr && rb != nullptr && *ra == *rb;
}

bool DeleteObject(HRGN rgn) {
  RegionTable& t = Table();
  std::lock_guard guard(t.lock);
  return t.regions.erase(Id(rgn)) == 1;
}

std::optional<TRegion> RegionOf(HRGN rgn) {
  RegionTable& t = Table();
  std::lock_guard guard(t.lock);
  const TRegion* r = Find(t, rgn);
  if (r == nullptr) return std::nullopt;
  return *r;
}

std::optional<TRegion> TakeRegion(HRGN rgn) {
  RegionTable& t = Table();
  std::lock_guard guard(t.lock);
  auto it = t.regions.find(Id(rgn));
  if (it == t.regions.end()) return std::nullopt;
  TRegion r = std::move(it->second);
  t.regions.erase(it);
  return r;
}

std::size_t LiveRegionHandles() {
  RegionTable& t = Table();
  std::lock_guard guard(t.lock);
  return t.regions.size();
}

std::size_t CombineRgnCalls() { return combineCalls.load(std::memory_order_relaxed); }

}  // namespace platform::ui
