// Takes every element off an arbitrary text and splits each one. Checks
// that the scanner keeps its own contract: an element is cut from the front,
// nothing is invented, and a failure leaves the text it reports.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/DrvXmlTools.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// A plain reference: the same rules with unbounded searches and no caching; the
// scanner's faster search must cut exactly the same element.
std::string Trimmed(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

std::size_t NextOpening(const std::string& text, const std::string& name, std::size_t from) {
  for (;;) {
    const std::size_t a = text.find("<" + name + " ", from);
    const std::size_t b = text.find("<" + name + ">", from);
    const std::size_t hit = std::min(a, b);
    if (hit == std::string::npos) return hit;
    if (!common::IsSelfClosingAt(text, static_cast<int>(hit) + 1)) return hit;
    from = hit + 1;
  }
}

bool Reference(std::string& text, std::string& element) {
  constexpr auto npos = std::string::npos;
  element.clear();
  text = Trimmed(text);
  while (text.rfind("<!--", 0) == 0) {
    const std::size_t end = text.find("-->");
    if (end == npos) return false;
    text = Trimmed(text.substr(end + 3));
  }
  if (text.size() <= 2 || text[0] != '<') return false;
  const std::size_t p = text.find('>');
  if (p == npos) return false;
  std::size_t end = 0;
  if (text[p - 1] == '/') {
    end = p + 1;
  } else {
    const std::size_t blank = text.find(' ');
    const std::size_t nameEnd = blank != npos && blank < p ? blank : p;
    if (nameEnd <= 1) return false;
    const std::string name = Trimmed(text.substr(1, nameEnd - 1));
    const std::string closing = "</" + name + ">";
    std::size_t c = text.find(closing);
    if (c == npos) return false;
    std::size_t n = NextOpening(text, name, 1);
    while (n != npos && c != npos && n < c) {
      c = text.find(closing, c + 1);
      n = NextOpening(text, name, n + 1);
    }
    end = c == npos ? closing.size() - 1 : c + closing.size();
  }
  element = Trimmed(text.substr(0, end));
  text = Trimmed(text.substr(end));
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  for (int position = -1; position <= static_cast<int>(size) + 1; position += 7)
    common::IsSelfClosingAt(input, position);

  std::string text = input;
  std::string element;
  std::string_view view = input;
  std::string_view viewElement;
  std::string refText = input;
  std::string refElement;
  for (;;) {
    const std::size_t before = text.size();
    const bool ok = common::ExtractNextElement(text, element);
    const bool viewOk = common::ExtractNextElement(view, viewElement);
    // The copying and the view forms follow the same rules.
    Check(ok == viewOk && element == viewElement && text == view);
    const bool refOk = Reference(refText, refElement);
    Check(ok == refOk && element == refElement && text == refText);
    Check(ok == !element.empty());
    Check(element.size() + text.size() <= before);
    if (!ok) break;
    // A whole element ends in ">"; a fragment cut when closing tags ran out
    // need not.
    Check(element.front() == '<');
    Check(text.size() < before);  // progress: the loop ends

    common::TXMLDataItem item;
    if (item.Parse(element)) {
      Check(item.Tag.size() + item.Content.size() < element.size());
      item.GetAttribute("name", "Unknown");
      item.GetIntAttribute("hvaddress", -1);
    }
  }
  return 0;
}
