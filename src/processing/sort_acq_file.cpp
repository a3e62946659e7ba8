#include "processing/sort_acq_file.h"

#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/text_output.h"
#include "processing/acq_lines.h"
#include "processing/seq_table.h"

namespace acqsort {

Outcome SortAcqFile(const AcqConfig& config, Console& console) {
  // The file is read as it is on disk: lines end at LF, and a CR before it is dropped with
  // the newline, which spares a pass that would turn CR LF into LF first.
  Result<std::string> content = ReadWholeFile(config.acqFile);
  if (!content.ok()) return content.failure();
  const std::string_view text = content.value();

  SeqTable table(config.firstSeq, config.lastSeq);
  FileAcqLines(text, table);

  Result<TextOutput> output = TextOutput::Create(config.sortedFile);
  if (!output.ok()) return output.failure();
  Outcome written;
  table.ForEachLine(text.data(), [&](size_t offset) {
    written = output.value().WriteLine(AcqLineAt(text, offset));
    return written.ok();
  });
  if (!written.ok()) return written;
  Outcome committed = output.value().Commit(Durability::kCached);
  if (!committed.ok()) return committed;

  console.Report({"* ", config.acqFile, " -> ", config.sortedFile});
  return {};
}

}  // namespace acqsort
