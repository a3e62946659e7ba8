#include "text/text_output.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "text/newlines.h"
#include "platform/system_error.h"
#include "testing/scratch.h"

namespace acqsort {
namespace {

size_t EntriesIn(const std::filesystem::path& dir) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    (void)entry;
    ++count;
  }
  return count;
}

TEST(TextOutputTest, WritesNewlinesAsCrLfThroughAnyBufferSize) {
  testutil::ScratchDir dir;
  const Folder folder = dir.OpenFolder();
  const std::string path = dir.Path("out.txt");
  const std::string longLine(300, 'x');
  for (size_t bufferSize : {1, 2, 5, 1024}) {
    Result<TextOutput> output = TextOutput::Create(folder, path, bufferSize);
    ASSERT_TRUE(output.ok());
    ASSERT_TRUE(output.value().WriteOnDisk("#head\r\n\r\n").ok());
    ASSERT_TRUE(output.value().WriteLine("a\rb").ok());
    ASSERT_TRUE(output.value().WriteLine(longLine).ok());
    ASSERT_TRUE(output.value().WriteOnDisk(std::string("nul\0", 4)).ok());
    ASSERT_TRUE(output.value().Commit().ok());
    EXPECT_EQ(testutil::ReadBytes(path),
              "#head\r\n\r\na\rb\r\n" + longLine + "\r\n" + std::string("nul\0", 4))
        << "buffer size " << bufferSize;
    EXPECT_EQ(EntriesIn(dir.root()), 1u) << "a temporary file was left behind";
  }
}

TEST(TextOutputTest, TheTargetKeepsItsContentUntilCommit) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("sorted.txt");
  testutil::WriteBytes(path, "old\r\n");
  const Folder folder = dir.OpenFolder();
  {
    Result<TextOutput> output = TextOutput::Create(folder, path, 4);
    ASSERT_TRUE(output.ok());
    ASSERT_TRUE(output.value().WriteOnDisk("new content that is flushed\r\n").ok());
    EXPECT_EQ(testutil::ReadBytes(path), "old\r\n");
    EXPECT_EQ(EntriesIn(dir.root()), 2u);
    // Dropped without Commit: the temporary file goes, the old content stays.
  }
  EXPECT_EQ(testutil::ReadBytes(path), "old\r\n");
  EXPECT_EQ(EntriesIn(dir.root()), 1u);
}

TEST(TextOutputTest, AFolderInThePlaceOfTheTargetIsRefusedAndLeavesNoTrace) {
  testutil::ScratchDir dir;
  const Folder folder = dir.OpenFolder();
  const std::string path = dir.Path("merged.txt");
  std::filesystem::create_directory(path);
  testutil::WriteBytes(dir.Path("merged.txt/keep"), "kept");
  Result<TextOutput> output = TextOutput::Create(folder, path);
  ASSERT_FALSE(output.ok());
  EXPECT_EQ(output.failure().file, path);
  EXPECT_NE(output.failure().reason.find("can't be replaced"), std::string::npos);
  EXPECT_EQ(EntriesIn(dir.root()), 1u);
  EXPECT_EQ(testutil::ReadBytes(dir.Path("merged.txt/keep")), "kept");
}

