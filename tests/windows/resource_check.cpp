// Reads the version resource and the application manifest back from a built acqsort.exe, the
// way Explorer and the Windows loader see them, and fails unless both say what they should.
//   resource_check <exe> <major.minor.patch>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int failures = 0;

void Expect(bool condition, const std::string& what) {
  std::printf("%s: %s\n", condition ? "ok" : "FAILED", what.c_str());
  if (!condition) ++failures;
}

std::string Narrow(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
  narrow.resize(static_cast<size_t>(size) - 1);
  return narrow;
}

std::string StringValue(std::vector<char>& info, const wchar_t* name) {
  std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) ||
      length == 0) {
    return std::string();
  }
  return Narrow(value);
}

void CheckVersion(const std::wstring& exe, const std::string& version) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  Expect(size > 0, "the executable has a version resource");
  if (size == 0) return;
  std::vector<char> info(size);
  Expect(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()) != 0, "the version resource reads");

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS));
    Expect(numbers == version, "the file version number is " + std::string(numbers));
    std::snprintf(numbers, sizeof numbers, "%u.%u.%u", HIWORD(fixed->dwProductVersionMS),
                  LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS));
    Expect(numbers == version, "the product version number is " + std::string(numbers));
  } else {
    Expect(false, "the version resource has its fixed part");
  }
  Expect(StringValue(info, L"FileVersion") == version,
         "FileVersion is \"" + StringValue(info, L"FileVersion") + "\"");
  Expect(StringValue(info, L"ProductVersion") == version,
         "ProductVersion is \"" + StringValue(info, L"ProductVersion") + "\"");
  Expect(StringValue(info, L"ProductName") == "acqsort",
         "ProductName is \"" + StringValue(info, L"ProductName") + "\"");
  Expect(StringValue(info, L"OriginalFilename") == "acqsort.exe",
         "OriginalFilename is \"" + StringValue(info, L"OriginalFilename") + "\"");
  Expect(!StringValue(info, L"FileDescription").empty(),
         "FileDescription is \"" + StringValue(info, L"FileDescription") + "\"");
}

void CheckManifest(const std::wstring& exe) {
  HMODULE module =
      LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  Expect(module != nullptr, "the executable loads as a resource file");
  if (module == nullptr) return;
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  Expect(found != nullptr, "the executable has an application manifest (RT_MANIFEST 1)");
  if (found != nullptr) {
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    std::string manifest(bytes, SizeofResource(module, found));
    auto holds = [&](const char* text) { return manifest.find(text) != std::string::npos; };
    Expect(holds("longPathAware") && holds(">true</longPathAware>"),
           "the manifest declares longPathAware true");
    Expect(holds("level=\"asInvoker\""), "the manifest asks for asInvoker");
    Expect(holds("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"),
           "the manifest lists Windows 10 and 11 as supported");
  }
  FreeLibrary(module);
}

}  // namespace

int main() {
  // The command line as wide characters: a path with letters outside the ANSI code page
  // would not survive the narrow argv.
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 3) {
    std::fprintf(stderr, "usage: resource_check <exe> <major.minor.patch>\n");
    return 2;
  }
  const std::wstring exe = argv[1];
  CheckVersion(exe, Narrow(argv[2]));
  CheckManifest(exe);
  LocalFree(argv);
  std::printf("%s\n", failures == 0 ? "all resource checks passed" : "resource checks failed");
  return failures == 0 ? 0 : 1;
}
