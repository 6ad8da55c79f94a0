#include "platform/os/StringList.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/os/Files.h"
#include "platform/os/Text.h"

namespace platform::os {

int TStringList::Count() const { return static_cast<int>(items_.size()); }

void TStringList::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit)
    throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TStringList::operator[](int index) const { return Strings(index); }

const std::string& TStringList::Strings(int index) const {
  CheckIndex(index, Count());
  return items_[static_cast<std::size_t>(index)].text;
}

void TStringList::SetStrings(int index, std::string_view s) {
  CheckIndex(index, Count());
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  items_[static_cast<std::size_t>(index)].text.assign(s);
}

void* TStringList::Objects(int index) const {
  CheckIndex(index, Count());
  return items_[static_cast<std::size_t>(index)].object;
}

void TStringList::SetObjects(int index, void* object) {
  CheckIndex(index, Count());
  items_[static_cast<std::size_t>(index)].object = object;
}

int TStringList::Compare(std::string_view a, std::string_view b) const {
  return caseSensitive_ ? CompareStr(a, b) : CompareText(a, b);
}

int TStringList::Add(std::string_view s) { return AddObject(s, nullptr); }

int TStringList::AddObject(std::string_view s, void* object) {
  int index = Count();
  if (sorted_) {
    if (Find(s, index)) {
      if (duplicates_ == TDuplicates::dupIgnore) return index;
      if (duplicates_ == TDuplicates::dupError)
        throw EStringListError("String list does not allow duplicates");
    }
  }
  items_.insert(items_.begin() + index, Item{std::string(s), object});
  return index;
}

void TStringList::Insert(int index, std::string_view s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int index, std::string_view s, void* object) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  CheckIndex(index, Count() + 1);
  items_.insert(items_.begin() + index, Item{std::string(s), object});
}

void TStringList::Delete(int index) {
  CheckIndex(index, Count());
  items_.erase(items_.begin() + index);
}

void TStringList::Clear() { items_.clear(); }

int TStringList::IndexOf(std::string_view s) const {
  if (sorted_) {
    int index = -1;
    return Find(s, index) ? index : -1;
  }
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (Compare(items_[i].text, s) == 0) return static_cast<int>(i);
  return -1;
}

bool TStringList::Find(std::string_view s, int& index) const {
  if (!sorted_) {
    index = -1;
    return false;
  }
  // Lower bound: with duplicates accepted, the first of the equal lines.
  int lo = 0;
  int hi = Count();
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (Compare(items_[static_cast<std::size_t>(mid)].text, s) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  index = lo;
  return lo < Count() && Compare(items_[static_cast<std::size_t>(lo)].text, s) == 0;
}

void TStringList::SortItems() {
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const Item& a, const Item& b) { return Compare(a.text, b.text) < 0; });
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) {
    sorted_ = true;
    SortItems();
  }
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool on) {
  if (on == caseSensitive_) return;
  caseSensitive_ = on;
  if (sorted_) SortItems();
}

std::string TStringList::Text() const {
  std::size_t total = 0;
  for (const Item& item : items_) total += item.text.size() + 2;
  std::string out;
  out.reserve(total);
  for (const Item& item : items_) {
    out += item.text;
    out += "\r\n";
  }
  return out;
}

void TStringList::SetText(std::string_view text) {
  // Built aside so that a duplicate refused under dupError leaves the list
  // as it was.
  TStringList fresh;
  fresh.sorted_ = sorted_;
  fresh.caseSensitive_ = caseSensitive_;
  fresh.duplicates_ = duplicates_;
  ForEachLine(text, [&fresh](std::string_view line) { fresh.Add(line); });
  items_ = std::move(fresh.items_);
}

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool TStringList::LoadFromFile(const std::string& path) {
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return false;
  try {
    SetText(bytes);
  } catch (const EStringListError&) {
    return false;  // a sorted dupError list refused a line of the file
  }
  return true;
}

bool TStringList::SaveToFile(const std::string& path) const {
  std::FILE* raw = std::fopen(path.c_str(), "wb");
  if (!raw) return false;
  FilePtr f(raw);
  const std::string text = Text();
  const bool written = std::fwrite(text.data(), 1, text.size(), raw) == text.size();
  f.release();
  const bool closed = std::fclose(raw) == 0;  // close reports delayed write errors
  return written && closed;
}

}  // namespace platform::os
