#include "config/read_acq_config.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "common/byte_order_mark.h"
#include "common/leading_integer.h"
#include "common/same_letters.h"
#include "common/utf8.h"
#include "config/acq_file_names.h"
#include "platform/file_system.h"
#include "text/newlines.h"

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

// For a configuration that is not there, what the operator most likely did: started the
// tool in another folder (the working directory is said in full), or saved the file under
// a near name (an extension that Explorer hides, other capitals).
std::string MissingConfigurationNote(const std::string& path) {
  const std::string note = "acqsort: there is no " + path + " in the working directory " + WorkingDirectory() +
                           "; start acqsort in the folder that holds CONFIG and ACQ";
  // Explorer hides a known extension: "ACQ.config" saved by Notepad is "ACQ.config.txt".
  if (Exists(path + ".txt")) {
    return note + " (there is a " + path + ".txt: rename it to " + NameOf(path) + "; Explorer may hide its .txt)";
  }
  // A file system that tells case apart: "config/acq.config" is not "CONFIG\ACQ.config".
  const std::string folder = FolderOf(path);
  const std::string parent = FolderOf(folder);
  const std::string folderName = NameOf(folder);
  std::vector<std::string> folders;
  if (!folder.empty() && Exists(folder)) folders.push_back(folder);
  for (const std::string& name : NamesIn(parent)) {
    if (name != folderName && SameLettersIgnoringCase(name, folderName)) {
      folders.push_back(parent.empty() ? name : parent + "\\" + name);
    }
  }
  for (const std::string& candidate : folders) {
    for (const std::string& name : NamesIn(candidate)) {
      if (SameLettersIgnoringCase(name, NameOf(path))) {
        return note + " (there is a " + candidate + "\\" + name + ": the names must be " + path +
               ", in these capitals)";
      }
    }
  }
  return note;
}

// How the name line should look, for the messages about it.
constexpr const char* kNameLineForm = "write it as name:\"data.txt\", the quote closing the line";

// The name sits after the last colon-quote pair (or at the start of the line when there is
// none) and ends at a quote that is directly followed by the newline. A colon-quote pair
// without such a closing quote after it is refused, and so are the usual slips that would
// otherwise read as another name: no quotes at all, no opening quote.
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
  const size_t lastQuote = line.rfind('"');
  if (hasPair && (!hasClosing || end < start)) {
    // Only blanks or tabs after the last quote: a slip that no editor shows.
    const std::string_view after = line.substr(lastQuote + 1);
    const size_t visible = after.find_first_not_of(" \t\n");
    if (lastQuote >= start && visible == std::string_view::npos && after.size() > 1) {
      const char* what = after.find('\t') != std::string_view::npos ? "a tab" : "a blank";
      return Failure{path, std::string("has ") + what + " after the closing quote of its name: " +
                               kNameLineForm};
    }
    return Failure{path, "has a name line whose name has no closing quote right before the line end"};
  }
  if (lastQuote == std::string_view::npos) {
    return Failure{path, std::string("has a name line without quotes: ") + kNameLineForm};
  }
  if (!hasPair && hasClosing && line.find('"') == end && line.substr(0, end).find(':') != std::string_view::npos) {
    return Failure{path, std::string("has a name line without an opening quote: ") + kNameLineForm};
  }
  if (end < start) return std::string();
  return std::string(line.substr(start, end - start));
}

// What makes a bound line read as another number than its writer most likely meant, in
// words for a warning; none for a plain "name: 25" (a comma after the number, "25,", is
// accepted as the old files have it). `line` is without its newline.
std::optional<std::string> BoundSlip(std::string_view line) {
  const size_t colons = static_cast<size_t>(std::count(line.begin(), line.end(), ':'));
  if (colons == 0) return std::string("it has no colon, so the whole line is read as the number");
  if (colons > 1) return std::string("it has more than one colon, and only the text after the last one counts");
  const std::string_view text = line.substr(line.rfind(':') + 1);
  const LeadingInteger number = ReadLeadingInteger(text);
  if (!number.hasDigits) return std::string("there is no number right after its colon");
  const std::string_view after = text.substr(number.length);
  if (after.find_first_not_of(" \t,") == std::string_view::npos &&
      std::count(after.begin(), after.end(), ',') <= 1) {
    return std::nullopt;
  }
  if (after.find_first_of("0123456789") != std::string_view::npos) {
    return std::string("the line goes on with digits after it; write the number without separators "
                       "if more was meant");
  }
  const size_t shown = after.find_first_not_of(" \t");
  return "the line goes on after the number (\"" + std::string(after.substr(shown)) + "\")";
}

