#include "common/DrvXmlTools.h"

#include <algorithm>

#include "platform/os/Convert.h"
#include "platform/os/Text.h"

namespace common {

namespace {

constexpr auto npos = std::string_view::npos;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

using platform::os::TrimView;

// 0-based counterpart of IsSelfClosingAt.
bool SelfClosingAt0(std::string_view text, std::size_t index) {
  if (index + 1 >= text.size()) return false;
  const std::size_t gt = text.find('>', index);
  return gt != npos && gt >= 1 && text[gt - 1] == '/';
}

// Finds openings "<name " and "<name>" of one element name, passing over
// self-closing ones. Searches only below a limit (the current closing tag)
// and remembers the next ">", so that taking an element costs time in
// proportion to the element, not to the rest of the text.
class OpeningFinder {
 public:
  OpeningFinder(std::string_view text, std::string_view name)
      : text_(text),
        withBlank_("<" + std::string(name) + " "),
        withGt_("<" + std::string(name) + ">") {}

  // First opening that starts in [from, limit) and is not self-closing;
  // npos when none. Calls come with increasing from.
  std::size_t NextBefore(std::size_t from, std::size_t limit) {
    while (from < limit) {
      const std::size_t hit = std::min(Find(withBlank_, from, limit), Find(withGt_, from, limit));
      if (hit == npos || !SelfClosing(hit)) return hit;
      from = hit + 1;
    }
    return npos;
  }

 private:
  std::size_t Find(const std::string& pattern, std::size_t from, std::size_t limit) const {
    const std::size_t window = std::min(text_.size(), limit + pattern.size() - 1);
    return text_.substr(0, window).find(pattern, from);
  }

  // SelfClosingAt0 with the ">" search shared between calls.
  bool SelfClosing(std::size_t index) {
    if (index + 1 >= text_.size()) return false;
    if (gt_ == kNotSearched || (gt_ != npos && gt_ < index)) gt_ = text_.find('>', index);
    return gt_ != npos && gt_ >= 1 && text_[gt_ - 1] == '/';
  }

