#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include "invariant.h"
#include "tool_run.h"

namespace acqsort::reliability {

// A folder of its own under the system's temporary folder, removed afterwards.
class WorkDir {
 public:
  explicit WorkDir(const std::string& name)
      : root_(std::filesystem::temp_directory_path() /
              ("acqsort-" + name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
  }
  ~WorkDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  std::filesystem::path operator/(const std::string& name) const { return root_ / name; }

 private:
  std::filesystem::path root_;
};

// A pristine workload with what a complete run makes of it.
struct Reference {
  Snapshot before;
  std::string sorted;
  std::string merged;
};

// Runs the tool once on a copy of `pristine` and keeps the result; the merged file is also
// checked against the parts, so that the reference is known to be right.
inline Reference MakeReference(const std::filesystem::path& pristine,
                               const std::filesystem::path& scratch) {
  Reference reference;
  reference.before = TakeSnapshot(pristine);
  Restore(pristine, scratch);
  ToolExit exit = RunTool(scratch);
  if (!exit.Succeeded()) throw std::runtime_error("reference run failed: " + exit.output);
  Snapshot after = TakeSnapshot(scratch);
  reference.sorted = after.at(kSorted);
  reference.merged = after.at(kMerged);
  if (reference.merged != CompleteMerge(reference.before)) {
    throw std::runtime_error("reference run wrote a wrong merged file");
  }
  return reference;
}

}  // namespace acqsort::reliability
