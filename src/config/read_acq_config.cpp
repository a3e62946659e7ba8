#include "config/read_acq_config.h"

#include <cstdint>
#include <limits>
#include <utility>

#include "common/leading_integer.h"
#include "config/derive_file_name.h"
#include "platform/file_system.h"
#include "platform/newlines.h"

namespace acqsort {

namespace {

// Hands out the lines of a text one by one, each with its LF when it has one.
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : rest_(text) {}

  bool Next(std::string_view& line) {
    if (rest_.empty()) return false;
    size_t lf = rest_.find('\n');
    size_t size = lf == std::string_view::npos ? rest_.size() : lf + 1;
    line = rest_.substr(0, size);
    rest_.remove_prefix(size);
    return true;
  }

 private:
  std::string_view rest_;
};

char At(std::string_view line, size_t i) { return i < line.size() ? line[i] : '\0'; }

// The name sits after the last colon-quote pair (or at the start of the line when there is
// none) and ends at a quote that is directly followed by the newline.
std::string NameFromLine(std::string_view line, bool& unclosed) {
  size_t start = 0;
  size_t end = 0;
  bool hasPair = false;
  bool hasClosing = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ':' && At(line, i + 1) == '"') {
      start = i + 2;
      hasPair = true;
    }
    if (line[i] == '"' && At(line, i + 1) == '\n') {
      end = i;
      hasClosing = true;
    }
  }
  unclosed = hasPair && (!hasClosing || end < start);
  if (end < start) return std::string();
  return std::string(line.substr(start, end - start));
}

// The number text is everything after the line's last colon, up to the newline.
LeadingInteger BoundFromLine(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  size_t colon = line.rfind(':');
  if (colon != std::string_view::npos) line.remove_prefix(colon + 1);
  return ReadLeadingInteger(line);
}

int32_t Clamp(int64_t value) {
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

void NoteFault(std::string& fault, std::string reason) {
  if (fault.empty()) fault = std::move(reason);
}

}  // namespace

AcqConfigReading ParseAcqConfig(std::string_view text) {
  AcqConfigReading reading;
  LineCursor cursor(text);
  std::string_view line;

  bool marker = false;
  while (cursor.Next(line)) {
    if (line.substr(0, 4) == "#ACQ") {
      marker = true;
      break;
    }
  }
  if (!marker) NoteFault(reading.fault, "has no line beginning with \"#ACQ\"");

  std::string_view nameLine;
  std::string_view firstLine;
  std::string_view lastLine;
  bool complete = marker && cursor.Next(line) && cursor.Next(nameLine) &&
                  cursor.Next(firstLine) && cursor.Next(lastLine);
  if (marker && !complete) {
    NoteFault(reading.fault, "ends before the line of the last sequence number");
  }

  bool unclosed = false;
  std::string name = NameFromLine(nameLine, unclosed);
  if (unclosed) {
    NoteFault(reading.fault,
              "has a name line whose name has no closing quote right before the line end");
  }

  AcqConfig& config = reading.config;
  config.acqFile = kAcqFolderPrefix + name;
  config.infFile = DeriveFileName(config.acqFile, "INF");
  config.inf1File = DeriveFileName(config.acqFile, "INF1");
  config.inf2File = DeriveFileName(config.acqFile, "INF2");
  config.inf3File = DeriveFileName(config.acqFile, "INF3");
  config.infAllLabel = DeriveFileName(config.acqFile, "INF1-2-3");
  config.sortedFile = DeriveFileName(config.acqFile, "R");

  LeadingInteger first = BoundFromLine(firstLine);
  LeadingInteger last = BoundFromLine(lastLine);
  if (!first.fitsInt32) {
    NoteFault(reading.fault, "has a first sequence number outside the signed 32-bit range");
  }
  if (!last.fitsInt32) {
    NoteFault(reading.fault, "has a last sequence number outside the signed 32-bit range");
  }
  config.firstSeq = Clamp(first.value);
  config.lastSeq = Clamp(last.value);
  return reading;
}

Result<AcqConfigReading> ReadAcqConfig(const std::string& path) {
  Result<std::string> content = ReadWholeFile(path);
  if (!content.ok()) return content.failure();
  std::string& text = content.value();
  text.resize(CompactCrLf(text.data(), text.size()));
  return ParseAcqConfig(text);
}

}  // namespace acqsort
