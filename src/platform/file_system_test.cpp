#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "testing/allocation.h"
#include "testing/scratch.h"

namespace acqsort {
namespace {

TEST(ReplacementFileTest, TheTemporaryNameDoesNotGrowWithTheTargetsName) {
  testutil::ScratchDir dir;
  // 250 characters: the target fits in a name of at most 255, a name built from it plus a
  // suffix would not.
  const std::string name = std::string(246, 'n') + ".txt";
  const std::string target = dir.Path(name);
  Result<ReplacementFile> file = ReplacementFile::Create(target, Durability::kStableFirst);
  ASSERT_TRUE(file.ok()) << file.failure().reason;
  const std::vector<std::string> temporaries = testutil::TemporaryFilesIn(dir.root());
  ASSERT_EQ(temporaries.size(), 1u);
  const std::string temporary = temporaries[0];
  const std::string folder = target.substr(0, target.size() - name.size());
  EXPECT_EQ(temporary.substr(0, folder.size()), folder) << "beside the target";
  EXPECT_LT(temporary.size() - folder.size(), 40u) << temporary;
  EXPECT_EQ(temporary.substr(temporary.size() - std::strlen(kTemporarySuffix)), kTemporarySuffix);
  ASSERT_TRUE(file.value().Write("data", 4).ok());
  ASSERT_TRUE(file.value().Commit().ok());
  EXPECT_EQ(testutil::ReadBytes(target), "data");
  EXPECT_FALSE(std::filesystem::exists(temporary));
}

// Room asked for ahead of the writes never changes what the file holds, whether the writes
// fall short of it, exceed it, or came before it.
TEST(ReplacementFileTest, ReservedRoomLeavesTheContentAsWritten) {
  struct Case {
    const char* what;
    uint64_t reserveBefore;  // 0: none
    size_t written;
    uint64_t reserveAfter;   // 0: none
  };
  const Case cases[] = {
      {"far more than written", 8 << 20, 1000, 0},
      {"less than written", 100, 5000, 0},
      {"after the writes, less than written", 0, 5000, 100},
      {"after the writes, more than written", 0, 5000, 1 << 20},
      {"nothing written", 1 << 20, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testutil::ScratchDir dir;
    const std::string target = dir.Path("out.txt");
    Result<ReplacementFile> file = ReplacementFile::Create(target, Durability::kStableFirst);
    ASSERT_TRUE(file.ok()) << file.failure().reason;
    if (c.reserveBefore != 0) file.value().Reserve(c.reserveBefore);
    const std::string bytes(c.written, 'r');
    ASSERT_TRUE(file.value().Write(bytes.data(), bytes.size()).ok());
    if (c.reserveAfter != 0) file.value().Reserve(c.reserveAfter);
    ASSERT_TRUE(file.value().Commit().ok());
    EXPECT_EQ(testutil::ReadBytes(target), bytes);
    EXPECT_EQ(std::filesystem::file_size(target), c.written);
  }
}

// Room reserved beyond what was written must not stay with the file: a narrow range of a
// large ACQ file would otherwise leave megabytes of the disk taken by a small sorted file.
TEST(ReplacementFileTest, RoomReservedBeyondTheWritesIsGivenBack) {
  testutil::ScratchDir dir;
  const std::string target = dir.Path("out.txt");
  Result<ReplacementFile> file = ReplacementFile::Create(target, Durability::kCached);
  ASSERT_TRUE(file.ok()) << file.failure().reason;
  file.value().Reserve(16 << 20);
  ASSERT_TRUE(file.value().Write("small", 5).ok());
  ASSERT_TRUE(file.value().Commit().ok());
  EXPECT_EQ(testutil::ReadBytes(target), "small");
  const long long allocated = testutil::AllocatedBytes(target);
  EXPECT_GE(allocated, 0);
  EXPECT_LT(allocated, 1 << 20);
}

TEST(InputFileTest, OpeningAMissingFileOrAFolderFails) {
  testutil::ScratchDir dir;
  for (const std::string& path : {dir.Path("missing.txt"), dir.root().string()}) {
    Result<InputFile> input = InputFile::Open(path);
    ASSERT_FALSE(input.ok()) << path;
    EXPECT_EQ(input.failure().file, path);
    EXPECT_NE(input.failure().reason.find("can't be opened"), std::string::npos);
  }
}

TEST(InputFileTest, ANameTooLongForTheFileSystemSaysSo) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path(std::string(300, 'x') + ".txt");
  Result<std::string> content = ReadWholeFile(path);
  ASSERT_FALSE(content.ok());
  EXPECT_EQ(content.failure().file, path);
  EXPECT_EQ(content.failure().reason, Reason("can't be opened", ENAMETOOLONG));
}

// Another program changes a mapped file while it is read: reading must never crash, and the
// change must be seen afterwards, so that nothing built from the content is kept.
TEST(MappedFileTest, AChangeWhileTheFileIsMappedIsSeenAndNeverCrashes) {
  struct Case {
    const char* what;
    bool (*change)(const std::string& path);  // false when the platform refuses the change
  };
  const Case cases[] = {
      {"truncated", [](const std::string& path) {
         std::error_code refused;
         std::filesystem::resize_file(path, 100, refused);
         return !refused;
       }},
      {"extended", [](const std::string& path) {
         std::ofstream(path, std::ios::binary | std::ios::app) << "a late record\r\n";
         return true;
       }},
      {"rewritten in place", [](const std::string& path) {
         std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
         file.seekp(10);
         file << "X";
         file.close();
         std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
         return true;
       }},
  };
  const std::string content = std::string(3 << 20, 'x') + "\r\n";  // several pages
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testutil::ScratchDir dir;
    const std::string path = dir.Path("data.txt");
    testutil::WriteBytes(path, content);
    Result<MappedFile> mapped = MappedFile::Open(path);
    ASSERT_TRUE(mapped.ok()) << mapped.failure().reason;
    ASSERT_EQ(mapped.value().text().size(), content.size());
    ASSERT_TRUE(mapped.value().CheckUnchanged().ok());

    const bool changed = c.change(path);
    std::cout << c.what << (changed ? ": done while mapped\n" : ": refused while mapped\n");
    size_t xs = 0;
    for (char byte : mapped.value().text()) xs += byte == 'x' ? 1 : 0;  // touches every page
    Outcome unchanged = mapped.value().CheckUnchanged();
    if (changed) {
      ASSERT_FALSE(unchanged.ok()) << xs;
      EXPECT_EQ(unchanged.failure().file, path);
      EXPECT_EQ(unchanged.failure().reason, "can't be read: it changed while it was being read");
    } else {
      // Windows refuses to truncate a mapped file: the content stays whole.
      EXPECT_TRUE(unchanged.ok());
      EXPECT_EQ(xs, content.size() - 2);
    }
  }
}

TEST(MappedFileTest, MapsAFileWholeAndAnEmptyOneAsNothing) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("data.txt");
  for (const std::string& content : {std::string("000001;one\r\n000002;two"), std::string()}) {
    testutil::WriteBytes(path, content);
    Result<MappedFile> mapped = MappedFile::Open(path);
    ASSERT_TRUE(mapped.ok()) << mapped.failure().reason;
    EXPECT_EQ(mapped.value().text(), content);
    EXPECT_TRUE(mapped.value().CheckUnchanged().ok());
  }
}

TEST(RemoveFileIfUnchangedTest, RemovesTheFileThatWasReadAndPassesOverAMissingOne) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("part.txt");
  testutil::WriteBytes(path, "records\r\n");
  FileIdentity identity;
  {
    Result<InputFile> file = InputFile::Open(path);
    ASSERT_TRUE(file.ok());
    char buffer[64];
    while (file.value().Read(buffer, sizeof buffer).value() > 0) {
    }
    Result<FileIdentity> read = file.value().IdentityOfWhatWasRead();
    ASSERT_TRUE(read.ok());
    identity = read.value();
  }
  EXPECT_EQ(identity.size, 9u);

  FileIdentity partlyRead = identity;
  partlyRead.size = 4;
  EXPECT_EQ(RemoveFileIfUnchanged(path, partlyRead), Removal::kKept) << "more than was read";
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(RemoveFileIfUnchanged(path, identity), Removal::kRemoved);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(RemoveFileIfUnchanged(path, identity), Removal::kAbsent);
}

}  // namespace
}  // namespace acqsort
