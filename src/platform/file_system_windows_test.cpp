// What the Windows file layer must do about other programs and long paths, shown with real
// handles: a second handle in this process stands for the other program.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "platform/text_output.h"
#include "platform/windows_text.h"
#include "testing/scratch.h"

namespace acqsort {
namespace {

// The other program's handle to a file, closed when it goes out of scope.
class OtherProgram {
 public:
  OtherProgram(const std::string& path, DWORD access, DWORD sharing)
      : handle_(CreateFileW(WideFromNarrow(path).c_str(), access, sharing, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~OtherProgram() { Close(); }
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE handle() const { return handle_; }
  void Close() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

FileIdentity ReadAll(const std::string& path) {
  Result<InputFile> file = InputFile::Open(path);
  EXPECT_TRUE(file.ok());
  char buffer[4096];
  while (file.value().Read(buffer, sizeof buffer).value() > 0) {
  }
  EXPECT_TRUE(file.value().CheckReadWhole().ok());
  return file.value().identity();
}

TEST(WindowsFileSystemTest, AFileHeldByAnotherProgramIsReportedAsInUse) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("part.txt");
  testutil::WriteBytes(path, "records\r\n");
  OtherProgram other(path, GENERIC_READ, 0);  // shares nothing
  ASSERT_TRUE(other.ok());
  Result<InputFile> file = InputFile::Open(path);
  ASSERT_FALSE(file.ok());
  EXPECT_EQ(file.failure().reason, "can't be opened: in use by another program");
}

TEST(WindowsFileSystemTest, APartThatAnotherProgramHasOpenForWritingIsNeverRemoved) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("part.txt");
  testutil::WriteBytes(path, "records\r\n");
  const FileIdentity merged = ReadAll(path);
  // A logger that keeps appending, and even allows removal under it.
  OtherProgram logger(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(logger.ok());

  EXPECT_EQ(RemoveFileIfUnchanged(dir.OpenFolder(), path, merged).removal, Removal::kKept);
  DWORD written = 0;
  SetFilePointer(logger.handle(), 0, nullptr, FILE_END);
  ASSERT_TRUE(WriteFile(logger.handle(), "late\r\n", 6, &written, nullptr));
  logger.Close();
  EXPECT_EQ(testutil::ReadBytes(path), "records\r\nlate\r\n");
}

TEST(WindowsFileSystemTest, ABriefLockByAScannerIsWaitedOut) {
  testutil::ScratchDir dir;
  const std::string part = dir.Path("part.txt");
  const std::string target = dir.Path("merged.txt");
  testutil::WriteBytes(part, "records\r\n");
  testutil::WriteBytes(target, "old\r\n");
  const FileIdentity merged = ReadAll(part);

  // A scanner opens both files without sharing their removal, for a fraction of a second.
  OtherProgram partScanner(part, GENERIC_READ, FILE_SHARE_READ);
  OtherProgram targetScanner(target, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_TRUE(partScanner.ok());
  ASSERT_TRUE(targetScanner.ok());
  std::thread scanner([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    partScanner.Close();
    targetScanner.Close();
  });

  const Folder folder = dir.OpenFolder();
  Result<TextOutput> output = TextOutput::Create(folder, target);
  ASSERT_TRUE(output.ok());
  ASSERT_TRUE(output.value().WriteOnDisk("new\r\n").ok());
  Outcome committed = output.value().Commit();
  Removal removal = RemoveFileIfUnchanged(folder, part, merged).removal;
  scanner.join();

  EXPECT_TRUE(committed.ok()) << committed.failure().reason;
  EXPECT_EQ(testutil::ReadBytes(target), "new\r\n");
  EXPECT_EQ(removal, Removal::kRemoved);
  EXPECT_FALSE(std::filesystem::exists(part));
}

TEST(WindowsFileSystemTest, AReadOnlyOutputIsRefusedBeforeAnythingIsWritten) {
  testutil::ScratchDir dir;
  const std::string target = dir.Path("merged.txt");
  testutil::WriteBytes(target, "the only copy\r\n");
  ASSERT_TRUE(SetFileAttributesW(WideFromNarrow(target).c_str(), FILE_ATTRIBUTE_READONLY));
  Result<ReplacementFile> file = ReplacementFile::Create(dir.OpenFolder(), target);
  ASSERT_FALSE(file.ok());
  EXPECT_EQ(file.failure().file, target);
  EXPECT_EQ(file.failure().reason, Reason("can't be replaced", EACCES));
  SetFileAttributesW(WideFromNarrow(target).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(testutil::ReadBytes(target), "the only copy\r\n");
}

TEST(WindowsFileSystemTest, PathsLongerThanMaxPathWork) {
  testutil::ScratchDir dir;
  // A folder chain that takes the path well past MAX_PATH (260 characters).
  std::string folder = dir.root().string();
  for (int depth = 0; depth < 4; ++depth) {
    folder += "\\" + std::string(80, static_cast<char>('a' + depth));
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + WideFromNarrow(folder)).c_str(), nullptr)) << folder;
  }
  const std::string path = folder + "\\part.txt";
  ASSERT_GT(path.size(), 300u);

  Result<Folder> folderOpened = Folder::Open(folder);
  ASSERT_TRUE(folderOpened.ok()) << folderOpened.failure().reason;
  Result<TextOutput> output = TextOutput::Create(folderOpened.value(), path);
  ASSERT_TRUE(output.ok()) << output.failure().reason;
  ASSERT_TRUE(output.value().WriteOnDisk("deep\r\n").ok());
  Outcome committed = output.value().Commit();
  ASSERT_TRUE(committed.ok()) << committed.failure().reason;
  Result<std::string> content = ReadWholeFile(path);
  ASSERT_TRUE(content.ok()) << content.failure().reason;
  EXPECT_EQ(content.value(), "deep\r\n");
  EXPECT_EQ(RemoveFileIfUnchanged(folderOpened.value(), path, ReadAll(path)).removal, Removal::kRemoved);
  Result<std::optional<FileIdentity>> gone = IdentityAt(path);
  ASSERT_TRUE(gone.ok());
  EXPECT_FALSE(gone.value().has_value());

  // The scratch folder's own clean-up does not reach past MAX_PATH: take the chain down.
  while (folder.size() > dir.root().string().size()) {
    EXPECT_TRUE(RemoveDirectoryW((L"\\\\?\\" + WideFromNarrow(folder)).c_str())) << folder;
    folder.resize(folder.rfind('\\'));
  }
}

}  // namespace
}  // namespace acqsort
