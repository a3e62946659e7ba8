#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "common/failure.h"

namespace acqsort {

// Where the report lines go. Each line is a run of text pieces with nothing added between
// them; ending it writes one newline and flushes, so that an operator watching the console
// sees each step as soon as it is done.
class Console {
 public:
  virtual ~Console() = default;
  virtual void WriteLine(std::string_view line) = 0;
  void Report(std::initializer_list<std::string_view> pieces);
  // The error line of `failure` ("* Error:<file>  <reason>"), then its note, if any.
  void ReportFailure(const Failure& failure);
  // A line for the operator beside the report: a warning or a hint, on standard error. Every
  // note goes this way, a failure's through ReportFailure().
  virtual void WriteNote(std::string_view line) = 0;
};

// Writes `line` and a newline to standard error: warnings, hints, and the one message that
// has nowhere else to go.
void WriteToStandardError(std::string_view line);

// Standard output, with the platform's own newline; on a Windows console, names show in
// their own characters. A write that fails (a full device, a reader that quit early) never
// stops the run: the failure is kept for Delivered(), and the run goes on to its end. A
// process without any standard output has nobody to tell, which is no failure.
class StandardOutput : public Console {
 public:
  void WriteLine(std::string_view line) override;
  void WriteNote(std::string_view line) override { WriteToStandardError(line); }

  // Whether every line reached standard output; the failure names "standard output".
  Outcome Delivered() const;

 private:
  std::optional<Failure> lost_;  // why a line could not be written
  bool absent_ = false;          // there is no standard output at all
};


}  // namespace acqsort
