#include "common/TArray.h"

#include <algorithm>

namespace common {

namespace {

int32_t AtLeastOne(int32_t n) { return n < 1 ? 1 : n; }

}  // namespace

THVCollection::THVCollection() : THVCollection(DefaultDelta) {}

THVCollection::THVCollection(int32_t n) {
  delta_ = AtLeastOne(n);
  Resize(delta_);
}

THVCollection::~THVCollection() = default;

void THVCollection::Resize(int32_t slots) {
  limit_ = slots;
  items_.resize(static_cast<size_t>(slots), nullptr);
}

void* THVCollection::GetItem(int32_t index) const {
  if (index < 0 || index >= count_) return nullptr;
  return items_[static_cast<size_t>(index)];
}

void THVCollection::DeleteAt(int32_t index) {
  if (index < 0 || index >= count_) return;
  auto at = items_.begin() + index;
  std::move(at + 1, items_.begin() + count_, at);
  --count_;
  if (count_ == 0 && limit_ > delta_) Resize(delta_);
  items_[static_cast<size_t>(count_)] = nullptr;
}

void THVCollection::FreeAt(int32_t index) {
  if (index < 0 || index >= count_) return;
  void* item = GetItem(index);
  DeleteAt(index);
  FreeItem(item);
}

void THVCollection::InsertAt(int32_t index, void* item) {
  if (index < 0) {
    OnError(-1, 0);
    return;
  }
  if (index > count_) {
    OnError(-2, 0);
    return;
  }
  // Grows one insertion early (Count + 1 >= Limit), by the fixed step.
  if (count_ + 1 >= limit_) Resize(limit_ + delta_);
  auto at = items_.begin() + index;
  std::move_backward(at, items_.begin() + count_, items_.begin() + count_ + 1);
  *at = item;
  ++count_;
}

void THVCollection::Remove(void* item) { DeleteAt(IndexOf(item)); }

void THVCollection::RemoveAll() {
  count_ = 0;
  items_.assign(items_.size(), nullptr);
  Resize(delta_);
}

void THVCollection::OnError(int32_t, int32_t) {}

void THVCollection::FreeAll() {
  if (count_ == 0) return;
  for (int32_t i = 0; i < count_; ++i) FreeItem(GetItem(i));
  RemoveAll();
}

void THVCollection::FreeItem(void*) {}

int32_t THVCollection::IndexOf(void* item) const {
  if (count_ == 0 || item == nullptr) return -1;
  for (int32_t i = 0; i < count_; ++i) {
    if (GetItem(i) == item) return i;
  }
  return -1;
}

void THVCollection::Add(void* item) { InsertAt(count_, item); }

void THVCollection::SetDelta(int32_t n) { delta_ = AtLeastOne(n); }

int32_t THVSortedCollection::IndexOf(void* item) const {
  int32_t index = 0;
  if (FindKey(ItemKey(item), index) && index < Count()) return index;
  return -1;
}

void THVSortedCollection::Add(void* item) {
  int32_t index = 0;
  if (!FindKey(ItemKey(item), index)) InsertAt(index, item);
}

int32_t THVSortedCollection::Compare(const void*, const void*) const { return 1; }

int32_t THVSortedCollection::CompareAlt(const void* key1, const void* key2) const {
  return Compare(key1, key2);
}

const void* THVSortedCollection::ItemKey(void* item) const { return item; }

template <class Cmp>
bool THVSortedCollection::Bisect(const void* key, int32_t& index, Cmp cmp) const {
  int32_t lo = 0;
  int32_t hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    const int32_t mid = static_cast<int32_t>((static_cast<uint32_t>(lo) + static_cast<uint32_t>(hi)) / 2);
    const int32_t c = cmp(ItemKey(GetItem(mid)), key);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

bool THVSortedCollection::FindKey(const void* key, int32_t& index) const {
  return Bisect(key, index, [this](const void* a, const void* b) { return Compare(a, b); });
}

bool THVSortedCollection::FindKeyAlt(const void* key, int32_t& index) const {
  return Bisect(key, index, [this](const void* a, const void* b) { return CompareAlt(a, b); });
}

}  // namespace common
