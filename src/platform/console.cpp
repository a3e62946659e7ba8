#include "platform/console.h"

#include <cstdio>

namespace acqsort {

void Console::Report(std::initializer_list<std::string_view> pieces) {
  std::string line;
  for (std::string_view piece : pieces) line.append(piece);
  WriteLine(line);
}

void StandardOutput::WriteLine(std::string_view line) {
  // Standard output stays in text mode, so the newline is the platform's own.
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void RecordingConsole::WriteLine(std::string_view line) {
  text_.append(line);
  text_.push_back('\n');
}

}  // namespace acqsort
