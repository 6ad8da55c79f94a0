#include "peers/kernel/ScriptReader.h"

#include "peers/kernel/Interruption.h"
#include "platform/os/StringList.h"

#include <poll.h>
#include <cerrno>
#include <cstdlib>
#include <utility>
#include <unistd.h>

namespace kernel {

std::vector<std::string> SplitWords(std::string_view line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      const size_t end = line.find('"', i + 1);
      if (end == std::string_view::npos) throw ScriptError("unterminated quote");
      words.emplace_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      size_t end = i;
      while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r' && line[end] != '#') ++end;
      words.emplace_back(line.substr(i, end - i));
      i = end;
    }
  }
  return words;
}

int64_t ParseInteger(const std::string& word, int64_t low, int64_t high, const char* what) {
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(word.c_str(), &end, 10);
  if (word.empty() || *end != '\0' || errno == ERANGE) throw ScriptError(std::string("bad ") + what + ": " + word);
  if (value < low || value > high) throw ScriptError(std::string(what) + " out of range: " + word);
  return value;
}

namespace {

class FileSource : public LineSource {
 public:
  explicit FileSource(const std::string& path) {
    if (!lines_.LoadFromFile(path)) throw ScriptError("cannot read script " + path);
  }
  std::optional<std::string> NextLine() override {
    if (next_ >= lines_.Count()) return std::nullopt;
    return lines_[next_++];
  }

 private:
  platform::os::TStringList lines_;
  int next_ = 0;
};

class StdinSource : public LineSource {
 public:
  std::optional<std::string> NextLine() override {
    for (;;) {
      const size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
      }
      if (eof_) {
        if (pending_.empty()) return std::nullopt;
        return std::exchange(pending_, std::string());
      }
      if (Interrupted()) return std::nullopt;
      // Handle the kernel thread's messages while the next line is on its way.
      if (PumpUntil(Readable, 100)) ReadSome();
    }
  }

 private:
  static bool Readable() {
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    return ::poll(&fd, 1, 0) > 0;
  }
  void ReadSome() {
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n > 0) {
      pending_.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      eof_ = true;
    }
  }

  std::string pending_;
  bool eof_ = false;
};

}  // namespace

std::unique_ptr<LineSource> OpenScriptFile(const std::string& path) { return std::make_unique<FileSource>(path); }

std::unique_ptr<LineSource> OpenStandardInput() { return std::make_unique<StdinSource>(); }

}  // namespace kernel
