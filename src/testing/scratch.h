#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "config/acq_config.h"
#include "platform/file_system.h"

namespace acqsort::testutil {

// A fresh, empty folder for one test, removed with its content afterwards.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The path of `name` inside the folder, as a string for the file layer.
  std::string Path(const std::string& name) const;
  const std::filesystem::path& root() const { return root_; }
  // The folder opened for the file layer, which replaces and removes files through it.
  Folder OpenFolder() const;

 private:
  std::filesystem::path root_;
};

// The tool's temporary files (ending in ".acqsort-tmp") directly in `folder`, by full path.
std::vector<std::string> TemporaryFilesIn(const std::filesystem::path& folder);

// A configuration whose merged file and three parts lie in `dir`, as the report prints them.
AcqConfig PartsIn(const ScratchDir& dir);

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

}  // namespace acqsort::testutil
