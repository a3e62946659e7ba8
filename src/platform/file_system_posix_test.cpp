#include "platform/file_system.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "testing/scratch.h"

namespace acqsort {
namespace {

// Blocks the file system holds for a file, in bytes.
long long AllocatedBytes(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_blocks) * 512 : -1;
}

// Room reserved beyond what was written must not stay with the file: a narrow range of a
// large ACQ file would otherwise leave megabytes of the disk taken by a small sorted file.
TEST(ReplacementFilePosixTest, RoomReservedBeyondTheWritesIsGivenBack) {
  testutil::ScratchDir dir;
  const std::string target = dir.Path("out.txt");
  Result<ReplacementFile> file = ReplacementFile::Create(target, Durability::kCached);
  ASSERT_TRUE(file.ok()) << file.failure().reason;
  file.value().Reserve(16 << 20);
  ASSERT_TRUE(file.value().Write("small", 5).ok());
  ASSERT_TRUE(file.value().Commit().ok());
  EXPECT_EQ(testutil::ReadBytes(target), "small");
  EXPECT_LT(AllocatedBytes(target), 1 << 20);
}

}  // namespace
}  // namespace acqsort
