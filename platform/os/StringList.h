#pragma once
// A list of CP1251 lines, each with an optional associated object pointer.
// Not synchronised: one thread at a time, as any plain container.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform::os {

// Raised for an index out of range, an Insert into a sorted list, and a
// duplicate refused under dupError.
class EStringListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Calls visit(line) for each line of text as SetText splits it: at LF, a
// CR before the LF dropped; a final line without a line end counts, a final
// line end opens no empty line.
template <class Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) end = text.size();
    std::size_t lineEnd = end;
    if (!last && lineEnd > start && text[lineEnd - 1] == '\r') --lineEnd;
    visit(text.substr(start, lineEnd - start));
    start = last ? text.size() : end + 1;
  }
}

// What a sorted list does with a string equal to a listed one.
enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList {
 public:
  TStringList() = default;
  virtual ~TStringList() = default;
  TStringList(const TStringList&) = default;
  TStringList& operator=(const TStringList&) = default;
  TStringList(TStringList&&) = default;
  TStringList& operator=(TStringList&&) = default;

  int Count() const;

  // The line at index (0-based); EStringListError when out of range.
  const std::string& operator[](int index) const;
  const std::string& Strings(int index) const;
  // Replaces a line; EStringListError when out of range or when the list is
  // sorted (a sorted list keeps its order).
  void SetStrings(int index, std::string_view s);

  // The object stored with the line. The list never frees or dereferences
  // it: whoever stores objects owns them. EStringListError when out of range.
  void* Objects(int index) const;
  void SetObjects(int index, void* object);

  // Appends (unsorted) or inserts at the sorted place; answers the index.
  // Sorted and equal to a listed line: dupIgnore answers the listed index
  // and adds nothing, dupError raises EStringListError and adds nothing,
  // dupAccept adds.
  int Add(std::string_view s);
  int AddObject(std::string_view s, void* object);

  // Inserts before index (0..Count). EStringListError when out of range or
  // when the list is sorted.
  void Insert(int index, std::string_view s);
  void InsertObject(int index, std::string_view s, void* object);

  // Removes the line at index; EStringListError when out of range.
  void Delete(int index);
  void Clear();

  // Index of the first line equal to s (with or without case, as
  // CaseSensitive says), or -1.
  int IndexOf(std::string_view s) const;

  // Sorted lists only: answers whether s is listed; index is where it is or
  // where it would be inserted. On an unsorted list answers false, index -1.
  bool Find(std::string_view s, int& index) const;

  // Sorted: turning it on sorts the list now (stable, by the list's
  // comparison); while on, Add keeps the order.
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  // Comparison of lines: CompareStr when true, CompareText (CP1251 case
  // folding) when false (the default).
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool on);

  // All lines, each followed by CR LF.
  std::string Text() const;
  // Replaces the lines by those of text, split at CR LF or LF; a final line
  // without a line end counts, a final line end opens no empty line.
  void SetText(std::string_view text);

  // Reads the file's bytes as they are and SetText's them; answers false
  // (list unchanged) when the file cannot be read.
  bool LoadFromFile(const std::string& path);
  // Writes Text() to the file, replacing it; answers false on any I/O
  // failure.
  bool SaveToFile(const std::string& path) const;

 private:
  struct Item {
    std::string text;
    void* object = nullptr;
  };

  int Compare(std::string_view a, std::string_view b) const;
  void CheckIndex(int index, int limit) const;
  void SortItems();

  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = TDuplicates::dupIgnore;
};

}  // namespace platform::os
