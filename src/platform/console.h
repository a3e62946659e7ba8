#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace acqsort {

// Where the report lines go. Each line is a run of text pieces with nothing added between
// them; ending it writes one newline and flushes, so that an operator watching the console
// sees each step as soon as it is done.
class Console {
 public:
  virtual ~Console() = default;
  virtual void WriteLine(std::string_view line) = 0;

  void Report(std::initializer_list<std::string_view> pieces);
};

// Standard output, with the platform's own newline.
class StandardOutput : public Console {
 public:
  void WriteLine(std::string_view line) override;
};

// Keeps what was written, for tests and for callers that want the text.
class RecordingConsole : public Console {
 public:
  void WriteLine(std::string_view line) override;
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace acqsort
