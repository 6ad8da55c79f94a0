#pragma once
// In-memory model of the tag description file: devices sorted by name, each
// with its OPC tags in file order; a tag has a data type, a processing kind,
// a kernel address, an expression and an optional chain of subitems. Both
// the driver and the server load it; the server also copies single tags
// (Clone).
//
// A model belongs to one thread. Loads report through their Boolean result
// and DescriptionErrorText; they never throw.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/TArray.h"
#include "platform/os/StringList.h"

namespace common {

struct TXMLElementView;

// Data type of a tag (attribute "type"); 0 means not recognised.
enum class TOPCTagType : uint8_t {
  otUnknown = 0,
  otByte = 1,      // unsigned 8-bit
  otShortInt = 2,  // signed 8-bit
  otInteger = 3,   // signed 16-bit
  otWord = 4,      // unsigned 16-bit
  otLongInt = 5,   // signed 32-bit
  otLongWord = 6,  // unsigned 32-bit
  otSingle = 7,    // 32-bit floating point
};
static_assert(sizeof(TOPCTagType) == 1);

// Processing kind of a tag (attribute "proc").
enum class TOPCProcKind : uint8_t {
  pkEmpty = 0,
  pkBitString = 1,  // split into bits
  pkValue = 2,      // whole value
};
static_assert(sizeof(TOPCProcKind) == 1);

// The name written for a type or kind ("Byte", "BitString", ...).
std::string_view TagTypeName(TOPCTagType type);
std::string_view ProcKindName(TOPCProcKind kind);
// The type or kind of an attribute text, in any case ("INT16" is
// otInteger); otUnknown / pkEmpty for anything not listed.
TOPCTagType TagTypeFromName(std::string_view name);
TOPCProcKind ProcKindFromName(std::string_view name);

// Nesting of opctag elements inside opctag content that Parse follows;
// deeper items fail (and are reset), so that a hostile file cannot exhaust
// the stack.
inline constexpr int kMaxTagNesting = 32;

// One opctag or subitem element; a head item owns the chain of its
// subitems in file order.
class TOPCTagItem {
 public:
  // Parses the text of one element. When that fails the item is reset:
  // Name empty, type and kind 0, Address -1, Expression empty, no chain.
  explicit TOPCTagItem(std::string_view text);
  // Releases the whole chain (iteratively: a long chain cannot exhaust the
  // stack).
  virtual ~TOPCTagItem();

  TOPCTagItem(const TOPCTagItem&) = delete;
  TOPCTagItem& operator=(const TOPCTagItem&) = delete;

  // Reads the first element of text into the fields (defaults "Unknown",
  // "Unknown", "Empty", -1, ""), when its tag is opctag or subitem in any
  // case; an opctag's child elements are appended to the chain. An empty
  // text answers true and changes nothing; another tag name answers true
  // without touching the fields. False when the element does not split, or
  // an opctag's content holds text that is not an element
  // (DescriptionErrorText then holds that text).
  bool Parse(std::string_view text);

  // Appends the item and its chain as lines, indent blanks first: one
  // self-closing opctag line, or an opening opctag line, one subitem line
  // per chain item (3 more blanks) and "</opctag>". Every line but the
  // closing one ends in one blank. A value holding a double quote and no
  // single quote is written between single quotes, every other value
  // between double quotes.
  void WriteLines(int indent, platform::os::TStringList& lines) const;

  // WriteLines with indent 0, each line followed by CR LF. The constructor
  // reads it back to the same fields and chain.
  std::string AsText() const;

  // A copy of the item and its chain, field by field. For every item that
  // a parse made it equals what the constructor makes of AsText(), without
  // the text.
  std::unique_ptr<TOPCTagItem> Clone() const;

  std::string Name;                                // OPC item identifier
  TOPCTagType TagType = TOPCTagType::otUnknown;
  TOPCProcKind ProcKind = TOPCProcKind::pkEmpty;
  int32_t Address = 0;                             // kernel tag address
  std::string Expression;                          // "%VALUE%" is the raw value
  std::unique_ptr<TOPCTagItem> NextItem;           // next subitem

 private:
  TOPCTagItem() = default;
  bool ParseAt(std::string_view text, int depth);
  void Reset();
  void WriteItemLine(std::string_view element, std::string_view pad,
                     std::string_view end, platform::os::TStringList& lines) const;
};

// The tags of one device in file order; owns them.
class TOPCTagsList : public TOwningList<TOPCTagItem, TBaseArray> {
 public:
  // Appends a TOPCTagItem for every element of the content of a tagstlist
  // element. False, with DescriptionErrorText set, at the first element
  // whose item has type 0 (that item is not kept) or when text is left that
  // is not an element; items appended before stay.
  bool ParseTags(std::string_view text);
};

// One device of the model.
struct TOPCDeviceDescription {
  std::string DeviceName;              // at most 255 bytes
  std::unique_ptr<TOPCTagsList> Tags;  // null only in a search key
};

// Devices sorted by DeviceName (unsigned bytes, case-sensitive, a prefix
// first); a name appears once. Owns its records.
class TOPCDescriptionFile : public TOwningList<TOPCDeviceDescription, TSortedArray> {
 public:
  static constexpr std::size_t kMaxDeviceName = 255;

  int32_t Compare(const void* key1, const void* key2) const override;

  // The device of that name (cut to 255 bytes), or nullptr; index gets its
  // position or the position where it would be inserted.
  TOPCDeviceDescription* FindDevice(std::string_view name, int32_t& index) const;

  // Adds the devices of a description text given as lines. Comment lines
  // (";" first) and empty lines are removed from lines. A device whose name
  // is present already is dropped (the first wins). False on any error,
  // with DescriptionErrorText telling where the load stopped; the devices
  // added before stay. Never throws.
  bool LoadFromStrings(platform::os::TStringList& lines);

  // LoadFromStrings on the lines of a file (CR LF or LF), without building
  // them as a list. False when the file cannot be read, DescriptionErrorText
  // then unchanged. Never throws.
  bool LoadFromFile(const std::string& path);

 private:
  bool LoadText(platform::os::TStringList& lines);
  // Loads the kept lines, joined with CR LF.
  bool LoadJoined(const std::string& text);
  bool LoadDevice(const TXMLElementView& element);
};

// Where the last load stopped: empty after a successful load, otherwise the
// piece of text at which it failed. Shared by every model of the process;
// any thread.
std::string DescriptionErrorText();

}  // namespace common
