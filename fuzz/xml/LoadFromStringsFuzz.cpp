// Loads an arbitrary text as a description. Checks the model's contract:
// devices stay sorted and unique, a successful load leaves no error text,
// and every loaded tag travels through its text (AsText, then the
// constructor) with all fields and its chain intact.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Opc_Description.h"
#include "platform/os/StringList.h"
#include "platform/os/Text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool SameFields(const common::TOPCTagItem& a, const common::TOPCTagItem& b) {
  return a.Name == b.Name && a.TagType == b.TagType && a.ProcKind == b.ProcKind &&
         a.Address == b.Address && a.Expression == b.Expression;
}

void CheckRoundTrip(const common::TOPCTagItem& tag) {
  const common::TOPCTagItem copy(tag.AsText());
  const common::TOPCTagItem* a = &tag;
  const common::TOPCTagItem* b = &copy;
  for (; a && b; a = a->NextItem.get(), b = b->NextItem.get()) Check(SameFields(*a, *b));
  Check(a == nullptr && b == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::os::TStringList lines;
  lines.SetText(std::string_view(reinterpret_cast<const char*>(data), size));

  common::TOPCDescriptionFile model;
  const bool ok = model.LoadFromStrings(lines);
  if (ok) Check(common::DescriptionErrorText().empty());

  for (int32_t i = 0; i < model.Count(); ++i) {
    const common::TOPCDeviceDescription* device = model.At(i);
    Check(device->DeviceName.size() <= common::TOPCDescriptionFile::kMaxDeviceName);
    if (i > 0) Check(platform::os::CompareStr(model.At(i - 1)->DeviceName, device->DeviceName) < 0);
    int32_t index = -1;
    Check(model.FindDevice(device->DeviceName, index) == device && index == i);
    for (int32_t t = 0; t < device->Tags->Count(); ++t) {
      const common::TOPCTagItem* tag = device->Tags->At(t);
      Check(tag->TagType != common::TOPCTagType::otUnknown);
      CheckRoundTrip(*tag);
    }
  }
  return 0;
}
