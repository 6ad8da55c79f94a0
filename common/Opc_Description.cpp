#include "common/Opc_Description.h"

#include <array>
#include <exception>
#include <mutex>
#include <utility>

#include "common/DrvXmlTools.h"
#include "platform/os/Convert.h"
#include "platform/os/Files.h"
#include "platform/os/Text.h"

namespace common {

namespace {

using platform::os::SameText;
using platform::os::TrimView;

struct ErrorText {
  std::mutex lock;
  std::string text;
};

ErrorText& SharedErrorText() {
  static ErrorText shared;
  return shared;
}

void SetDescriptionErrorText(std::string_view text) {
  ErrorText& e = SharedErrorText();
  std::lock_guard guard(e.lock);
  e.text.assign(text);
}

struct TypeName {
  std::string_view name;
  TOPCTagType type;
};

constexpr std::array<TypeName, 19> kTypeNames{{
    {"byte", TOPCTagType::otByte},         {"8u", TOPCTagType::otByte},
    {"shortint", TOPCTagType::otShortInt}, {"8s", TOPCTagType::otShortInt},
    {"short", TOPCTagType::otShortInt},    {"smallint", TOPCTagType::otInteger},
    {"integer", TOPCTagType::otInteger},   {"16s", TOPCTagType::otInteger},
    {"int16", TOPCTagType::otInteger},     {"word", TOPCTagType::otWord},
    {"uinteger", TOPCTagType::otWord},     {"16u", TOPCTagType::otWord},
    {"uint16", TOPCTagType::otWord},       {"longint", TOPCTagType::otLongInt},
    {"32s", TOPCTagType::otLongInt},       {"longword", TOPCTagType::otLongWord},
    {"32u", TOPCTagType::otLongWord},      {"single", TOPCTagType::otSingle},
    {"float", TOPCTagType::otSingle},
}};

constexpr std::array<std::string_view, 8> kTypeWritten{
    "Unknown", "Byte", "ShortInt", "Integer", "Word", "LongInt", "LongWord", "Single"};
constexpr std::array<std::string_view, 3> kProcWritten{"Empty", "BitString", "Value"};

// A value goes between double quotes unless it holds one and no single
// quote; a value with both kinds cannot be quoted and stays in double.
std::string Quoted(std::string_view value) {
  const bool useSingle =
      value.find('"') != std::string_view::npos && value.find('\'') == std::string_view::npos;
  const char q = useSingle ? '\'' : '"';
  std::string out;
  out.reserve(value.size() + 2);
  out += q;
  out += value;
  out += q;
  return out;
}

// Splits an element as TXMLDataItem::Parse does: a blank text is an
// element without a name.
bool SplitTrimmed(std::string_view text, TXMLElementView& parts) {
  const std::string_view s = TrimView(text);
  if (s.empty()) {
    parts = TXMLElementView{};
    return true;
  }
  return SplitElement(s, parts);
}

// A comment line (";" first) or an empty line, which a load leaves out.
bool IsDropped(std::string_view line) { return line.empty() || line.front() == ';'; }

// The lines of a file's bytes, split as a string list splits them, without
// the dropped ones, each followed by CR LF: the text of the list a load
// would have kept.
std::string JoinedLines(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() + 2);
  platform::os::ForEachLine(bytes, [&text](std::string_view line) {
    if (!IsDropped(line)) text.append(line).append("\r\n");
  });
  return text;
}

// The root's closing tag is the last thing in the text: a "/>" after it,
// which splitting takes off as a self-closing mark, is text after the root.
bool RootEndsText(std::string_view text, std::string_view tag) {
  const std::string_view t = TrimView(text);
  const bool selfClosing = t.find('>') + 1 == t.size();
  return selfClosing || (t.ends_with(">") && t.substr(0, t.size() - 1).ends_with(tag) &&
                         t.substr(0, t.size() - 1 - tag.size()).ends_with("</"));
}

}  // namespace

std::string DescriptionErrorText() {
  ErrorText& e = SharedErrorText();
  std::lock_guard guard(e.lock);
  return e.text;
}

std::string_view TagTypeName(TOPCTagType type) {
  const auto i = static_cast<std::size_t>(type);
  return i < kTypeWritten.size() ? kTypeWritten[i] : kTypeWritten[0];
}

std::string_view ProcKindName(TOPCProcKind kind) {
  const auto i = static_cast<std::size_t>(kind);
  return i < kProcWritten.size() ? kProcWritten[i] : kProcWritten[0];
}

