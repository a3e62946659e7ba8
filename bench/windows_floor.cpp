// The floor for the Windows build: what a run can't do without, on the same Win32 calls and
// under the same Wine. Started in the benchmark's working directory, it copies the ACQ file's
// bytes to the sorted file and the three parts' bytes to the merged file, each into a
// temporary file that is flushed, renamed into place through its handle and flushed again,
// then deletes the parts. No sorting, no newline rule, no checks: only the copying and the
// durability that the tool must also pay for.

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool Append(HANDLE to, const wchar_t* from, std::vector<char>& buffer) {
  HANDLE in = CreateFileW(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  DWORD read = 0;
  bool ok = true;
  while (ok && ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0) {
    DWORD written = 0;
    ok = WriteFile(to, buffer.data(), read, &written, nullptr) && written == read;
  }
  CloseHandle(in);
  return ok;
}

bool Output(const wchar_t* temporary, const wchar_t* target, const std::vector<const wchar_t*>& inputs,
            std::vector<char>& buffer) {
  HANDLE out = CreateFileW(temporary, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  for (const wchar_t* input : inputs) ok = ok && Append(out, input, buffer);
  ok = ok && FlushFileBuffers(out);
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(target, MAX_PATH, full, nullptr);
  std::string rename(offsetof(FILE_RENAME_INFO, FileName) + (length + 1) * sizeof(wchar_t), '\0');
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(rename.data());
  info->ReplaceIfExists = TRUE;
  info->FileNameLength = length * sizeof(wchar_t);
  std::memcpy(info->FileName, full, length * sizeof(wchar_t));
  ok = ok && SetFileInformationByHandle(out, FileRenameInfo, info, static_cast<DWORD>(rename.size()));
  ok = ok && FlushFileBuffers(out);
  CloseHandle(out);
  return ok;
}

}  // namespace

int main() {
  std::vector<char> buffer(std::size_t{1} << 20);
  const bool ok =
      Output(L"ACQ\\floor-0.tmp", L"ACQ\\dataR.txt", {L"ACQ\\data.txt"}, buffer) &&
      Output(L"ACQ\\floor-1.tmp", L"ACQ\\dataINF.txt",
             {L"ACQ\\dataINF1.txt", L"ACQ\\dataINF2.txt", L"ACQ\\dataINF3.txt"}, buffer) &&
      DeleteFileW(L"ACQ\\dataINF1.txt") && DeleteFileW(L"ACQ\\dataINF2.txt") &&
      DeleteFileW(L"ACQ\\dataINF3.txt");
  return ok ? 0 : 1;
}
