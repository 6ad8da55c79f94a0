#include "skin/sSkinData.h"

#include "platform/os/Text.h"
#include "skin/sMaskData.h"

namespace skin {

namespace {

// The entry of records for property in the section, or in its ancestors;
// depth counts the parents followed so far.
template <class Records>
int32_t FindInSection(const Records& records, int32_t sectionIndex, std::string_view sectionName,
                      std::string_view property, std::size_t depth) {
  if (!IsSectionIndexValid(sectionIndex) || sectionName.empty()) return -1;
  const std::string name = platform::os::AnsiUpperCase(sectionName);
  for (std::size_t i = 0; i < records.size(); ++i)
    if (records[i].PropertyName == property && records[i].SectionName == name) return static_cast<int32_t>(i);
  const std::string parent =
      platform::os::AnsiUpperCase(SkinSections()[static_cast<std::size_t>(sectionIndex)].ParentName);
  if (parent.empty() || parent == name || depth >= SkinSections().size()) return -1;
  const int32_t parentIndex = FindSkinSection(parent);
  return parentIndex < 0 ? -1 : FindInSection(records, parentIndex, parent, property, depth + 1);
}

}  // namespace

TsSkinData& SkinData() {
  static TsSkinData data;
  return data;
}

std::string& CurrentSectionName() {
  static std::string name;
  return name;
}

void FinalizeSkinData() {
  TsSkinData& data = SkinData();
  data.Reserved1 = 0;
  data.Owned.reset();
  CurrentSectionName().clear();
}

int32_t FindSkinSection(std::string_view name) {
  const std::vector<TsSkinSection>& sections = SkinSections();
  if (!SkinData().Active || sections.empty()) return -1;
  const std::string wanted = platform::os::AnsiUpperCase(name);
  for (std::size_t i = 0; i < sections.size(); ++i)
    if (platform::os::AnsiUpperCase(sections[i].Name) == wanted) return static_cast<int32_t>(i);
  return -1;
}

int32_t FindSkinImage(int32_t sectionIndex, std::string_view sectionName, std::string_view propertyName) {
  return FindInSection(SkinMasks(), sectionIndex, sectionName, propertyName, 0);
}

int32_t FindSkinPicture(int32_t sectionIndex, std::string_view sectionName, std::string_view propertyName) {
  return FindInSection(SkinImages(), sectionIndex, sectionName, propertyName, 0);
}

}  // namespace skin
