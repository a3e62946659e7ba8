#include "config/read_acq_config.h"

#include <cstdint>

#include "common/leading_integer.h"
#include "common/utf8.h"
#include "config/acq_file_names.h"
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
// none) and ends at a quote that is directly followed by the newline. A colon-quote pair
// without such a closing quote after it is refused.
Result<std::string> NameFromLine(std::string_view line, const std::string& path) {
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
  if (hasPair && (!hasClosing || end < start)) {
    return Failure{path, "has a name line whose name has no closing quote right before the line end"};
  }
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

}  // namespace

Result<AcqConfig> ParseAcqConfig(std::string_view text, const std::string& path) {
  LineCursor cursor(text);
  std::string_view line;
  bool marker = false;
  while (cursor.Next(line)) {
    if (line.substr(0, 4) == "#ACQ") {
      marker = true;
      break;
    }
  }
  if (!marker) return Failure{path, "has no line beginning with \"#ACQ\""};
  std::string_view nameLine;
  std::string_view firstLine;
  std::string_view lastLine;
  if (!(cursor.Next(line) && cursor.Next(nameLine) && cursor.Next(firstLine) &&
        cursor.Next(lastLine))) {
    return Failure{path, "ends before the line of the last sequence number"};
  }
  Result<std::string> name = NameFromLine(nameLine, path);
  if (!name.ok()) return name.failure();
  const LeadingInteger first = BoundFromLine(firstLine);
  const LeadingInteger last = BoundFromLine(lastLine);
  if (!first.fitsInt32) {
    return Failure{path, "has a first sequence number outside the signed 32-bit range"};
  }
  if (!last.fitsInt32) {
    return Failure{path, "has a last sequence number outside the signed 32-bit range"};
  }

  AcqConfig config;
  config.acqFile = kAcqFolderPrefix + name.value();
  config.infFile = DeriveFileName(config.acqFile, "INF");
  config.inf1File = DeriveFileName(config.acqFile, "INF1");
  config.inf2File = DeriveFileName(config.acqFile, "INF2");
  config.inf3File = DeriveFileName(config.acqFile, "INF3");
  config.infAllLabel = DeriveFileName(config.acqFile, "INF1-2-3");
  config.sortedFile = DeriveFileName(config.acqFile, "R");
  config.firstSeq = static_cast<int32_t>(first.value);
  config.lastSeq = static_cast<int32_t>(last.value);
  Outcome safe = CheckAcqFileNames(config, path);
  if (!safe.ok()) return safe.failure();
  return config;
}

Result<AcqConfig> ReadAcqConfig(const std::string& path) {
  Result<std::string> content = ReadWholeFile(path);
  if (!content.ok()) return content.failure();
  std::string& text = content.value();
  text.resize(CompactCrLf(text.data(), text.size()));
  return ParseAcqConfig(text, path);
}

std::string DeriveFileName(std::string_view acqFile, std::string_view tag) {
  // Characters, not bytes: a UTF-8 name derives as the same name in a single-byte code page.
  const size_t cut = StartOfLastCharacters(acqFile, 4);
  std::string name;
  name.reserve(acqFile.size() + tag.size());
  name.append(acqFile.substr(0, cut));
  name.append(tag);
  name.append(acqFile.substr(cut));
  return name;
}

}  // namespace acqsort
