# Build switches shared by every target.
option(FW_WERROR "Treat warnings as errors" OFF)
set(FW_SANITIZE "" CACHE STRING "Sanitizer build: empty, address (with undefined) or thread")
option(FW_FUZZ "Build libFuzzer targets (clang only)" OFF)
if(FW_FUZZ)
  # Every library is instrumented for coverage, so fuzz targets link them.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

add_compile_options(-Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
if(FW_WERROR)
  add_compile_options(-Werror)
endif()

if(FW_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(FW_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT FW_SANITIZE STREQUAL "")
  message(FATAL_ERROR "FW_SANITIZE must be empty, address or thread")
endif()
