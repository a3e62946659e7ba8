#include "processing/merge_inf_parts.h"

#include <cerrno>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/system_error.h"
#include "text/newlines.h"
#include "text/text_output.h"
#include "processing/output_is_no_input.h"

namespace acqsort {

namespace {

// How much of a part is read at a time.
constexpr size_t kBlockSize = size_t{1} << 20;

// Copies the part as it is on disk; only an LF without its CR gains one.
Outcome CopyPart(InputFile& part, char* block, TextOutput& output) {
  for (;;) {
    Result<size_t> read = part.Read(block, kBlockSize);
    if (!read.ok()) return read.failure();
    if (read.value() == 0) return {};
    Outcome written = output.CopyUntranslated(std::string_view(block, read.value()));
    if (!written.ok()) return written;
  }
}

// For a part that can't be opened: when it is missing but the merged file is there, that an
// earlier run may have merged and removed the parts; else "". A run stopped between two
// removals leaves the later parts: each is said safe to delete only when the merged file
// holds it byte for byte. Nothing is deleted here.
std::string MissingPartNote(const AcqConfig& config, const std::string& missing) {
  if (Exists(missing) || !Exists(config.infFile)) return std::string();
  std::string note = "acqsort: " + missing + " is missing, but " + config.infFile +
                     " is there: an earlier run may have merged the parts into it and removed them";
  const std::string* parts[] = {&config.inf1File, &config.inf2File, &config.inf3File};
  std::optional<Result<std::string>> merged;
  for (size_t i = 0; i < std::size(parts); ++i) {
    if (*parts[i] == missing || !Exists(*parts[i])) continue;
    if (!merged) merged = ReadWholeFile(config.infFile);
    Result<std::string> part = ReadWholeFile(*parts[i]);
    note += "; " + *parts[i] + " is still there";
    if (!merged->ok() || !part.ok()) {
      const Failure& unread = merged->ok() ? part.failure() : merged->failure();
      note += ", and whether the merged file holds it can't be told: " + unread.file + " " + unread.reason;
    } else if (MergedFileHoldsPart(merged->value(), i, part.value())) {
      note += ", and the merged file holds it byte for byte: it may be deleted";
    } else {
      note += ", and the merged file does not hold it as it is now: keep it";
    }
  }
  return note;
}

Result<MergedPartStates> Merge(const AcqConfig& config, const Folder& folder, Console& console) {
  std::vector<InputFile> parts;
  for (const std::string* path : {&config.inf1File, &config.inf2File, &config.inf3File}) {
    Result<InputFile> part = InputFile::Open(*path);
    if (!part.ok()) {
      Failure failure = part.failure();
      failure.note = MissingPartNote(config, *path);
      return failure;
    }
    parts.push_back(std::move(part.value()));
  }

  Outcome distinct = CheckOutputIsNoInput(config, config.infFile);
  if (!distinct.ok()) return distinct.failure();
  Result<TextOutput> output = TextOutput::Create(folder, config.infFile);
  if (!output.ok()) return output.failure();
  std::unique_ptr<char[]> block(new char[kBlockSize]);
  MergedPartStates merged;
  for (size_t i = 0; i < parts.size(); ++i) {
    Outcome written = output.value().WriteOnDisk(kPartHeaders[i]);
    if (written.ok()) written = CopyPart(parts[i], block.get(), output.value());
    // A logger that patched the part in place, or cut and rewrote it, meanwhile: what was
    // copied may be half old, half new, and the part must stay.
    if (written.ok()) written = parts[i].CheckReadWhole();
    if (!written.ok()) return written.failure();
    merged[i] = parts[i].state();
  }
  Outcome committed = output.value().Commit();
  if (!committed.ok()) return committed.failure();

  console.Report({"* ", config.infAllLabel, " -> ", config.infFile});
  return merged;
}

}  // namespace

bool MergedFileHoldsPart(std::string_view merged, size_t index, std::string_view part) {
  // The part's section as CopyPart writes it (an LF without its CR gains one), between its
  // header and the next one, or the end of the file for the last part.
  std::string section = kPartHeaders[index];
  size_t from = 0;
  for (size_t lf; (lf = FindLoneLf(part, from, false)) != std::string_view::npos; from = lf + 1) {
    section.append(part.substr(from, lf - from)).append(kNewlineOnDisk);
  }
  section.append(part.substr(from));
  if (index + 1 < std::size(kPartHeaders)) section += kPartHeaders[index + 1];
  if (index == 0) return merged.substr(0, section.size()) == section;
  if (index + 1 == std::size(kPartHeaders)) {
    return merged.size() >= section.size() && merged.substr(merged.size() - section.size()) == section;
  }
  return merged.find(section) != std::string_view::npos;
}

Result<MergedPartStates> MergeInfParts(const AcqConfig& config, const Folder& folder, Console& console) {
  // Running out of memory stops the stage like any other failure; the unwinding has
  // removed the temporary file by the time it is reported.
  try {
    return Merge(config, folder, console);
  } catch (const std::bad_alloc&) {
    return FailureOf(config.infFile, "can't be written", SystemError::Of(ENOMEM));
  }
}

}  // namespace acqsort
