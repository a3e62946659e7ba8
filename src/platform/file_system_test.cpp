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

#include "platform/system_error.h"
#include "testing/scratch.h"

namespace acqsort {
namespace {

TEST(ReplacementFileTest, TheTemporaryNameDoesNotGrowWithTheTargetsName) {
  testutil::ScratchDir dir;
  // 250 characters: the target fits in a name of at most 255, a name built from it plus a
  // suffix would not.
  const std::string name = std::string(246, 'n') + ".txt";
  const std::string target = dir.Path(name);
  const Folder folder = dir.OpenFolder();
  Result<ReplacementFile> file = ReplacementFile::Create(folder, target);
  ASSERT_TRUE(file.ok()) << file.failure().reason;
  const std::vector<std::string> temporaries = testutil::TemporaryFilesIn(dir.root());
  ASSERT_EQ(temporaries.size(), 1u);
  const std::string temporary = temporaries[0];
  const std::string beside = target.substr(0, target.size() - name.size());
  EXPECT_EQ(temporary.substr(0, beside.size()), beside) << "beside the target";
  EXPECT_LT(temporary.size() - beside.size(), 40u) << temporary;
  EXPECT_EQ(temporary.substr(temporary.size() - std::strlen(kTemporarySuffix)), kTemporarySuffix);
  ASSERT_TRUE(file.value().Write("data", 4).ok());
  ASSERT_TRUE(file.value().Commit().ok());
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
  EXPECT_EQ(content.failure().reason, FailureOf("", "can't be opened", SystemError::Of(ENAMETOOLONG)).reason);
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
  std::string refusedWhileMapped;
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
    if (!changed) refusedWhileMapped += std::string(refusedWhileMapped.empty() ? "" : ", ") + c.what;
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
  std::cout << std::size(cases) << " changes to a mapped file, refused by the system: "
            << (refusedWhileMapped.empty() ? "none" : refusedWhileMapped) << "\n";
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
  const Folder folder = dir.OpenFolder();
  const std::string path = dir.Path("part.txt");
  testutil::WriteBytes(path, "records\r\n");
  FileState state;
  {
    Result<InputFile> file = InputFile::Open(path);
    ASSERT_TRUE(file.ok());
    char buffer[64];
    while (file.value().Read(buffer, sizeof buffer).value() > 0) {
    }
    ASSERT_TRUE(file.value().CheckReadWhole().ok());
    state = file.value().state();
  }
  EXPECT_EQ(state.size, 9u);

  FileState partlyRead = state;
  partlyRead.size = 4;
  const RemovalResult kept = RemoveFileIfUnchanged(folder, path, partlyRead);
  EXPECT_EQ(kept.removal, Removal::kKept) << "more than was read";
  EXPECT_TRUE(kept.changed);
  EXPECT_EQ(testutil::ReadBytes(path), "records\r\n");
  EXPECT_TRUE(testutil::TemporaryFilesIn(dir.root()).empty()) << "back under its own name";
  EXPECT_EQ(RemoveFileIfUnchanged(folder, path, state).removal, Removal::kRemoved);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(RemoveFileIfUnchanged(folder, path, state).removal, Removal::kAbsent);
  EXPECT_TRUE(testutil::TemporaryFilesIn(dir.root()).empty());
}

// A part that is a link to another part: read through the link, it is the other part's
// file; once that file is removed, the link holds no data and goes as well.
TEST(RemoveFileIfUnchangedTest, RemovesALinkWhoseFileIsGone) {
  testutil::ScratchDir dir;
  const Folder folder = dir.OpenFolder();
  const std::string target = dir.Path("part1.txt");
  const std::string link = dir.Path("part3.txt");
  testutil::WriteBytes(target, "records\r\n");
  std::error_code refused;
  std::filesystem::create_symlink("part1.txt", std::filesystem::u8path(link), refused);
  if (refused) GTEST_SKIP() << "no symbolic links here: " << refused.message();
  FileState read;
  {
    Result<InputFile> file = InputFile::Open(link);
    ASSERT_TRUE(file.ok()) << file.failure().reason;
    read = file.value().state();
  }

  EXPECT_EQ(RemoveFileIfUnchanged(folder, target, read).removal, Removal::kRemoved);
  const RemovalResult removed = RemoveFileIfUnchanged(folder, link, read);
  EXPECT_EQ(removed.removal, Removal::kRemoved) << removed.why;
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(std::filesystem::u8path(link))));
  EXPECT_TRUE(testutil::TemporaryFilesIn(dir.root()).empty());
}

TEST(InputFileTest, AFileChangedWhileItIsReadIsSeen) {
  struct Case {
    const char* what;
    size_t readBefore;  // bytes read before the change
    void (*change)(const std::string& path);
    bool seen;
  };
  const Case cases[] = {
      {"left alone", 100, [](const std::string&) {}, false},
      {"a record appended after all was read", 100,
       [](const std::string& path) { testutil::WriteBytes(path, testutil::ReadBytes(path) + "late\r\n"); }, true},
      {"patched in place, same size", 4,
       [](const std::string& path) {
         std::string bytes = testutil::ReadBytes(path);
         bytes[0] = 'X';
         testutil::WriteBytes(path, bytes);
         // Coarse file times: make the change visible in any case.
         std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testutil::ScratchDir dir;
    const std::string path = dir.Path("part.txt");
    testutil::WriteBytes(path, "records\r\nmore records\r\n");
    Result<InputFile> file = InputFile::Open(path);
    ASSERT_TRUE(file.ok());
    char buffer[128];
    ASSERT_TRUE(file.value().Read(buffer, c.readBefore).ok());
    c.change(path);
    while (file.value().Read(buffer, sizeof buffer).value() > 0) {
    }
    Outcome whole = file.value().CheckReadWhole();
    EXPECT_EQ(whole.ok(), !c.seen);
    if (!whole.ok()) {
      EXPECT_EQ(whole.failure().reason, kChangedWhileRead);
    }
  }
}

}  // namespace
}  // namespace acqsort
