#include "platform/ui/Graphic.h"

#include <fstream>

namespace platform::ui {

std::vector<uint8_t> ReadGraphicFile(const std::string& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) throw EInvalidGraphic("Cannot open file " + path);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > limit) throw EInvalidGraphic("File too large: " + path);
  std::vector<uint8_t> data(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!data.empty() && !in.read(reinterpret_cast<char*>(data.data()), size))
    throw EInvalidGraphic("Cannot read file " + path);
  return data;
}

void TGraphic::LoadFromFile(const std::string& path) { LoadFromBytes(ReadGraphicFile(path)); }

}  // namespace platform::ui
