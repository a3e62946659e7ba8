#pragma once

#include <optional>
#include <string>
#include <utility>

namespace acqsort {

// Why an operation on a file did not succeed: the file as the report lines print it
// (backslashes kept) and the reason in words. A system's error becomes one through
// FailureOf() (platform/system_error.h).
struct Failure {
  std::string file;
  std::string reason;
  // What the operator may do about it, written on standard error after the error line that
  // the failure gives (Console::ReportFailure); empty where the reason says enough.
  std::string note = {};
};

// Success, or the failure that stopped the operation.
class [[nodiscard]] Outcome {
 public:
  Outcome() = default;
  Outcome(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: implicit by design

  bool ok() const { return !failure_.has_value(); }
  const Failure& failure() const { return *failure_; }

 private:
  std::optional<Failure> failure_;
};

// A value, or the failure that kept the operation from producing it.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}              // NOLINT: implicit by design
  Result(Failure failure) : failure_(std::move(failure)) {}  // NOLINT: implicit by design

  bool ok() const { return value_.has_value(); }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  const Failure& failure() const { return failure_; }

 private:
  std::optional<T> value_;
  Failure failure_;
};

}  // namespace acqsort
