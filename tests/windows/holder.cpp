// Another program that holds a file open, as a viewer, a previewer, a scanner or a logger
// does, for the Windows tests:
//   acqsort_holder <path> <access: r, w or rw> <sharing: any of r, w, d, or ->
// It opens the file, says "held" (or "failed <code>") on standard output, then appends each
// line "write <text>" of its standard input to the file (with CR LF), and closes the file
// and ends when its standard input ends.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 4) {
    std::fprintf(stderr, "usage: acqsort_holder <path> <r|w|rw> <sharing: r w d or ->\n");
    return 2;
  }
  const std::wstring access = argv[2];
  const std::wstring sharing = argv[3];
  DWORD wanted = 0;
  if (access.find(L'r') != std::wstring::npos) wanted |= GENERIC_READ;
  if (access.find(L'w') != std::wstring::npos) wanted |= GENERIC_WRITE;
  DWORD share = 0;
  if (sharing.find(L'r') != std::wstring::npos) share |= FILE_SHARE_READ;
  if (sharing.find(L'w') != std::wstring::npos) share |= FILE_SHARE_WRITE;
  if (sharing.find(L'd') != std::wstring::npos) share |= FILE_SHARE_DELETE;
  HANDLE file = CreateFileW(argv[1], wanted, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("failed %lu\n", GetLastError());
    std::fflush(stdout);
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  char line[4096];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    if (std::strncmp(line, "write ", 6) != 0) continue;
    std::string text(line + 6);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    text += "\r\n";
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
  CloseHandle(file);
  LocalFree(argv);
  return 0;
}
