// Takes every element off an arbitrary text and splits each one. Checks
// that the scanner keeps its own contract: an element is cut from the front,
// nothing is invented, and a failure leaves the text it reports.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  for (int position = -1; position <= static_cast<int>(size) + 1; position += 7)
    common::IsSelfClosingAt(input, position);

  std::string text = input;
  std::string element;
  std::string_view view = input;
  std::string_view viewElement;
  for (;;) {
    const std::size_t before = text.size();
    const bool ok = common::ExtractNextElement(text, element);
    const bool viewOk = common::ExtractNextElement(view, viewElement);
    // The copying and the view forms follow the same rules.
    Check(ok == viewOk && element == viewElement && text == view);
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
