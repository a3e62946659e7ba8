// What the Windows file layer must do about other programs and long paths, shown with real
// handles: a second handle in this process stands for the other program.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "platform/file_system.h"
#include "text/text_output.h"
#include "platform/system_error.h"
#include "platform/windows_text.h"
#include "testing/scratch.h"

namespace acqsort {
namespace {

// Another program that holds a file open (tests/windows/holder.cpp), as a viewer, a
// previewer, a scanner or a logger does; it lets the file go when Close() is called or the
// object goes out of scope.
class OtherProgram {
 public:
  OtherProgram(const std::string& path, DWORD access, DWORD sharing) {
    std::wstring command = L"\"" + HolderPath() + L"\" \"" + WideFromNarrow(path) + L"\" ";
    command += (access & GENERIC_READ) != 0 ? L"r" : L"";
    command += (access & GENERIC_WRITE) != 0 ? L"w" : L"";
    command += L" ";
    command += (sharing & FILE_SHARE_READ) != 0 ? L"r" : L"";
    command += (sharing & FILE_SHARE_WRITE) != 0 ? L"w" : L"";
    command += (sharing & FILE_SHARE_DELETE) != 0 ? L"d" : L"";
    if (sharing == 0) command += L"-";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE childInput = nullptr;
    HANDLE childOutput = nullptr;
    if (!CreatePipe(&childInput, &input_, &inherited, 0) || !CreatePipe(&output_, &childOutput, &inherited, 0)) return;
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    const BOOL created = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &started);
    CloseHandle(childInput);
    CloseHandle(childOutput);
    if (!created) return;
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    // "held" once the file is open, "failed <code>" when it could not be.
    std::string said;
    char c = 0;
    DWORD read = 0;
    while (ReadFile(output_, &c, 1, &read, nullptr) && read == 1 && c != '\n') {
      if (c != '\r') said += c;  // its standard output is in text mode
    }
    held_ = said == "held";
  }
  ~OtherProgram() { Close(); }
  bool ok() const { return held_; }
  // Appends a line to the file through the other program's handle.
  void Write(const std::string& text) {
    const std::string line = "write " + text + "\n";
    DWORD written = 0;
    WriteFile(input_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
  // Lets the file go and waits until the other program has ended.
  void Close() {
    if (input_ != nullptr) CloseHandle(std::exchange(input_, nullptr));
    if (process_ != nullptr) {
      WaitForSingleObject(process_, 30000);
      CloseHandle(std::exchange(process_, nullptr));
    }
    if (output_ != nullptr) CloseHandle(std::exchange(output_, nullptr));
    held_ = false;
  }

 private:
  // The helper, built beside the tests; a path of the build machine becomes Wine's Z: path.
  static std::wstring HolderPath() {
    std::wstring path = WideFromNarrow(ACQSORT_HOLDER);
    if (!path.empty() && path[0] == L'/') {
      for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
      path = L"Z:" + path;
    }
    return path;
  }

  HANDLE process_ = nullptr;
  HANDLE input_ = nullptr;   // the other program's standard input: its commands
  HANDLE output_ = nullptr;  // its standard output: whether it holds the file
  bool held_ = false;
};

FileState ReadAll(const std::string& path) {
  Result<InputFile> file = InputFile::Open(path);
  EXPECT_TRUE(file.ok());
  char buffer[4096];
  while (file.value().Read(buffer, sizeof buffer).value() > 0) {
  }
  EXPECT_TRUE(file.value().CheckReadWhole().ok());
  return file.value().state();
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
  const FileState merged = ReadAll(path);
  // A logger that keeps appending, and even allows removal under it.
  OtherProgram logger(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(logger.ok());

  EXPECT_EQ(RemoveFileIfUnchanged(dir.OpenFolder(), path, merged).removal, Removal::kKept);
  logger.Write("late");
  logger.Close();
  EXPECT_EQ(testutil::ReadBytes(path), "records\r\nlate\r\n");
}

TEST(WindowsFileSystemTest, ABriefLockByAScannerIsWaitedOut) {
  testutil::ScratchDir dir;
  const std::string part = dir.Path("part.txt");
  const std::string target = dir.Path("merged.txt");
  testutil::WriteBytes(part, "records\r\n");
  testutil::WriteBytes(target, "old\r\n");
  const FileState merged = ReadAll(part);

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
  EXPECT_EQ(file.failure().reason, FailureOf("", "can't be replaced", SystemError::Of(EACCES)).reason);
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
  Result<std::optional<FileState>> gone = StateAt(path);
  ASSERT_TRUE(gone.ok());
  EXPECT_FALSE(gone.value().has_value());

  // The scratch folder's own clean-up does not reach past MAX_PATH: take the chain down.
  while (folder.size() > dir.root().string().size()) {
    EXPECT_TRUE(RemoveDirectoryW((L"\\\\?\\" + WideFromNarrow(folder)).c_str())) << folder;
    folder.resize(folder.rfind('\\'));
  }
}

// A file open in a viewer, even one that shares everything, fails a replace with access
// denied, as a write-protected file does: the report says which it is.
TEST(WindowsFileSystemTest, AnOutputOpenInAViewerIsReportedAsInUse) {
  testutil::ScratchDir dir;
  const std::string target = dir.Path("merged.txt");
  testutil::WriteBytes(target, "old\r\n");
  OtherProgram viewer(target, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(viewer.ok());
  const Folder folder = dir.OpenFolder();
  Result<TextOutput> output = TextOutput::Create(folder, target);
  ASSERT_TRUE(output.ok()) << output.failure().reason;
  ASSERT_TRUE(output.value().WriteOnDisk("new\r\n").ok());
  Outcome committed = output.value().Commit();
  ASSERT_FALSE(committed.ok()) << "replaced under the viewer";
  EXPECT_EQ(committed.failure().reason, "can't be replaced: in use by another program");
  viewer.Close();
  EXPECT_EQ(testutil::ReadBytes(target), "old\r\n");
  EXPECT_TRUE(testutil::TemporaryFilesIn(dir.root()).empty());
}

// The written file can never be the busy one when it is renamed into place: the run's own
// handle holds it with DELETE access from its creation on, so another program (a virus
// scanner) can open it only sharing its deletion, and such an open does not stop the rename.
TEST(WindowsFileSystemTest, AScannerCanHoldTheWrittenFileOnlyAsARenameAllows) {
  testutil::ScratchDir dir;
  const std::string target = dir.Path("merged.txt");
  testutil::WriteBytes(target, "old\r\n");
  const Folder folder = dir.OpenFolder();
  Result<TextOutput> output = TextOutput::Create(folder, target);
  ASSERT_TRUE(output.ok()) << output.failure().reason;
  ASSERT_TRUE(output.value().WriteOnDisk("new\r\n").ok());
  const std::vector<std::string> written = testutil::TemporaryFilesIn(dir.root());
  ASSERT_EQ(written.size(), 1u);
  OtherProgram blocking(dir.Path(written[0]), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_FALSE(blocking.ok()) << "opened without sharing the deletion that the run holds";
  OtherProgram scanner(dir.Path(written[0]), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(scanner.ok());
  Outcome committed = output.value().Commit();
  EXPECT_TRUE(committed.ok()) << committed.failure().reason;
  scanner.Close();
  EXPECT_EQ(testutil::ReadBytes(target), "new\r\n");
  EXPECT_TRUE(testutil::TemporaryFilesIn(dir.root()).empty());
}

// A code without an errno equivalent reads as the system's own words and its number, never
// as "Permission denied".
TEST(WindowsFileSystemTest, AnErrorOutsideTheTableIsGivenInTheSystemsWords) {
  for (DWORD code : {DWORD{ERROR_GEN_FAILURE}, DWORD{ERROR_DEV_NOT_EXIST}, DWORD{ERROR_CANT_RESOLVE_FILENAME}}) {
    const std::string words = SystemError::FromSystem(code).Words();
    SCOPED_TRACE(words);
    EXPECT_NE(words.find("(Windows error " + std::to_string(code) + ")"), std::string::npos);
    EXPECT_EQ(words.find("Permission denied"), std::string::npos);
    EXPECT_GT(words.size(), std::string("(Windows error 31)").size()) << "the system's text is missing";
  }
  EXPECT_EQ(SystemError::FromSystem(ERROR_ACCESS_DENIED).Words(), "Permission denied");
  EXPECT_EQ(SystemError::FromSystem(ERROR_SHARING_VIOLATION).Words(), "in use by another program");
}

// A part that a previewer holds, sharing its deletion, must not be left "delete pending":
// where the system refuses the POSIX deletion (Wine, FAT, older Windows), it stays, and the
// report says so.
TEST(WindowsFileSystemTest, APartThatAReaderHoldsIsNeverLeftPendingDeletion) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("part.txt");
  testutil::WriteBytes(path, "records\r\n");
  const FileState merged = ReadAll(path);
  OtherProgram previewer(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_TRUE(previewer.ok());
  const RemovalResult result = RemoveFileIfUnchanged(dir.OpenFolder(), path, merged);
  previewer.Close();
  Result<std::optional<FileState>> left = StateAt(path);
  ASSERT_TRUE(left.ok());
  if (result.removal == Removal::kRemoved) {
    EXPECT_FALSE(left.value().has_value()) << "reported deleted, but it is still there";
  } else {
    EXPECT_EQ(result.removal, Removal::kKept);
    EXPECT_EQ(result.why, "in use by another program");
    EXPECT_EQ(testutil::ReadBytes(path), "records\r\n") << "kept, and under its own name";
  }
  EXPECT_TRUE(testutil::TemporaryFilesIn(dir.root()).empty());
}

TEST(WindowsFileSystemTest, AReplacedOutputKeepsItsHiddenAndSystemAttributes) {
  testutil::ScratchDir dir;
  const std::string target = dir.Path("sorted.txt");
  testutil::WriteBytes(target, "old\r\n");
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  ASSERT_TRUE(SetFileAttributesW(WideFromNarrow(target).c_str(), kept));
  const Folder folder = dir.OpenFolder();
  Result<TextOutput> output = TextOutput::Create(folder, target);
  ASSERT_TRUE(output.ok()) << output.failure().reason;
  ASSERT_TRUE(output.value().WriteOnDisk("new\r\n").ok());
  ASSERT_TRUE(output.value().Commit().ok());
  EXPECT_EQ(testutil::ReadBytes(target), "new\r\n");
  EXPECT_EQ(GetFileAttributesW(WideFromNarrow(target).c_str()) & kept, kept);
  SetFileAttributesW(WideFromNarrow(target).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(LongPathOfTest, GivesEveryFullPathItsLongFormOnce) {
  struct Case {
    const wchar_t* full;
    const wchar_t* longForm;
  };
  const Case cases[] = {
      {L"C:\\run\\ACQ\\data.txt", L"\\\\?\\C:\\run\\ACQ\\data.txt"},
      {L"\\\\server\\share\\ACQ\\data.txt", L"\\\\?\\UNC\\server\\share\\ACQ\\data.txt"},
      {L"\\\\?\\C:\\run\\ACQ\\data.txt", L"\\\\?\\C:\\run\\ACQ\\data.txt"},
      {L"\\\\?\\UNC\\server\\share\\data.txt", L"\\\\?\\UNC\\server\\share\\data.txt"},
      {L"\\\\.\\COM1", L"\\\\.\\COM1"},
  };
  for (const Case& c : cases) EXPECT_EQ(LongPathOf(c.full), c.longForm);
}

}  // namespace
}  // namespace acqsort
