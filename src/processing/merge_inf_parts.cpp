#include "processing/merge_inf_parts.h"

#include <cerrno>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text_input.h"
#include "platform/text_output.h"

namespace acqsort {

namespace {

Outcome CopyPart(TextInput& part, TextOutput& output) {
  for (;;) {
    Result<std::string_view> block = part.ReadBlock();
    if (!block.ok()) return block.failure();
    if (block.value().empty()) return {};
    Outcome written = output.Write(block.value());
    if (!written.ok()) return written;
  }
}

Result<MergedParts> Merge(const AcqConfig& config, Console& console) {
  std::vector<TextInput> parts;
  for (const std::string* path : {&config.inf1File, &config.inf2File, &config.inf3File}) {
    Result<TextInput> part = TextInput::Open(*path);
    if (!part.ok()) return part.failure();
    parts.push_back(std::move(part.value()));
  }

  Result<TextOutput> output = TextOutput::Create(config.infFile);
  if (!output.ok()) return output.failure();
  MergedParts merged;
  for (size_t i = 0; i < parts.size(); ++i) {
    Outcome written = output.value().Write(kPartHeaders[i]);
    if (written.ok()) written = CopyPart(parts[i], output.value());
    if (!written.ok()) return written.failure();
    Result<FileIdentity> identity = parts[i].IdentityOfWhatWasRead();
    if (!identity.ok()) return identity.failure();
    merged[i] = identity.value();
  }
  Outcome committed = output.value().Commit(Durability::kStableFirst);
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
