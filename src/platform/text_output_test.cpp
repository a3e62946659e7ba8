#include "platform/text_output.h"

#include <gtest/gtest.h>

#include <vector>

#include <filesystem>
#include <string>

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
  const std::string path = dir.Path("out.txt");
  const std::string longLine(300, 'x');
  for (size_t bufferSize : {1, 2, 5, 1024}) {
    Result<TextOutput> output = TextOutput::Create(path, bufferSize);
    ASSERT_TRUE(output.ok());
    ASSERT_TRUE(output.value().Write("#head\n\n").ok());
    ASSERT_TRUE(output.value().WriteLine("a\rb").ok());
    ASSERT_TRUE(output.value().WriteLine(longLine).ok());
    ASSERT_TRUE(output.value().Write(std::string("nul\0", 4)).ok());
    ASSERT_TRUE(output.value().Commit(Durability::kStableFirst).ok());
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
  {
    Result<TextOutput> output = TextOutput::Create(path, 4);
    ASSERT_TRUE(output.ok());
    ASSERT_TRUE(output.value().Write("new content that is flushed\n").ok());
    EXPECT_EQ(testutil::ReadBytes(path), "old\r\n");
    EXPECT_EQ(EntriesIn(dir.root()), 2u);
    // Dropped without Commit: the temporary file goes, the old content stays.
  }
  EXPECT_EQ(testutil::ReadBytes(path), "old\r\n");
  EXPECT_EQ(EntriesIn(dir.root()), 1u);
}

TEST(TextOutputTest, AFolderInThePlaceOfTheTargetFailsTheCommitAndLeavesNoTrace) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("merged.txt");
  std::filesystem::create_directory(path);
  testutil::WriteBytes(dir.Path("merged.txt/keep"), "kept");
  Result<TextOutput> output = TextOutput::Create(path);
  ASSERT_TRUE(output.ok());
  ASSERT_TRUE(output.value().Write("data\n").ok());
  Outcome committed = output.value().Commit(Durability::kStableFirst);
  ASSERT_FALSE(committed.ok());
  EXPECT_EQ(committed.failure().file, path);
  EXPECT_NE(committed.failure().reason.find("can't be replaced"), std::string::npos);
  EXPECT_EQ(EntriesIn(dir.root()), 1u);
  EXPECT_EQ(testutil::ReadBytes(dir.Path("merged.txt/keep")), "kept");
}

TEST(ReplacementFileTest, SkipsTemporaryNamesLeftBehindByAKilledRun) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("sorted.txt");
  std::string first;
  {
    Result<ReplacementFile> probe = ReplacementFile::Create(path);
    ASSERT_TRUE(probe.ok());
    std::vector<std::string> temporaries = testutil::TemporaryFilesIn(dir.root());
    ASSERT_EQ(temporaries.size(), 1u);
    first = temporaries[0];
  }
  // The names are "<target>.<process>-<counter>.acqsort-tmp": take the next few.
  const std::string stem = first.substr(0, first.size() - std::string(kTemporarySuffix).size());
  const size_t dash = stem.rfind('-');
  const unsigned counter = static_cast<unsigned>(std::stoul(stem.substr(dash + 1)));
  for (unsigned next = counter + 1; next <= counter + 5; ++next) {
    testutil::WriteBytes(first.substr(0, dash + 1) + std::to_string(next) + kTemporarySuffix, "stale");
  }
  Result<TextOutput> output = TextOutput::Create(path);
  ASSERT_TRUE(output.ok()) << output.failure().reason;
  ASSERT_TRUE(output.value().Write("fresh\n").ok());
  ASSERT_TRUE(output.value().Commit(Durability::kCached).ok());
  EXPECT_EQ(testutil::ReadBytes(path), "fresh\r\n");
  EXPECT_EQ(EntriesIn(dir.root()), 6u) << "the stale files stay; they are not this run's";
}

TEST(TextOutputTest, CreatingInAMissingFolderNamesTheTarget) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("no-such-folder/out.txt");
  Result<TextOutput> output = TextOutput::Create(path);
  ASSERT_FALSE(output.ok());
  EXPECT_EQ(output.failure().file, path);
  EXPECT_NE(output.failure().reason.find("can't be created"), std::string::npos);
}

}  // namespace
}  // namespace acqsort
