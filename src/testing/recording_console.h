#pragma once

#include <string>
#include <string_view>

#include "platform/console.h"

namespace acqsort::testutil {

// A console that keeps what was written, so that a test can compare the report.
class RecordingConsole : public Console {
 public:
  void WriteLine(std::string_view line) override {
    text_.append(line);
    text_.push_back('\n');
  }
  void WriteNote(std::string_view line) override {
    notes_.append(line);
    notes_.push_back('\n');
  }
  const std::string& text() const { return text_; }
  const std::string& notes() const { return notes_; }

 private:
  std::string text_;
  std::string notes_;
};

}  // namespace acqsort::testutil
