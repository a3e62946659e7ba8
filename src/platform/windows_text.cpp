#include "platform/windows_text.h"

#include <windows.h>

#include "common/utf8.h"
#include "platform/win32_calls.h"

namespace acqsort {

std::wstring WideFromNarrow(std::string_view text) {
  if (text.empty()) return std::wstring();
  const UINT codePage = IsValidUtf8(text) ? CP_UTF8 : CP_ACP;
  const int size = static_cast<int>(text.size());
  const int wideSize = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(wideSize), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), wideSize);
  return wide;
}

std::wstring LongPathOf(const std::wstring& full) {
  // The long forms first: "\\?\UNC\..." also begins with "\\".
  if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring NativePath(const std::string& path) {
  std::wstring wide = WideFromNarrow(path);
  if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  DWORD size = Win32().GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::wstring full(size, L'\0');
  DWORD length = Win32().GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  return LongPathOf(full);
}

}  // namespace acqsort