TOPCTagType TagTypeFromName(std::string_view name) {
  for (const TypeName& t : kTypeNames)
    if (SameText(name, t.name)) return t.type;
  return TOPCTagType::otUnknown;
}

TOPCProcKind ProcKindFromName(std::string_view name) {
  if (SameText(name, "bitstring") || SameText(name, "bitset")) return TOPCProcKind::pkBitString;
  if (SameText(name, "value")) return TOPCProcKind::pkValue;
  return TOPCProcKind::pkEmpty;
}

// ---------------------------------------------------------------- TOPCTagItem

TOPCTagItem::TOPCTagItem(std::string_view text) {
  if (!Parse(text)) Reset();
}

TOPCTagItem::~TOPCTagItem() {
  std::unique_ptr<TOPCTagItem> next = std::move(NextItem);
  while (next) next = std::move(next->NextItem);
}

void TOPCTagItem::Reset() {
  Name.clear();
  TagType = TOPCTagType::otUnknown;
  ProcKind = TOPCProcKind::pkEmpty;
  Address = -1;
  Expression.clear();
  NextItem.reset();
}

bool TOPCTagItem::Parse(std::string_view text) { return ParseAt(text, 0); }

bool TOPCTagItem::ParseAt(std::string_view text, int depth) {
  std::string_view rest = TrimView(text);
  if (rest.empty()) return true;
  if (depth > kMaxTagNesting) {
    SetDescriptionErrorText(rest);
    return false;
  }
  std::string_view element;
  ExtractNextElement(rest, element);
  TXMLElementView x;
  if (!SplitTrimmed(element, x)) return false;

  const bool head = SameText(x.Tag, "opctag");
  if (!head && !SameText(x.Tag, "subitem")) return true;
  Name = x.Attribute("name", "Unknown");
  TagType = TagTypeFromName(x.Attribute("type", "Unknown"));
  ProcKind = ProcKindFromName(x.Attribute("proc", "Empty"));
  Address = x.IntAttribute("hvaddress", -1);
  Expression = x.Attribute("expression", "");
  if (!head) return true;

  TOPCTagItem* tail = this;
  while (tail->NextItem) tail = tail->NextItem.get();
  std::string_view content = TrimView(x.Content);
  std::string_view childText;
  while (ExtractNextElement(content, childText)) {
    std::unique_ptr<TOPCTagItem> child(new TOPCTagItem());
    if (!child->ParseAt(childText, depth + 1)) child->Reset();
    tail->NextItem = std::move(child);
    // A child read from an opctag brings its own chain along.
    while (tail->NextItem) tail = tail->NextItem.get();
  }
  if (!content.empty()) {
    SetDescriptionErrorText(content);
    return false;
  }
  return true;
}

void TOPCTagItem::WriteItemLine(std::string_view element, std::string_view pad,
                                std::string_view end, platform::os::TStringList& lines) const {
  std::string line(pad);
  line += "<";
  line += element;
  line += " name=" + Quoted(Name);
  line += " type=\"" + std::string(TagTypeName(TagType)) + "\"";
  line += " proc=\"" + std::string(ProcKindName(ProcKind)) + "\"";
  line += " hvaddress=\"" + platform::os::IntToStr(Address) + "\"";
  line += " expression=" + Quoted(Expression);
  line += end;
  lines.Add(line);
}

void TOPCTagItem::WriteLines(int indent, platform::os::TStringList& lines) const {
  const std::string pad(static_cast<std::size_t>(indent > 0 ? indent : 0), ' ');
  if (!NextItem) {
    WriteItemLine("opctag", pad, "/> ", lines);
    return;
  }
  WriteItemLine("opctag", pad, "> ", lines);
  const std::string subPad = pad + "   ";
  for (const TOPCTagItem* item = NextItem.get(); item; item = item->NextItem.get())
    item->WriteItemLine("subitem", subPad, "/> ", lines);
  lines.Add(pad + "</opctag>");
}

std::string TOPCTagItem::AsText() const {
  platform::os::TStringList lines;
  WriteLines(0, lines);
  return lines.Text();
}

