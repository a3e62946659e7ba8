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
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace acqsort::testutil
