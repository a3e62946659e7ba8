#pragma once

// How the layer over the operating system says what went wrong: every system-level step
// (file_system_detail.h, the console, the process) returns a SystemResult, and FailureOf()
// is the one place where a SystemError becomes the words of a report line.

#include <cerrno>
#include <optional>
#include <string>
#include <utility>

#include "common/failure.h"

namespace acqsort {

// An error the system reported. Its meaning is given as the errno value with the same
// sense, so that the shared code can ask the same questions on every platform ("nothing
// there" is ENOENT, "the name is taken" EEXIST, "another program holds it" EBUSY, "the
// system has no such call" ENOTSUP); the system's own code is kept for its words where no
// errno value means the same (a Windows code such as "The network name is no longer
// available").
class SystemError {
 public:
  // An error of the meaning `errnoValue`, on every platform.
  static SystemError Of(int errnoValue) { return SystemError(errnoValue, 0); }
  // The error the system gave: errno on POSIX, GetLastError() on Windows.
  static SystemError FromSystem(unsigned long code);

  bool Is(int errnoValue) const { return meaning_ == errnoValue; }
  int meaning() const { return meaning_; }  // 0 where no errno value means the same

  // The words: the C runtime's for an errno value ("Permission denied"), the same on every
  // platform; on Windows "in use by another program" for EBUSY, and the system's own text
  // with its number for a code that has no errno value.
  std::string Words() const;

 private:
  SystemError(int meaning, unsigned long code) : meaning_(meaning), code_(code) {}
  int meaning_;
  [[maybe_unused]] unsigned long code_;  // the system's own code, for its words where meaning_ is 0 (Windows)
};

// A failure of `what` on `file` for the operator: "ACQ\data.txt", "can't be read: I/O error".
inline Failure FailureOf(const std::string& file, const char* what, const SystemError& error) {
  return Failure{file, std::string(what) + ": " + error.Words()};
}

// The value a system-level step produced, or the error that kept it from producing one.
template <typename T>
class [[nodiscard]] SystemResult {
 public:
  SystemResult(T value) : value_(std::move(value)) {}              // NOLINT: implicit by design
  SystemResult(SystemError error) : error_(error) {}               // NOLINT: implicit by design

  bool ok() const { return value_.has_value(); }
  // Whether the step failed with the meaning `errnoValue`.
  bool Failed(int errnoValue) const { return !ok() && error_->Is(errnoValue); }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  const SystemError& error() const { return *error_; }

 private:
  std::optional<T> value_;
  std::optional<SystemError> error_;
};

// Success, or the error of a system-level step that produces no value.
template <>
class [[nodiscard]] SystemResult<void> {
 public:
  SystemResult() = default;
  SystemResult(SystemError error) : error_(error) {}  // NOLINT: implicit by design

  bool ok() const { return !error_.has_value(); }
  bool Failed(int errnoValue) const { return !ok() && error_->Is(errnoValue); }
  const SystemError& error() const { return *error_; }

 private:
  std::optional<SystemError> error_;
};

using SystemStatus = SystemResult<void>;

}  // namespace acqsort
