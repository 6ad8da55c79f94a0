#pragma once
// The host's script: one command a line, words split at blanks, "..."
// quoting a word, "#" starting a comment outside quotes. Scripts are UTF-8.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kernel {

// A fault of the script itself; the host ends with status 2.
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ScriptLine {
  int Number = 0;                  // 1-based
  std::vector<std::string> Words;  // empty for a blank or comment line
};

// The words of one line; throws ScriptError on an unterminated quote.
std::vector<std::string> SplitWords(std::string_view line);

// A decimal word as an integer in low..high; throws ScriptError "bad WHAT"
// when it is no number, "WHAT out of range" outside the bounds.
int64_t ParseInteger(const std::string& word, int64_t low, int64_t high, const char* what);

// Where script lines come from.
class LineSource {
 public:
  virtual ~LineSource() = default;
  // The next line, or nullopt at the end. Main thread.
  virtual std::optional<std::string> NextLine() = 0;
};

// The lines of a file, read whole at the start; throws ScriptError when it
// cannot be read.
std::unique_ptr<LineSource> OpenScriptFile(const std::string& path);

// Standard input, line by line as it arrives; while it waits for the rest
// of a line it handles the calling thread's window messages. It ends (no
// further line) once the host is interrupted (Interruption.h).
std::unique_ptr<LineSource> OpenStandardInput();

}  // namespace kernel
