#include "processing/merge_inf_parts.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/text_output.h"

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

Result<MergedParts> Merge(const AcqConfig& config, Console& console) {
  std::vector<InputFile> parts;
  for (const std::string* path : {&config.inf1File, &config.inf2File, &config.inf3File}) {
    Result<InputFile> part = InputFile::Open(*path);
    if (!part.ok()) return part.failure();
    parts.push_back(std::move(part.value()));
  }

  Result<TextOutput> output = TextOutput::Create(config.infFile, Durability::kStableFirst);
  if (!output.ok()) return output.failure();
  // The merged file takes about the room of its parts (an LF that gains its CR aside).
  uint64_t expected = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    expected += 2 * std::strlen(kPartHeaders[i]) + parts[i].CurrentSize();
  }
  output.value().Reserve(expected);
  std::unique_ptr<char[]> block(new char[kBlockSize]);
  MergedParts merged;
  for (size_t i = 0; i < parts.size(); ++i) {
    Outcome written = output.value().Write(kPartHeaders[i]);
    if (written.ok()) written = CopyPart(parts[i], block.get(), output.value());
    if (!written.ok()) return written.failure();
    Result<FileIdentity> identity = parts[i].IdentityOfWhatWasRead();
    if (!identity.ok()) return identity.failure();
    merged[i] = identity.value();
  }
  Outcome committed = output.value().Commit();
  if (!committed.ok()) return committed.failure();

  console.Report({"* ", config.infAllLabel, " -> ", config.infFile});
  return merged;
}

}  // namespace

Result<MergedParts> MergeInfParts(const AcqConfig& config, Console& console) {
  // Running out of memory stops the stage like any other failure; the unwinding has
  // removed the temporary file by the time it is reported.
  try {
    return Merge(config, console);
  } catch (const std::bad_alloc&) {
    return Failure{config.infFile, Reason("can't be written", ENOMEM)};
  }
}

}  // namespace acqsort
