#pragma once

// A small working directory, and the file helpers the reliability tests share.

#include <filesystem>
#include <string>

namespace acqsort::reliability {

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// The small run's ACQ file, and the sorted file that a complete run makes of it.
inline const std::string kSmallAcq = "000002;two\r\n000001;one\r\n";
inline const std::string kSmallSorted = "000001;one\r\n000002;two\r\n";

// A configuration for data.txt with the range 1 to 9, the ACQ file `acq` and three parts
// that each hold "<their path> content" and a newline.
void WriteSmallRun(const std::filesystem::path& dir, const std::string& acq = kSmallAcq);

// Whether a temporary file of the tool is anywhere under `dir`.
bool HasTemporaryFile(const std::filesystem::path& dir);

}  // namespace acqsort::reliability
