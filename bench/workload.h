#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace acqsort::bench {

// Makes a deterministic working directory in `dir`: ACQ\data.txt holds `lines` distinct
// sequence numbers (1 to `lines`, at most 999999) in shuffled order, plus 5% lines
// repeating a number and 1% lines without one, each 40 to 60 characters and CR LF; the three
// part files hold `partBytes` bytes each; the configuration asks for 1 to `lastSeq`. The
// same arguments give the same bytes on every machine. Returns false when a file can't be
// written.
bool MakeWorkload(const std::filesystem::path& dir, uint64_t lines, uint64_t partBytes,
                  const std::string& lastSeq);

}  // namespace acqsort::bench
