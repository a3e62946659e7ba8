#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "testing/scratch.h"

namespace acqsort {
namespace {

TEST(ReplacementFileTest, TheTemporaryNameDoesNotGrowWithTheTargetsName) {
  testing::ScratchDir dir;
  // 250 characters: the target fits in a name of at most 255, a name built from it plus a
  // suffix would not.
  const std::string name = std::string(246, 'n') + ".txt";
  const std::string target = dir.Path(name);
  Result<ReplacementFile> file = ReplacementFile::Create(target);
  ASSERT_TRUE(file.ok()) << file.failure().reason;
  const std::string temporary = file.value().temporaryPath();
  const std::string folder = target.substr(0, target.size() - name.size());
  EXPECT_EQ(temporary.substr(0, folder.size()), folder) << "beside the target";
  EXPECT_LT(temporary.size() - folder.size(), 40u) << temporary;
  EXPECT_EQ(temporary.substr(temporary.size() - std::strlen(kTemporarySuffix)), kTemporarySuffix);
  ASSERT_TRUE(file.value().Write("data", 4).ok());
  ASSERT_TRUE(file.value().Commit(Durability::kStableFirst).ok());
  EXPECT_EQ(testing::ReadBytes(target), "data");
  EXPECT_FALSE(std::filesystem::exists(temporary));
}

TEST(InputFileTest, ANameTooLongForTheFileSystemSaysSo) {
  testing::ScratchDir dir;
  const std::string path = dir.Path(std::string(300, 'x') + ".txt");
  Result<std::string> content = ReadWholeFile(path);
  ASSERT_FALSE(content.ok());
  EXPECT_EQ(content.failure().file, path);
  EXPECT_EQ(content.failure().reason, Reason("can't be opened", ENAMETOOLONG));
}

TEST(RemoveFileIfUnchangedTest, RemovesTheFileThatWasReadAndPassesOverAMissingOne) {
  testing::ScratchDir dir;
  const std::string path = dir.Path("part.txt");
  testing::WriteBytes(path, "records\r\n");
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
