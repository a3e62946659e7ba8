#include "platform/text_input.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/scratch.h"

namespace acqsort {
namespace {

// Reads the whole file through blocks of `blockSize` bytes.
std::string ReadAll(const std::string& path, size_t blockSize) {
  Result<TextInput> input = TextInput::Open(path, blockSize);
  EXPECT_TRUE(input.ok());
  if (!input.ok()) return "<not opened>";
  std::string text;
  for (;;) {
    Result<std::string_view> block = input.value().ReadBlock();
    EXPECT_TRUE(block.ok());
    if (!block.ok() || block.value().empty()) return text;
    text.append(block.value());
  }
}

TEST(TextInputTest, PairsCrLfAcrossBlockBoundaries) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("part.txt");
  static const char kDisk[] = "ab\r\n\r\ncd\r\r\nef\rg\x1a\0h\r\n\r";
  static const char kMemory[] = "ab\n\ncd\r\nef\rg\x1a\0h\n\r";
  const std::string disk(kDisk, sizeof kDisk - 1);
  const std::string memory(kMemory, sizeof kMemory - 1);
  testutil::WriteBytes(path, disk);
  for (size_t blockSize : {1, 2, 3, 4, 5, 7, 64}) {
    EXPECT_EQ(ReadAll(path, blockSize), memory) << "block size " << blockSize;
  }
}

TEST(TextInputTest, AnEmptyFileEndsAtOnce) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("empty.txt");
  testutil::WriteBytes(path, "");
  EXPECT_EQ(ReadAll(path, 8), "");
}

TEST(TextInputTest, OpeningAMissingFileOrAFolderFails) {
  testutil::ScratchDir dir;
  for (const std::string& path : {dir.Path("missing.txt"), dir.root().string()}) {
    Result<TextInput> input = TextInput::Open(path);
    ASSERT_FALSE(input.ok()) << path;
    EXPECT_EQ(input.failure().file, path);
    EXPECT_NE(input.failure().reason.find("can't be opened"), std::string::npos);
  }
}

}  // namespace
}  // namespace acqsort
