#include "workload.h"

#include <cstdio>
#include <fstream>
#include <vector>

namespace acqsort::bench {

namespace {

// A fixed generator, so that the workload does not depend on the standard library.
class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  uint64_t Below(uint64_t bound) { return Next() % bound; }

 private:
  uint64_t state_;
};

// Pads `line` with readable filler to a length from 40 to 60 characters.
void Pad(std::string& line, SplitMix64& random) {
  static const char kFiller[] = "P=101.325kPa;T=21.50C;CH1+0.4213V;CH2-0.0071V;OK";
  size_t target = 40 + random.Below(21);
  for (size_t i = 0; line.size() < target; ++i) line += kFiller[i % (sizeof kFiller - 1)];
  line.resize(target);
}

bool Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string PartFile(int index, uint64_t bytes, SplitMix64& random) {
  std::string part;
  part.reserve(bytes + 64);
  for (uint64_t n = 1; part.size() < bytes; ++n) {
    std::string line = "INF" + std::to_string(index) + " record " + std::to_string(n) + ";";
    Pad(line, random);
    part += line;
    part += "\r\n";
  }
  part.resize(bytes);
  return part;
}

}  // namespace

bool MakeWorkload(const std::filesystem::path& dir, uint64_t lines, uint64_t partBytes,
                  const std::string& lastSeq) {
  SplitMix64 random(20261210);

  // The numbers: each once, 5% of them again, 1% lines without a number (0 here).
  std::vector<uint32_t> order;
  order.reserve(lines + lines / 20 + lines / 100);
  for (uint32_t n = 1; n <= lines; ++n) order.push_back(n);
  for (uint64_t i = 0; i < lines / 20; ++i) order.push_back(static_cast<uint32_t>(1 + random.Below(lines)));
  for (uint64_t i = 0; i < lines / 100; ++i) order.push_back(0);
  for (size_t i = order.size() - 1; i > 0; --i) std::swap(order[i], order[random.Below(i + 1)]);

  std::string acq;
  acq.reserve(order.size() * 52);
  char number[16];
  for (uint32_t n : order) {
    std::string line;
    if (n == 0) {
      line = "# status: buffer flushed;";
    } else {
      std::snprintf(number, sizeof number, "%06u;", n);
      line = number;
      line += "2026-11-03T08:00:00.000;";
    }
    Pad(line, random);
    acq += line;
    acq += "\r\n";
  }

  std::filesystem::create_directories(dir / "CONFIG");
  std::filesystem::create_directories(dir / "ACQ");
  bool written = Write(dir / "CONFIG" / "ACQ.config",
                       "#ACQ benchmark\r\n[files]\r\nname:\"data.txt\"\r\nfirst: 1\r\nlast: " +
                           lastSeq + "\r\n") &&
                 Write(dir / "ACQ" / "data.txt", acq);
  for (int i = 1; i <= 3 && written; ++i) {
    written = Write(dir / "ACQ" / ("dataINF" + std::to_string(i) + ".txt"), PartFile(i, partBytes, random));
  }
  return written;
}

}  // namespace acqsort::bench
