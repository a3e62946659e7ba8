#pragma once

// A small working directory, and the file helpers the reliability tests share.

#include <filesystem>
#include <string>

namespace acqsort::reliability {

// Whether the tool and the tests are built with AddressSanitizer, which reserves more
// address space than any memory limit allows and needs its memory calls to succeed.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// The small run's ACQ file, and the sorted file that a complete run makes of it.
inline const std::string kSmallAcq = "000002;two\r\n000001;one\r\n";
inline const std::string kSmallSorted = "000001;one\r\n000002;two\r\n";
// The line on standard error that sums up the sort of the small run.
inline const std::string kSmallSortSummary =
    "acqsort: ACQ\\data.txt: 2 lines; 2 written to ACQ\\dataR.txt (numbers 1 to 2), 0 replaced by a "
    "later line of the same number, 0 with a number outside 1 to 9, 0 without a number\n";

// A configuration for data.txt with the range 1 to 9, the ACQ file `acq` and three parts
// that each hold "<their path> content" and a newline.
void WriteSmallRun(const std::filesystem::path& dir, const std::string& acq = kSmallAcq);

// Whether a temporary file of the tool is anywhere under `dir`.
bool HasTemporaryFile(const std::filesystem::path& dir);

}  // namespace acqsort::reliability
