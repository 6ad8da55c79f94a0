#pragma once
// Resources compiled into a binary: named byte blocks (a whole BMP file
// for a bitmap, a whole ICO file for an icon), registered by the binary
// while it is loaded. The CMake step of platform/ui/resources.cmake writes
// the tables and their registration. Thread-safe.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform::ui {

// Raised by the LoadFromResourceName calls for a name no binary holds.
class EResNotFound : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TResourceEntry {
  const char* Name;  // as the program asks for it, e.g. "BORD1"
  const char* Type;  // "BITMAP", "ICON" or "RCDATA"
  const uint8_t* Data;
  std::size_t Size;
};

// Registers a binary's resources for as long as the object lives (one
// static object per binary, so that unloading a module withdraws them).
class TResourceRegistration {
 public:
  TResourceRegistration(std::string module, std::span<const TResourceEntry> entries);
  ~TResourceRegistration();
  TResourceRegistration(const TResourceRegistration&) = delete;
  TResourceRegistration& operator=(const TResourceRegistration&) = delete;

 private:
  std::string module_;
  std::span<const TResourceEntry> entries_;
};

// The bytes of the resource of that name and type (names compared without
// ASCII case), looked up in the named module or, for "", in every module in
// order of registration; nullopt when none has it.
std::optional<std::span<const uint8_t>> FindResource(std::string_view name, std::string_view type,
                                                     std::string_view module = "");

}  // namespace platform::ui
