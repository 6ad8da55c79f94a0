#pragma once
// A small scanner for the markup of the tag description file: it cuts one
// element off the front of a text, splits an element into its name,
// attribute text and content, and turns the attribute text into
// name="value" lines. It knows no declarations, entities, processing
// instructions, character references or namespaces; comments are skipped
// only where a whole element is expected.
//
// All comparisons are byte comparisons on CP1251 text, case-sensitive.
// "Blank" means a byte with a code of 32 or less. Every position taken from
// the text is bounds-checked: a truncated or malformed text gives a failure,
// never a read outside it. Nothing here throws except std::bad_alloc.
// Every function is pure and may be called from any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/StringList.h"

namespace common {

// True when a ">" exists at or after the 1-based position and the byte just
// before it is "/". False for a position below 1 or not below the length.
bool IsSelfClosingAt(std::string_view text, int position);

// Cuts the next whole element off the front of text, after skipping any
// comments in front of it. On success element holds the element (trimmed),
// text keeps what follows (trimmed), and the answer is true. On failure
// element is empty, text keeps its state after the comment skipping
// (trimmed), and the answer is false.
//
// Nested elements of the element's own name are balanced; other names are
// not. When the closing tags run out before the openings do, element is a
// cut-off fragment that no later ParseElement accepts.
bool ExtractNextElement(std::string& text, std::string& element);

// The same rules on a view: text is narrowed to the rest and element views
// into the same buffer. For readers that take many elements from one text
// without copying the rest each time.
bool ExtractNextElement(std::string_view& text, std::string_view& element);

// One attribute of an element: its name (trimmed) and its value between
// the quotes, each viewing into the element's text.
struct TXMLAttribute {
  std::string_view Name;
  std::string_view Value;
};

// The parts of one element, each viewing into the element's text: what
// ParseElement gives, without copying. For readers of many elements.
struct TXMLElementView {
  std::string_view Tag;
  std::vector<TXMLAttribute> Attributes;
  std::string_view Content;

  // The value of the first attribute of that exact (case-sensitive) name,
  // or def.
  std::string_view Attribute(std::string_view name, std::string_view def) const;
  // Attribute converted as TXMLDataItem::GetIntAttribute converts.
  int32_t IntAttribute(std::string_view name, int32_t def) const;
};

// ParseAttributes into views: appends one entry per attribute, by the same
// rules and with the same failures (entries of earlier attributes stay).
bool SplitAttributes(std::string_view attributeText, std::vector<TXMLAttribute>& attributes);

// ParseElement into views: empties parts, then splits by the same rules,
// with the same failures and the same parts filled when one occurs.
bool SplitElement(std::string_view elementText, TXMLElementView& parts);

// Appends one line name="value" per attribute of the attribute text to
// list, always between double quotes whatever quote the text used; the value
// is taken verbatim. Text after the last value without a further "=" is
// ignored. False for an empty name, a value that does not start with a
// quote, or a missing closing quote (lines of earlier attributes stay).
bool ParseAttributes(std::string_view attributeText, platform::os::TStringList& list);

// Splits one element: clears list, tag and content, then fills them. A text
// ending in "/>" is self-closing and loses those two bytes; what remains
// without any ">" is the name and its attributes (no content), and what
// remains with a ">" splits as an element with content, so `<a></a>/>`
// splits into tag a. Otherwise the closing tag must repeat the opening
// name exactly and end the text. False for any other shape, or when its
// attributes do not parse.
bool ParseElement(std::string_view elementText, platform::os::TStringList& attributes,
                  std::string& tag, std::string& content);

// One split element of the description file.
class TXMLDataItem {
 public:
  TXMLDataItem() = default;
  virtual ~TXMLDataItem() = default;

  // Empties Tag, Content and Attributes.
  virtual void Clear();

  // Clears the item, then splits the trimmed text with ParseElement. An
  // empty or blank text gives true and leaves the item empty.
  bool Parse(std::string_view text);

  // The value of the first line name="..." (exact, case-sensitive name, the
  // rest at least two bytes and quoted at both ends); lines that start with
  // name= but are not quoted so are skipped. def when there is none.
  std::string GetAttribute(std::string_view name, std::string_view def) const;

  // GetAttribute converted to a 32-bit signed integer (leading blanks, a
  // sign, decimal digits, or hex after "$", "x", "X", "0x", "0X"); def when
  // the attribute is missing, has any other character (a trailing blank
  // too), or overflows.
  int32_t GetIntAttribute(std::string_view name, int32_t def) const;

  std::string Tag;                     // element name as written
  platform::os::TStringList Attributes;  // one name="value" line each
  std::string Content;                 // between the tags, trimmed
};

}  // namespace common
