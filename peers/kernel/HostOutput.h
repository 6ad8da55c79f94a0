#pragma once
// The host's output: one event a line on standard output, UTF-8, flushed
// at once so that a test steering the host line by line sees each event
// as it happens. Lines of different threads never interleave.

#include <mutex>
#include <string>
#include <string_view>

namespace kernel {

class HostOutput {
 public:
  // Writes line and a line end. Any thread.
  void Line(std::string_view line);

 private:
  std::mutex lock_;
};

// A CP1251 text as a quoted UTF-8 word: "..." with \ and " escaped by a
// backslash and control characters as \n, \r, \t or \xHH.
std::string Quoted(std::string_view cp1251);

// F as %.9g with "." as decimal separator.
std::string FloatText(double value);

}  // namespace kernel
