// System errors on Windows: the one mapping from the system's codes to the errno values
// whose words the report uses on every platform, and the system's own words for the rest.

#include "platform/system_error.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace acqsort {

namespace {

// The errno value with the meaning of the system error code `error`, or 0.
int ErrnoFromSystemError(unsigned long error) {
  switch (error) {
    // Only these mean absence: a share that went away (ERROR_BAD_NETPATH,
    // ERROR_NETNAME_DELETED) or a name Windows can't take keeps the system's own words.
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_CURRENT_DIRECTORY:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EBUSY;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return EEXIST;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_NO_DATA:
    case ERROR_BROKEN_PIPE:
      return EPIPE;
    default:
      return 0;
  }
}

}  // namespace

SystemError SystemError::FromSystem(unsigned long code) {
  return SystemError(ErrnoFromSystemError(code), code);
}

std::string SystemError::Words() const {
  // EBUSY stands for a file that another program holds open: a sharing or lock violation.
  if (meaning_ == EBUSY) return "in use by another program";
  if (meaning_ != 0) return std::strerror(meaning_);
  const DWORD code = static_cast<DWORD>(code_);
  const std::string number = "Windows error " + std::to_string(code);
  // In US English, as every other word of the report, where the system has the text in it;
  // else in the language Windows chooses.
  wchar_t* text = nullptr;
  DWORD length = 0;
  for (const DWORD language : {DWORD{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}, DWORD{0}}) {
    length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                            nullptr, code, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length > 0) break;
  }
  std::string words;
  if (length > 0 && text != nullptr) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    words.resize(static_cast<size_t>(size > 0 ? size : 0));
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), words.data(), size, nullptr, nullptr);
  }
  if (text != nullptr) LocalFree(text);
  while (!words.empty() && (words.back() == ' ' || words.back() == '\r' || words.back() == '\n')) words.pop_back();
  return words.empty() ? number : words + " (" + number + ")";
}

}  // namespace acqsort
