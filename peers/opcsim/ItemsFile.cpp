#include "peers/opcsim/ItemsFile.h"

#include <charconv>
#include <fstream>
#include <unordered_set>

namespace opcsim {

namespace pc = platform::com;

namespace {

constexpr std::size_t kMaxFileSize = 64u << 20;

struct TypeName_ {
  const char* name;
  pc::VARTYPE type;
};
constexpr TypeName_ kTypes[] = {{"I1", pc::VT_I1}, {"UI1", pc::VT_UI1}, {"I2", pc::VT_I2},
                                {"UI2", pc::VT_UI2}, {"I4", pc::VT_I4}, {"UI4", pc::VT_UI4},
                                {"R4", pc::VT_R4}, {"R8", pc::VT_R8}, {"BOOL", pc::VT_BOOL},
                                {"BSTR", pc::VT_BSTR}};

// Splits a line into words, viewing into it; a double-quoted word may hold
// blanks. False on an unterminated quote.
bool Words(std::string_view line, std::vector<std::string_view>& words) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && blank(line[i])) ++i;
    if (i >= line.size()) break;
    if (line[i] == '"') {
      const std::size_t end = line.find('"', i + 1);
      if (end == std::string_view::npos) return false;
      words.push_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      const std::size_t start = i;
      while (i < line.size() && !blank(line[i])) ++i;
      words.push_back(line.substr(start, i - start));
    }
  }
  return true;
}

bool Number(std::string_view text, double& value) {
  if (text.empty()) return false;
  const char* first = text.data();
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size();
}

bool Milliseconds(std::string_view text, std::uint32_t& value) {
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && ptr == text.data() + text.size() && value <= 86400000u;
}

// Parses one item line; "" or the reason it is wrong.
std::string ParseLine(const std::vector<std::string_view>& w, ItemDefinition& item) {
  if (w.size() < 3) return "expected ITEM-ID TYPE SOURCE";
  item.id = w[0];
  if (item.id.empty()) return "empty item id";
  if (item.id.find_first_of(" \t") != std::string::npos) return "blank in item id";
  if (item.id.size() > kMaxItemIdLength) return "item id too long";
  item.type = TypeFromName(w[1]);
  if (item.type == pc::VT_EMPTY) return "unknown type " + std::string(w[1]);
  const std::string source(w[2]);
  std::size_t args = 0;
  if (source == "const") item.source = SourceKind::Const, args = 1;
  else if (source == "ramp") item.source = SourceKind::Ramp, args = 2;
  else if (source == "counter") item.source = SourceKind::Counter, args = 1;
  else if (source == "sine") item.source = SourceKind::Sine, args = 2;
  else if (source == "random") item.source = SourceKind::Random, args = 2;
  else return "unknown source " + source;
  if (w.size() < 3 + args) return "missing arguments of " + source;
  if (item.source == SourceKind::Const) {
    item.constText = w[3];
  } else {
    if (!Number(w[3], item.a)) return "not a number: " + std::string(w[3]);
    if (args == 2 && !Number(w[4], item.b)) return "not a number: " + std::string(w[4]);
  }
  for (std::size_t i = 3 + args; i < w.size(); ++i) {
    const std::string_view option = w[i];
    if (option == "writable") {
      item.writable = true;
    } else if (option.rfind("every=", 0) == 0) {
      if (!Milliseconds(option.substr(6), item.everyMs) || item.everyMs < kMinEveryMs)
        return "bad interval " + std::string(option);
    } else if (option.rfind("period=", 0) == 0) {
      if (!Milliseconds(option.substr(7), item.periodMs) || item.periodMs == 0)
        return "bad period " + std::string(option);
    } else {
      return "unknown option " + std::string(option);
    }
  }
  if (item.source == SourceKind::Sine && item.periodMs == 0) return "sine needs period=MS";
  if ((item.source == SourceKind::Ramp || item.source == SourceKind::Random) && item.b < item.a)
    return "HI below LO";
  if (item.source != SourceKind::Const && item.everyMs == 0) item.everyMs = kDefaultEveryMs;
  if (item.source != SourceKind::Const && item.type == pc::VT_BSTR) return "a BSTR item can only be const";
  // The constant must be a value of the item's type.
  if (item.source == SourceKind::Const) {
    pc::VariantValue text{std::u16string_view(pc::AnsiToWide(item.constText))};
    if (pc::FAILED(pc::VariantChangeType(&item.constValue.Get(), &text.Get(), 0, item.type)))
      return "constant " + item.constText + " is not a " + std::string(TypeName(item.type));
  }
  return {};
}

}  // namespace

pc::VARTYPE TypeFromName(std::string_view name) {
  for (const auto& t : kTypes)
    if (name == t.name) return t.type;
  return pc::VT_EMPTY;
}

std::string_view TypeName(pc::VARTYPE type) {
  for (const auto& t : kTypes)
    if (type == t.type) return t.name;
  if (type == pc::VT_EMPTY) return "EMPTY";
  if (type == pc::VT_DATE) return "DATE";
  return "?";
}

bool ParseItems(std::string_view text, std::vector<ItemDefinition>& items, std::string& error) {
  items.clear();
  std::unordered_set<std::string> ids;
  std::vector<std::string_view> words;
  std::size_t lineNo = 0, start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    words.clear();
    if (!Words(line, words)) {
      error = "line " + std::to_string(lineNo) + ": unterminated quote";
      return false;
    }
    if (words.empty() || (!words[0].empty() && words[0][0] == '#')) continue;
    ItemDefinition item;
    std::string why = ParseLine(words, item);
    if (why.empty() && !ids.insert(item.id).second) why = "duplicate item " + item.id;
    if (why.empty() && items.size() >= kMaxItems) why = "too many items";
    if (!why.empty()) {
      error = "line " + std::to_string(lineNo) + ": " + why;
      return false;
    }
    items.push_back(std::move(item));
  }
  return true;
}

bool LoadItemsFile(const std::string& path, std::vector<ItemDefinition>& items, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<std::size_t>(size) > kMaxFileSize) {
    error = path + " is too large";
    return false;
  }
  in.seekg(0);
  std::string text(static_cast<std::size_t>(size), '\0');
  in.read(text.data(), size);
  if (in.gcount() != size) {
    error = "cannot read " + path;
    return false;
  }
  return ParseItems(text, items, error);
}

}  // namespace opcsim