  static constexpr std::size_t kNotSearched = npos - 1;
  std::string_view text_;
  std::string withBlank_;
  std::string withGt_;
  std::size_t gt_ = kNotSearched;
};

// Removes comments from the front; false when one is not terminated.
bool SkipComments(std::string_view& text) {
  text = TrimView(text);
  while (text.starts_with("<!--")) {
    const std::size_t end = text.find("-->");
    if (end == npos) return false;
    text = TrimView(text.substr(end + 3));
  }
  return true;
}

// The closing tag must end the text; content is what lies between.
bool TakeContent(std::string_view rest, std::string_view tag, std::string_view& content) {
  if (!rest.ends_with(">")) return false;
  const std::string_view inner = rest.substr(0, rest.size() - 1);
  if (!inner.ends_with(tag) || !inner.substr(0, inner.size() - tag.size()).ends_with("</")) return false;
  content = TrimView(rest.substr(0, rest.size() - tag.size() - 3));
  return true;
}

// The whole text as a signed 32-bit number, or def (see GetIntAttribute).
int32_t IntOf(std::string_view text, int32_t def) {
  // Leading blanks are read over; a trailing one makes the text no number.
  if (!text.empty() && IsBlank(text.back())) return def;
  int32_t value = 0;
  return platform::os::TryStrToInt(text, value) ? value : def;
}

// One line name="value" per attribute.
void AddAttributeLines(const std::vector<TXMLAttribute>& attributes, platform::os::TStringList& list) {
  for (const TXMLAttribute& a : attributes) list.Add(std::string(a.Name) + "=\"" + std::string(a.Value) + "\"");
}

// What GetAttribute answers for a missing attribute that is read as a
// number: no number.
constexpr std::string_view kNoNumber = "UNISED";

}  // namespace

bool IsSelfClosingAt(std::string_view text, int position) {
  if (position < 1) return false;
  return SelfClosingAt0(text, static_cast<std::size_t>(position) - 1);
}

bool ExtractNextElement(std::string_view& text, std::string_view& element) {
  element = {};
  if (!SkipComments(text)) return false;
  if (text.size() <= 2 || text.front() != '<') return false;
  const std::size_t gt = text.find('>');
  if (gt == npos) return false;  // gt >= 1 otherwise, the text starts with "<"

  std::size_t end = 0;  // one past the element
  if (text[gt - 1] == '/') {
    end = gt + 1;
  } else {
    const std::size_t blank = text.substr(0, gt).find(' ');
    const std::size_t nameEnd = blank != npos ? blank : gt;
    if (nameEnd <= 1) return false;
    const std::string name(TrimView(text.substr(1, nameEnd - 1)));
    const std::string closing = "</" + name + ">";
    std::size_t close = text.find(closing);
    if (close == npos) return false;

    // Each opening of the same name before the current closing tag moves
    // the end to the next closing tag.
    OpeningFinder openings(text, name);
    std::size_t open = openings.NextBefore(1, close);
    while (open != npos) {
      close = text.find(closing, close + 1);
      if (close == npos) break;
      open = openings.NextBefore(open + 1, close);
    }
    // Closing tags ran out: the cut is the fragment before the first
    // closing tag's length, which never splits as an element.
    end = close == npos ? closing.size() - 1 : close + closing.size();
  }
  element = TrimView(text.substr(0, end));
  text = TrimView(text.substr(end));
  return true;
}

bool ExtractNextElement(std::string& text, std::string& element) {
  std::string_view rest(text);
  std::string_view found;
  const bool ok = ExtractNextElement(rest, found);
  element.assign(found);
  // rest views into text: take it before text changes.
  text = std::string(rest);
  return ok;
}

bool SplitAttributes(std::string_view attributeText, std::vector<TXMLAttribute>& attributes) {
  std::string_view s = TrimView(attributeText);
  for (;;) {
    if (s.empty()) return true;
    const std::size_t eq = s.find('=');
    if (eq == npos) return true;
    const std::string_view name = TrimView(s.substr(0, eq));
    if (name.empty()) return false;
    const std::string_view rest = TrimView(s.substr(eq + 1));
    if (rest.empty() || (rest.front() != '"' && rest.front() != '\'')) return false;
    const std::size_t close = rest.find(rest.front(), 1);
    if (close == npos) return false;
    attributes.push_back(TXMLAttribute{name, rest.substr(1, close - 1)});
    s = TrimView(rest.substr(close + 1));
  }
}

bool ParseAttributes(std::string_view attributeText, platform::os::TStringList& list) {
  std::vector<TXMLAttribute> attributes;
  const bool ok = SplitAttributes(attributeText, attributes);
  AddAttributeLines(attributes, list);
  return ok;
}

bool SplitElement(std::string_view elementText, TXMLElementView& parts) {
  parts.Tag = {};
  parts.Attributes.clear();
  parts.Content = {};
  std::string_view s = TrimView(elementText);
  if (s.size() <= 2 || s.front() != '<') return false;
  s.remove_prefix(1);
  const bool selfClosing = s.ends_with("/>");
  if (selfClosing) s.remove_suffix(2);

  const std::size_t sp = s.find(' ');
  const std::size_t gt = s.find('>');
  if (selfClosing && gt == npos) {
    if (sp == npos) {
      parts.Tag = s;
      return true;
    }
    parts.Tag = s.substr(0, sp);
    return SplitAttributes(s.substr(sp + 1), parts.Attributes);
  }
  // What still holds a ">" (a self-closing mark taken off its end included)
  // must end in its closing tag.
  if (gt == npos) return false;
  if (sp == npos || gt < sp) {
    parts.Tag = s.substr(0, gt);
    return TakeContent(s.substr(gt + 1), parts.Tag, parts.Content);
  }
  parts.Tag = s.substr(0, sp);
  const std::string_view rest = TrimView(s.substr(sp + 1));
  const std::size_t attrEnd = rest.find('>');  // exists: gt lies after sp
  if (!SplitAttributes(rest.substr(0, attrEnd), parts.Attributes)) return false;
  return TakeContent(rest.substr(attrEnd + 1), parts.Tag, parts.Content);
}

bool ParseElement(std::string_view elementText, platform::os::TStringList& attributes,
                  std::string& tag, std::string& content) {
  TXMLElementView parts;
  const bool ok = SplitElement(elementText, parts);
  attributes.Clear();
  AddAttributeLines(parts.Attributes, attributes);
  tag.assign(parts.Tag);
  content.assign(parts.Content);
  return ok;
}

std::string_view TXMLElementView::Attribute(std::string_view name, std::string_view def) const {
  for (const TXMLAttribute& a : Attributes)
    if (a.Name == name) return a.Value;
  return def;
}

int32_t TXMLElementView::IntAttribute(std::string_view name, int32_t def) const {
  return IntOf(Attribute(name, kNoNumber), def);
}

void TXMLDataItem::Clear() {
  Tag.clear();
  Content.clear();
  Attributes.Clear();
}

bool TXMLDataItem::Parse(std::string_view text) {
  Clear();
  const std::string_view s = TrimView(text);
  if (s.empty()) return true;
  return ParseElement(s, Attributes, Tag, Content);
}

std::string TXMLDataItem::GetAttribute(std::string_view name, std::string_view def) const {
  for (int i = 0; i < Attributes.Count(); ++i) {
    const std::string_view line = Attributes[i];
    if (line.size() <= name.size() || !line.starts_with(name) || line[name.size()] != '=') continue;
    const std::string_view value = line.substr(name.size() + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      return std::string(value.substr(1, value.size() - 2));
  }
  return std::string(def);
}

int32_t TXMLDataItem::GetIntAttribute(std::string_view name, int32_t def) const {
  return IntOf(GetAttribute(name, kNoNumber), def);
}

}  // namespace common