// The text after the line's last colon, without the newline: where the number is read.
std::string_view NumberText(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  size_t colon = line.rfind(':');
  if (colon != std::string_view::npos) line.remove_prefix(colon + 1);
  return line;
}

// The number text is everything after the line's last colon, up to the newline.
LeadingInteger BoundFromLine(std::string_view line) { return ReadLeadingInteger(NumberText(line)); }

}  // namespace

Result<AcqConfig> ParseAcqConfig(std::string_view text, const std::string& path, Console& console) {
  LineCursor cursor(text);
  std::string_view line;
  bool marker = false;
  size_t markerLine = 0;
  while (cursor.Next(line)) {
    ++markerLine;
    if (line.substr(0, 4) == "#ACQ") {
      marker = true;
      break;
    }
  }
  if (!marker) return Failure{path, "has no line beginning with \"#ACQ\""};
  std::string_view nameLine;
  std::string_view firstLine;
  std::string_view lastLine;
  std::string_view* const section[] = {&line, &nameLine, &firstLine, &lastLine};
  size_t present = 0;
  while (present < 4 && cursor.Next(*section[present])) ++present;
  if (present < 4) {
    Failure early{path, "ends before the line of the last sequence number"};
    early.note = "acqsort: the #ACQ section of " + path +
                 " needs five lines: the \"#ACQ\" line, one line that is skipped, the name "
                 "line, the first and the last sequence number; the file ends after " +
                 std::to_string(present + 1) + " of them";
    return early;
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

  // What the rules accept but an operator hardly ever means.
  const std::pair<std::string_view, const char*> bounds[] = {{firstLine, "first"}, {lastLine, "last"}};
  for (size_t i = 0; i < 2; ++i) {
    std::string_view written = bounds[i].first;
    if (!written.empty() && written.back() == '\n') written.remove_suffix(1);
    const std::optional<std::string> slip = BoundSlip(written);
    if (!slip) continue;
    const int64_t value = i == 0 ? first.value : last.value;
    console.WriteNote("acqsort: warning: " + path + " line " + std::to_string(markerLine + 3 + i) + " (\"" +
                      std::string(written) + "\"): the " + bounds[i].second + " sequence number reads as " +
                      std::to_string(value) + ": " + *slip);
  }
  if (config.firstSeq > config.lastSeq) {
    console.WriteNote("acqsort: warning: " + path + ": the first sequence number " + std::to_string(config.firstSeq) +
                      " is above the last, " + std::to_string(config.lastSeq) + ": the sorted file will be empty");
  }
  return config;
}

Result<AcqConfig> ReadAcqConfig(const std::string& path, Console& console) {
  Result<std::string> content = ReadWholeFile(path);
  if (!content.ok()) {
    Failure failure = content.failure();
    if (!Exists(path)) failure.note = MissingConfigurationNote(path);
    return failure;
  }
  std::string& text = content.value();
  // As Windows editors save it: "UTF-8 with BOM", or UTF-16 ("Unicode") read as the same
  // text in UTF-8, so that the name counts and derives as the UTF-8 name does.
  const TextForm form = FormOf(text);
  if (form == TextForm::kUtf16Le || form == TextForm::kUtf16Be) {
    std::optional<std::string> utf8 = Utf8FromUtf16(text, form);
    if (!utf8) return Failure{path, "can't be read: its UTF-16 text is not well-formed"};
    text = std::move(*utf8);
  } else {
    text.erase(0, MarkSize(form));
  }
  text.resize(CompactCrLf(text.data(), text.size()));
  if (text.find('\n') == std::string::npos && text.find('\r') != std::string::npos) {
    return Failure{path, "has lines that end in a CR alone (an old Mac text): save it with "
                         "Windows (CR LF) or Unix (LF) line ends"};
  }
  return ParseAcqConfig(text, path, console);
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
