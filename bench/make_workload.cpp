// Makes a deterministic working directory for the benchmark:
//
//   make_workload DIR [LINES] [PART_BYTES] [LAST_SEQ]
//
// ACQ\data.txt holds LINES distinct sequence numbers (1 to LINES) in shuffled order, plus 5%
// lines repeating a number and 1% lines without one, each 40 to 60 characters and CR LF;
// the three part files hold PART_BYTES bytes each; the configuration asks for 1 to LAST_SEQ.
// Defaults: 999999 lines, 15 MB parts, LAST_SEQ 999999. The same arguments give the same
// bytes on every machine.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

void Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "can't write %s\n", path.string().c_str());
    std::exit(1);
  }
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
  Write(dir / "CONFIG" / "ACQ.config",
        "#ACQ benchmark\r\n[files]\r\nname:\"data.txt\"\r\nfirst: 1\r\nlast: " + lastSeq + "\r\n");
  Write(dir / "ACQ" / "data.txt", acq);
  for (int i = 1; i <= 3; ++i) {
    Write(dir / "ACQ" / ("dataINF" + std::to_string(i) + ".txt"), PartFile(i, partBytes, random));
  }
  return 0;
}
