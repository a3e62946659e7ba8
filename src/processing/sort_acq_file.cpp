#include "processing/sort_acq_file.h"

#include <cerrno>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "common/byte_order_mark.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "text/text_output.h"
#include "processing/acq_lines.h"
#include "processing/output_is_no_input.h"
#include "processing/seq_table.h"

namespace acqsort {

namespace {

// The lines that went to the sorted file: how many, the first and the last.
struct WrittenLines {
  size_t count = 0;
  std::string_view first;
  std::string_view last;
};

std::string Lines(size_t count) { return std::to_string(count) + (count == 1 ? " line" : " lines"); }

// What became of every line of the ACQ file, so that a range that is not the one meant, or
// a file of unnumbered lines, shows in a run that otherwise looks as it should.
std::string SortSummary(const AcqConfig& config, const FiledLines& filed, const WrittenLines& written) {
  std::string summary = "acqsort: " + config.acqFile + ": " + Lines(filed.lines) + "; " +
                        std::to_string(written.count) + " written to " + config.sortedFile;
  if (written.count > 0) {
    summary += " (numbers " + std::to_string(SequenceNumberOf(written.first)) + " to " +
               std::to_string(SequenceNumberOf(written.last)) + ")";
  }
  const std::string range = std::to_string(config.firstSeq) + " to " + std::to_string(config.lastSeq);
  return summary + ", " + std::to_string(filed.filed - written.count) +
         " replaced by a later line of the same number, " + std::to_string(filed.outside) +
         " with a number outside " + range + ", " + std::to_string(filed.unnumbered) +
         " without a number";
}

Outcome Sort(const AcqConfig& config, const Folder& folder, Console& console) {
  // The file is mapped, not copied, and read as it is on disk: lines end at LF, and a CR
  // before it is dropped with the newline, which spares a pass that would turn CR LF into
  // LF first.
  Result<MappedFile> acq = MappedFile::Open(config.acqFile);
  if (!acq.ok()) return acq.failure();
  std::string_view text = acq.value().text();
  // A byte-order mark is no part of the first line; UTF-16 would give no line at all.
  const TextForm form = FormOf(text);
  if (form == TextForm::kUtf16Le || form == TextForm::kUtf16Be) {
    return Failure{config.acqFile, "can't be read: it is UTF-16 text; save it as ANSI or UTF-8"};
  }
  text.remove_prefix(MarkSize(form));

  SeqTable table(config.firstSeq, config.lastSeq);
  const FiledLines filed = FileAcqLines(text, table);
  if (filed.longNumbers > 0) {
    console.WriteNote("acqsort: warning: " + config.acqFile + ": " + std::to_string(filed.longNumbers) +
                      (filed.longNumbers == 1 ? " line begins" : " lines begin") +
                      " with seven or more digits, the first at line " +
                      std::to_string(filed.firstLongNumberLine) +
                      "; only the first six digits are its sequence number");
  }

  Outcome distinct = CheckOutputIsNoInput(config, config.sortedFile);
  if (!distinct.ok()) return distinct;
  Result<TextOutput> output = TextOutput::Create(folder, config.sortedFile);
  if (!output.ok()) return output.failure();
  MappedFile& acqFile = acq.value();
  TextOutput& sorted = output.value();
  Outcome written;
  WrittenLines lines;
  table.ForEachLine(text.data(), [&](size_t offset) {
    const std::string_view line = AcqLineAt(text, offset);
    if (acqFile.PartLost()) return false;  // the line may be megabytes of zeros
    Outcome lineWritten = sorted.WriteLine(line);
    if (lineWritten.ok()) {
      if (lines.count++ == 0) lines.first = line;
      lines.last = line;
      return true;
    }
    written = std::move(lineWritten);
    return false;
  });
  // What another program did to the file meanwhile must not reach the sorted file. It is
  // also why a write may have failed: a long line goes to the file straight from the
  // mapping, and a part of it cut away meanwhile fails the write ("Bad address").
  Outcome unchanged = acqFile.CheckUnchanged();
  if (!unchanged.ok()) return unchanged;
  if (!written.ok()) return written;
  Outcome committed = sorted.Commit();
  if (!committed.ok()) return committed;

  console.Report({"* ", config.acqFile, " -> ", config.sortedFile});
  console.WriteNote(SortSummary(config, filed, lines));
  return {};
}

}  // namespace

Outcome SortAcqFile(const AcqConfig& config, const Folder& folder, Console& console) {
  // Running out of memory stops the stage like any other failure; the unwinding has
  // removed the temporary file by the time it is reported.
  try {
    return Sort(config, folder, console);
  } catch (const std::bad_alloc&) {
    return FailureOf(config.sortedFile, "can't be written", SystemError::Of(ENOMEM));
  }
}

}  // namespace acqsort
