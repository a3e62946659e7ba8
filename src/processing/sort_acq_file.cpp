#include "processing/sort_acq_file.h"

#include <cerrno>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "common/byte_order_mark.h"
#include "platform/file_system.h"
#include "platform/text_output.h"
#include "processing/acq_lines.h"
#include "processing/output_is_no_input.h"
#include "processing/seq_table.h"

namespace acqsort {

namespace {

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
  const LongNumbers longNumbers = FileAcqLines(text, table);
  if (longNumbers.count > 0) {
    console.WriteNote("acqsort: warning: " + config.acqFile + ": " + std::to_string(longNumbers.count) +
                      (longNumbers.count == 1 ? " line begins" : " lines begin") +
                      " with seven or more digits, the first at line " +
                      std::to_string(longNumbers.firstLine) +
                      "; only the first six digits are its sequence number");
  }

  Outcome distinct = CheckOutputIsNoInput(config, config.sortedFile);
  if (!distinct.ok()) return distinct;
  Result<TextOutput> output = TextOutput::Create(folder, config.sortedFile);
  if (!output.ok()) return output.failure();
  MappedFile& acqFile = acq.value();
  TextOutput& sorted = output.value();
  Outcome written;
  table.ForEachLine(text.data(), [&](size_t offset) {
    const std::string_view line = AcqLineAt(text, offset);
    if (acqFile.PartLost()) return false;  // the line may be megabytes of zeros
    Outcome lineWritten = sorted.WriteLine(line);
    if (lineWritten.ok()) return true;
    written = std::move(lineWritten);
    return false;
  });
  if (!written.ok()) return written;
  // What another program did to the file meanwhile must not reach the sorted file.
  Outcome unchanged = acqFile.CheckUnchanged();
  if (!unchanged.ok()) return unchanged;
  Outcome committed = sorted.Commit();
  if (!committed.ok()) return committed;

  console.Report({"* ", config.acqFile, " -> ", config.sortedFile});
  return {};
}

}  // namespace

Outcome SortAcqFile(const AcqConfig& config, const Folder& folder, Console& console) {
  // Running out of memory stops the stage like any other failure; the unwinding has
  // removed the temporary file by the time it is reported.
  try {
    return Sort(config, folder, console);
  } catch (const std::bad_alloc&) {
    return Failure{config.sortedFile, Reason("can't be written", ENOMEM)};
  }
}

}  // namespace acqsort
