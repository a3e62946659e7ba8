#include "invariant.h"

#include <fstream>

namespace acqsort::reliability {

namespace fs = std::filesystem;

Snapshot TakeSnapshot(const fs::path& dir) {
  Snapshot snapshot;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_directory()) continue;
    std::string& content = snapshot[fs::relative(entry.path(), dir).generic_string()];
    content.resize(static_cast<size_t>(entry.file_size()));
    std::ifstream in(entry.path(), std::ios::binary);
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<size_t>(in.gcount()));
  }
  return snapshot;
}

void Restore(const fs::path& pristine, const fs::path& dir) {
  fs::remove_all(dir);
  fs::copy(pristine, dir, fs::copy_options::recursive | fs::copy_options::create_hard_links);
}

std::string CompleteMerge(const Snapshot& before) {
  return "#ACQ 1th part\r\n" + before.at(kParts[0]) + "\r\n\r\n\r\n#ACQ 2nd part\r\n" +
         before.at(kParts[1]) + "\r\n\r\n\r\n#ACQ 3rd part\r\n" + before.at(kParts[2]);
}

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// `path` in `after` is absent or as in `before` (the old state), or holds `complete`.
void CheckOldOrComplete(const Snapshot& before, const Snapshot& after, const std::string& path,
                        const std::string& complete, std::vector<std::string>& violations) {
  auto now = after.find(path);
  auto then = before.find(path);
  if (now == after.end()) {
    if (then != before.end()) violations.push_back(path + " was there and is gone");
    return;
  }
  if (now->second == complete) return;
  if (then != before.end() && now->second == then->second) return;
  violations.push_back(path + " is neither its old content nor complete (" +
                       std::to_string(now->second.size()) + " bytes)");
}

}  // namespace

std::vector<std::string> CheckInvariant(const Snapshot& before, const Snapshot& after,
                                        const std::string& completeSorted,
                                        const std::string& completeMerged,
                                        bool temporariesAllowed) {
  std::vector<std::string> violations;
  for (const std::string& input : {kConfig, kAcq}) {
    auto now = after.find(input);
    if (now == after.end() || now->second != before.at(input)) violations.push_back(input + " changed");
  }
  CheckOldOrComplete(before, after, kSorted, completeSorted, violations);
  CheckOldOrComplete(before, after, kMerged, completeMerged, violations);
  auto merged = after.find(kMerged);
  const bool mergeIsComplete = merged != after.end() && merged->second == completeMerged;
  for (const std::string& part : kParts) {
    auto now = after.find(part);
    if (now == after.end()) {
      if (!mergeIsComplete) violations.push_back(part + " is gone but the merged file is not complete");
    } else if (now->second != before.at(part)) {
      violations.push_back(part + " changed");
    }
  }
  for (const auto& [path, content] : after) {
    (void)content;
    bool known = path == kConfig || path == kAcq || path == kSorted || path == kMerged ||
                 path == kParts[0] || path == kParts[1] || path == kParts[2] || before.count(path);
    if (known) continue;
    if (temporariesAllowed && EndsWith(path, ".acqsort-tmp")) continue;
    violations.push_back("unexpected file " + path);
  }
  return violations;
}

}  // namespace acqsort::reliability