// Copying disk bytes untranslated must give what reading them with newline translation and
// writing them with it gives, however the bytes are cut into blocks: every text of up to
// seven bytes over 'a', CR and LF, cut into blocks of 1 to 4 bytes.
TEST(TextOutputTest, AnUntranslatedCopyEqualsReadingAndWritingWithTranslation) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("merged.txt");
  std::vector<std::string> texts = {""};
  for (size_t length = 1, first = 0; length <= 7; ++length) {
    const size_t last = texts.size();
    for (size_t i = first; i < last; ++i) {
      for (char c : {'a', '\r', '\n'}) texts.push_back(texts[i] + c);
    }
    first = last;
  }
  const Folder folder = dir.OpenFolder();
  for (size_t blockSize : {1, 2, 3, 4}) {
    Result<TextOutput> output = TextOutput::Create(folder, path, 3);
    ASSERT_TRUE(output.ok());
    std::string expected;
    for (const std::string& disk : texts) {
      // Each text behind a header that begins with a newline, as a part stands in the
      // merged file: a CR that ends one text never pairs with the header's LF.
      ASSERT_TRUE(output.value().WriteOnDisk("\r\n#\r\n").ok());
      for (size_t at = 0; at < disk.size(); at += blockSize) {
        ASSERT_TRUE(output.value().CopyUntranslated(std::string_view(disk).substr(at, blockSize)).ok());
      }
      std::string memory = disk;
      memory.resize(CompactCrLf(memory.data(), memory.size()));
      AppendWithCrLf("\n#\n" + memory, expected);
    }
    ASSERT_TRUE(output.value().Commit().ok());
    EXPECT_EQ(testutil::ReadBytes(path), expected) << "blocks of " << blockSize;
  }
}

TEST(TextOutputTest, AnUntranslatedCopyOfALargeBlockKeepsItsPlace) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("merged.txt");
  const Folder folder = dir.OpenFolder();
  Result<TextOutput> output = TextOutput::Create(folder, path, 8);
  ASSERT_TRUE(output.ok());
  ASSERT_TRUE(output.value().WriteOnDisk("head\r\n").ok());
  // Large blocks without a lone LF go straight to the file, after what is buffered.
  ASSERT_TRUE(output.value().CopyUntranslated("0123456789\r\nabcdef\r").ok());
  ASSERT_TRUE(output.value().CopyUntranslated("\nnext line\n").ok());
  ASSERT_TRUE(output.value().CopyUntranslated(std::string("nul\0 and more\r\n", 15)).ok());
  ASSERT_TRUE(output.value().Commit().ok());
  EXPECT_EQ(testutil::ReadBytes(path),
            "head\r\n0123456789\r\nabcdef\r\nnext line\r\n" + std::string("nul\0 and more\r\n", 15));
}

TEST(ReplacementFileTest, SkipsTemporaryNamesLeftBehindByAKilledRun) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("sorted.txt");
  const Folder folder = dir.OpenFolder();
  std::string first;
  {
    Result<ReplacementFile> probe = ReplacementFile::Create(folder, path);
    ASSERT_TRUE(probe.ok());
    std::vector<std::string> temporaries = testutil::TemporaryFilesIn(dir.root());
    ASSERT_EQ(temporaries.size(), 1u);
    first = temporaries[0];
  }
  // The names are "<process>-<counter>.acqsort-tmp": take the next few.
  const std::string stem = first.substr(0, first.size() - std::string(kTemporarySuffix).size());
  const size_t dash = stem.rfind('-');
  const unsigned counter = static_cast<unsigned>(std::stoul(stem.substr(dash + 1)));
  for (unsigned next = counter + 1; next <= counter + 5; ++next) {
    testutil::WriteBytes(first.substr(0, dash + 1) + std::to_string(next) + kTemporarySuffix, "stale");
  }
  Result<TextOutput> output = TextOutput::Create(folder, path);
  ASSERT_TRUE(output.ok()) << output.failure().reason;
  ASSERT_TRUE(output.value().WriteOnDisk("fresh\r\n").ok());
  ASSERT_TRUE(output.value().Commit().ok());
  EXPECT_EQ(testutil::ReadBytes(path), "fresh\r\n");
  EXPECT_EQ(EntriesIn(dir.root()), 6u) << "the stale files stay; they are not this run's";
}

TEST(TextOutputTest, AMissingFolderIsNamedWhenItIsOpened) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("no-such-folder/out.txt");
  Result<Folder> folder = Folder::Open(FolderOf(path));
  ASSERT_FALSE(folder.ok());
  EXPECT_EQ(folder.failure().file, FolderOf(path));
  EXPECT_EQ(folder.failure().reason, FailureOf("", "can't be opened", SystemError::Of(ENOENT)).reason);
}

}  // namespace
}  // namespace acqsort
