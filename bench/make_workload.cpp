// Makes a deterministic working directory for the benchmark:
//
//   make_workload DIR [LINES] [PART_BYTES] [LAST_SEQ]
//
// Defaults: 999999 lines, 15 MB parts, LAST_SEQ 999999 (see workload.h).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "workload.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR [LINES] [PART_BYTES] [LAST_SEQ]\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const uint64_t lines = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 999999;
  const uint64_t partBytes = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 15000000;
  const std::string lastSeq = argc > 4 ? argv[4] : "999999";
  if (lines == 0 || lines > 999999) {
    std::fprintf(stderr, "LINES must be 1 to 999999\n");
    return 2;
  }
  if (!acqsort::bench::MakeWorkload(dir, lines, partBytes, lastSeq)) {
    std::fprintf(stderr, "can't write the workload in %s\n", dir.string().c_str());
    return 1;
  }
  return 0;
}
