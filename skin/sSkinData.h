#pragma once
// sSkinData: the skin state of the library and the lookups of skin sections
// and their images by name. No skin is ever loaded in this system: the
// state is created inactive and nothing activates it, so every lookup
// answers -1 and every look comes from the style objects' own settings.
// GUI thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/Component.h"

namespace skin {

// The library's one skin state object, zeroed at creation.
class TsSkinData : public platform::ui::TObject {
 public:
  int32_t Reserved1 = 0;
  std::unique_ptr<platform::ui::TObject> Owned;  // none in this system
  int32_t Reserved2 = 0;
  // No skin is in use while false.
  bool Active = false;
};

// The instance, created on first use.
TsSkinData& SkinData();
// The library's current section name; stays empty in this system.
std::string& CurrentSectionName();
// Clears the first field, frees the owned object and the current section
// name, as the library's end does.
void FinalizeSkinData();

// Index of the first section whose name equals name without case; -1 while
// the skin is inactive, the table is empty or none matches.
int32_t FindSkinSection(std::string_view name);
// Index into the mask images of the entry for propertyName in the section
// (or, failing that, in its ancestors); -1 unless the section index is
// valid, the name non-empty and an entry matches. Parent chains are
// followed at most as many steps as there are sections, so a cycle ends.
int32_t FindSkinImage(int32_t sectionIndex, std::string_view sectionName, std::string_view propertyName);
// The same over the other images.
int32_t FindSkinPicture(int32_t sectionIndex, std::string_view sectionName, std::string_view propertyName);

// Property names looked up in a section.
inline constexpr std::string_view kBordersMaskProperty = "BORDERSMASK";
inline constexpr std::string_view kImageFileProperty = "IMAGEFILE";
inline constexpr std::string_view kHotImageFileProperty = "HOTIMAGEFILE";

}  // namespace skin
