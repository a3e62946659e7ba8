// Standard output and standard error on Windows: CR LF newlines. A console gets wide text,
// so that names in any characters show as they are; a file or a pipe gets the bytes.

#include <windows.h>

#include <cerrno>
#include <string>

#include "platform/console_detail.h"
#include "text/newlines.h"
#include "platform/win32_calls.h"
#include "platform/windows_text.h"

namespace acqsort {

namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return Win32().GetConsoleMode(handle, &mode) != 0;
}

// Writes all of `text`.
SystemStatus WriteAll(HANDLE handle, const std::string& text) {
  if (IsConsole(handle)) {
    std::wstring wide = WideFromNarrow(text);
    const wchar_t* data = wide.data();
    size_t size = wide.size();
    while (size > 0) {
      DWORD chunk = size > 16384 ? 16384 : static_cast<DWORD>(size);
      // A chunk never ends between the two halves of a surrogate pair.
      if (chunk < size && data[chunk - 1] >= 0xD800 && data[chunk - 1] <= 0xDBFF) --chunk;
      DWORD written = 0;
      if (!Win32().WriteConsoleW(handle, data, chunk, &written, nullptr)) return SystemError::FromSystem(GetLastError());
      // Success without progress sets no error code: one of its own, not a stale one.
      if (written == 0) return SystemError::FromSystem(ERROR_WRITE_FAULT);
      data += written;
      size -= written;
    }
    return {};
  }
  const char* data = text.data();
  size_t size = text.size();
  while (size > 0) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!Win32().WriteFile(handle, data, chunk, &written, nullptr)) return SystemError::FromSystem(GetLastError());
    if (written == 0) return SystemError::FromSystem(ERROR_HANDLE_DISK_FULL);
    data += written;
    size -= written;
  }
  return {};
}

// `line` and its end, every newline as CR LF, as a text-mode stream writes them: the banner
// holds a newline of its own.
std::string WithCrLf(std::string_view line) {
  std::string text;
  AppendWithCrLf(line, text);
  text.append(kNewlineOnDisk);
  return text;
}

}  // namespace

namespace detail {

SystemStatus WriteLineTo(StandardStream stream, std::string_view line) {
  HANDLE handle = Win32().GetStdHandle(stream == StandardStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  // Started without the stream (a detached process): nobody to tell.
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return SystemError::Of(EBADF);
  return WriteAll(handle, WithCrLf(line));
}

}  // namespace detail

}  // namespace acqsort
