// The built-in border masks are compiled into the binaries that paint
// buttons: the driver module (loaded here as a kernel loads it) and the
// server program (its file holds every mask file's bytes). This program
// embeds none, so it also shows that the masks are read on first use,
// from resources registered after the program started.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ui/Bitmap.h"
#include "platform/ui/Resources.h"
#include "skin/sBorderMasks.h"

namespace ui = platform::ui;

namespace {

struct MaskSize {
  const char* name;
  int w, h;
};
constexpr MaskSize kMasks[] = {{"BORD1", 90, 60}, {"BORD2", 90, 60}, {"BORD3", 90, 60},
                               {"BORD4", 90, 60}, {"BORD5", 54, 36}, {"BORD6", 450, 96}};

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(BinariesTest, TheModuleHoldsTheSixMasks) {
  void* module = dlopen(FW_OUT_DIR "/Ferrowick_V30.dlm", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  for (const MaskSize& m : kMasks) {
    const auto bytes = ui::FindResource(m.name, "BITMAP", "Ferrowick_V30.dlm");
    ASSERT_TRUE(bytes.has_value()) << m.name;
    ui::TBitmap b;
    b.LoadFromBytes(*bytes);
    EXPECT_EQ(b.Width(), m.w) << m.name;
    EXPECT_EQ(b.Height(), m.h) << m.name;
  }
  dlclose(module);
  EXPECT_FALSE(ui::FindResource("BORD1", "BITMAP", "Ferrowick_V30.dlm").has_value());
}

TEST(BinariesTest, TheServerProgramHoldsTheSixMasks) {
  const std::vector<uint8_t> program = ReadAll(FW_OUT_DIR "/Ferrowick_V30.srv");
  ASSERT_FALSE(program.empty());
  for (const MaskSize& m : kMasks) {
    const std::vector<uint8_t> file = ReadAll(std::string(FW_SOURCE_DIR "/skin/masks/") + m.name + ".bmp");
    ui::TBitmap b;
    b.LoadFromBytes(file);
    EXPECT_EQ(b.Width(), m.w) << m.name;
    EXPECT_EQ(b.Height(), m.h) << m.name;
    const auto found = std::search(program.begin(), program.end(), std::boyer_moore_searcher(file.begin(), file.end()));
    EXPECT_NE(found, program.end()) << m.name;
  }
}

TEST(BinariesTest, MasksAreReadOnFirstUse) {
  std::vector<std::vector<uint8_t>> files;
  std::vector<ui::TResourceEntry> entries;
  for (const MaskSize& m : kMasks)
    files.push_back(ReadAll(std::string(FW_SOURCE_DIR "/skin/masks/") + m.name + ".bmp"));
  for (std::size_t i = 0; i < files.size(); ++i)
    entries.push_back({kMasks[i].name, "BITMAP", files[i].data(), files[i].size()});
  const ui::TResourceRegistration late("late", entries);
  for (std::size_t i = 0; i < std::size(kMasks); ++i) {
    const ui::TBitmap& mask = skin::PredefinedMask(static_cast<skin::TsPredefinedBorders>(i));
    EXPECT_EQ(mask.Width(), kMasks[i].w) << kMasks[i].name;
    EXPECT_EQ(mask.Height(), kMasks[i].h) << kMasks[i].name;
  }
}

}  // namespace
