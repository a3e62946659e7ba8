#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/scratch.h"

namespace acqsort {
namespace {

TEST(ReplacementFileTest, TheTemporaryNameDoesNotGrowWithTheTargetsName) {
  testutil::ScratchDir dir;
  // 250 characters: the target fits in a name of at most 255, a name built from it plus a
  // suffix would not.
  const std::string name = std::string(246, 'n') + ".txt";
  const std::string target = dir.Path(name);
  Result<ReplacementFile> file = ReplacementFile::Create(target);
  ASSERT_TRUE(file.ok()) << file.failure().reason;
  const std::vector<std::string> temporaries = testutil::TemporaryFilesIn(dir.root());
  ASSERT_EQ(temporaries.size(), 1u);
  const std::string temporary = temporaries[0];
  const std::string folder = target.substr(0, target.size() - name.size());
  EXPECT_EQ(temporary.substr(0, folder.size()), folder) << "beside the target";
  EXPECT_LT(temporary.size() - folder.size(), 40u) << temporary;
  EXPECT_EQ(temporary.substr(temporary.size() - std::strlen(kTemporarySuffix)), kTemporarySuffix);
  ASSERT_TRUE(file.value().Write("data", 4).ok());
  ASSERT_TRUE(file.value().Commit(Durability::kStableFirst).ok());
  EXPECT_EQ(testutil::ReadBytes(target), "data");
  EXPECT_FALSE(std::filesystem::exists(temporary));
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
