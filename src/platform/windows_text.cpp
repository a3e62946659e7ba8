#include "platform/windows_text.h"

#include <windows.h>

#include "common/utf8.h"

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

}  // namespace acqsort
