#include "testing/scratch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace acqsort::testutil {

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("acqsort-") + (test ? test->name() : "test") + "-" +
                     std::to_string(counter++);
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  root_ = std::filesystem::temp_directory_path() / name;
  std::error_code ignored;  // what an earlier run left behind must not fail this one
  std::filesystem::remove_all(root_, ignored);
  std::filesystem::create_directories(root_);
}

AcqConfig PartsIn(const ScratchDir& dir) {
  AcqConfig config;
  config.infFile = dir.Path("merged.txt");
  config.inf1File = dir.Path("part1.txt");
  config.inf2File = dir.Path("part2.txt");
  config.inf3File = dir.Path("part3.txt");
  config.infAllLabel = "parts";
  return config;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string ScratchDir::Path(const std::string& name) const { return (root_ / name).string(); }

Folder ScratchDir::OpenFolder() const {
  Result<Folder> folder = Folder::Open(root_.string());
  if (!folder.ok()) throw std::runtime_error(folder.failure().reason);
  return std::move(folder.value());
}

std::vector<std::string> TemporaryFilesIn(const std::filesystem::path& folder) {
  const std::string suffix = ".acqsort-tmp";
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      found.push_back(entry.path().string());
    }
  }
  return found;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace acqsort::testutil