std::unique_ptr<TOPCTagItem> TOPCTagItem::Clone() const {
  std::unique_ptr<TOPCTagItem> head(new TOPCTagItem());
  TOPCTagItem* to = head.get();
  for (const TOPCTagItem* from = this; from != nullptr; from = from->NextItem.get()) {
    if (from != this) {
      to->NextItem.reset(new TOPCTagItem());
      to = to->NextItem.get();
    }
    to->Name = from->Name;
    to->TagType = from->TagType;
    to->ProcKind = from->ProcKind;
    to->Address = from->Address;
    to->Expression = from->Expression;
  }
  return head;
}

// --------------------------------------------------------------- TOPCTagsList

bool TOPCTagsList::ParseTags(std::string_view text) {
  std::string_view rest = TrimView(text);
  SetDescriptionErrorText(rest);
  std::string_view element;
  while (ExtractNextElement(rest, element)) {
    auto item = std::make_unique<TOPCTagItem>(element);
    if (item->TagType == TOPCTagType::otUnknown) {
      SetDescriptionErrorText(element);
      return false;
    }
    Add(item.get());
    item.release();
  }
  SetDescriptionErrorText(rest);
  return rest.empty();
}

// -------------------------------------------------------- TOPCDescriptionFile

int32_t TOPCDescriptionFile::Compare(const void* key1, const void* key2) const {
  const auto* a = static_cast<const TOPCDeviceDescription*>(key1);
  const auto* b = static_cast<const TOPCDeviceDescription*>(key2);
  return platform::os::CompareStr(a->DeviceName, b->DeviceName);
}

TOPCDeviceDescription* TOPCDescriptionFile::FindDevice(std::string_view name,
                                                        int32_t& index) const {
  TOPCDeviceDescription key;
  key.DeviceName.assign(name.substr(0, kMaxDeviceName));
  return FindKey(&key, index) ? At(index) : nullptr;
}

bool TOPCDescriptionFile::LoadFromFile(const std::string& path) {
  try {
    std::string bytes;
    if (!platform::os::ReadFileBytes(path, bytes)) return false;
    SetDescriptionErrorText("");
    if (bytes.empty()) return false;  // no lines
    return LoadJoined(JoinedLines(bytes));
  } catch (const std::exception&) {
    return false;  // out of memory while reading: a failed load
  }
}

bool TOPCDescriptionFile::LoadFromStrings(platform::os::TStringList& lines) {
  try {
    return LoadText(lines);
  } catch (const std::exception&) {
    return false;  // out of memory: the load stops where the error text says
  }
}

bool TOPCDescriptionFile::LoadText(platform::os::TStringList& lines) {
  SetDescriptionErrorText("");
  if (lines.Count() == 0) return false;
  for (int i = lines.Count() - 1; i >= 0; --i) {
    if (IsDropped(lines[i])) lines.Delete(i);
  }
  return LoadJoined(lines.Text());
}

bool TOPCDescriptionFile::LoadJoined(const std::string& text) {
  SetDescriptionErrorText(text);

  TXMLElementView root;
  if (!SplitTrimmed(text, root) || !SameText(root.Tag, "OPC_Description") ||
      !RootEndsText(text, root.Tag))
    return false;

  std::string_view rest = root.Content;
  std::string_view element;
  TXMLElementView x;
  while (ExtractNextElement(rest, element)) {
    SetDescriptionErrorText(element);
    if (!SplitTrimmed(element, x)) return false;
    if (SameText(x.Tag, "device") && !LoadDevice(x)) return false;
  }
  SetDescriptionErrorText(rest);
  return rest.empty();
}

bool TOPCDescriptionFile::LoadDevice(const TXMLElementView& device) {
  // Owned here until the list takes it: a device that fails part-way, or
  // loses to an earlier one of its name, is freed with its tags.
  auto record = std::make_unique<TOPCDeviceDescription>();
  record->DeviceName = device.Attribute("name", "Unknown").substr(0, kMaxDeviceName);
  record->Tags = std::make_unique<TOPCTagsList>();

  std::string_view rest = TrimView(device.Content);
  std::string_view element;
  TXMLElementView x;
  while (ExtractNextElement(rest, element)) {
    SetDescriptionErrorText(element);
    if (!SplitTrimmed(element, x)) return false;
    if (SameText(x.Tag, "tagstlist") && !record->Tags->ParseTags(x.Content)) return false;
  }
  SetDescriptionErrorText(rest);
  if (!rest.empty()) return false;

  const int32_t before = Count();
  Add(record.get());
  if (Count() != before) record.release();
  return true;
}

}  // namespace common
