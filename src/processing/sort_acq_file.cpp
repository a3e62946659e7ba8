#include "processing/sort_acq_file.h"

#include <cstring>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/newlines.h"
#include "platform/text_output.h"
#include "processing/seq_table.h"
#include "processing/sequence_number.h"

namespace acqsort {

namespace {

// Where the line that starts at `offset` ends: at its LF, or at the end of the text.
size_t LineEnd(std::string_view text, size_t offset) {
  const void* lf = std::memchr(text.data() + offset, '\n', text.size() - offset);
  return lf == nullptr ? text.size() : static_cast<size_t>(static_cast<const char*>(lf) - text.data());
}

}  // namespace

Outcome SortAcqFile(const AcqConfig& config, Console& console) {
  Result<std::string> content = ReadWholeFile(config.acqFile);
  if (!content.ok()) return content.failure();
  std::string& buffer = content.value();
  buffer.resize(CompactCrLf(buffer.data(), buffer.size()));
  std::string_view text = buffer;

  SeqTable table(config.firstSeq, config.lastSeq);
  for (size_t offset = 0; offset < text.size();) {
    size_t end = LineEnd(text, offset);
    table.File(SequenceNumberOf(text.substr(offset, end - offset + 1)), offset);
    offset = end + 1;
  }

  Result<TextOutput> output = TextOutput::Create(config.sortedFile);
  if (!output.ok()) return output.failure();
  Outcome written;
  table.ForEachLine(text.data(), [&](size_t offset) {
    written = output.value().WriteLine(text.substr(offset, LineEnd(text, offset) - offset));
    return written.ok();
  });
  if (!written.ok()) return written;
  Outcome committed = output.value().Commit(Durability::kCached);
  if (!committed.ok()) return committed;

  console.Report({"* ", config.acqFile, " -> ", config.sortedFile});
  return {};
}

}  // namespace acqsort
