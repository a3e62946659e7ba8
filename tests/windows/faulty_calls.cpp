// Linked into acqsort_faulty.exe only, never into the shipped acqsort.exe: before main()
// runs, it puts a wrapper in every slot of the Win32 call table. Counting every call made
// through the table from 1, the wrapper fails the call numbered ACQSORT_FAIL_CALL with the
// system error code ACQSORT_FAIL_ERROR, as real Windows would fail it (the call's own
// failure value, the code for GetLastError), or, when ACQSORT_FAIL_ERROR is "kill", ends
// the process right there with status 137, or, when it is "interrupt", makes the call and
// then runs the tool's console control handler for Ctrl+C on a thread of its own, as
// Windows would. The name of the call it struck is written to the file
// ACQSORT_FAIL_REPORT, so that the test knows how far the run got.
//
// With ACQSORT_FILE_IDS_BY_NAME set, every file's ID is made from its current full name, as
// FAT makes it from the place of its directory entry, so that a rename can change it; and no
// 128-bit ID is given, as on FAT.

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "platform/win32_calls.h"

namespace acqsort {
BOOL WINAPI OnConsoleControl(DWORD event);  // platform/process_windows.cpp
}  // namespace acqsort

namespace {

long target = 0;  // 0: no call is struck
DWORD code = 0;
bool kill = false;
bool interrupt = false;

DWORD WINAPI ControlC(LPVOID) { return acqsort::OnConsoleControl(CTRL_C_EVENT); }
long count = 0;
wchar_t report[MAX_PATH];

bool Strikes(const char* name) {
  if (target == 0 || ++count != target) return false;
  // The report through the system's own calls, not the table's.
  HANDLE file = ::CreateFileW(report, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(file, name, static_cast<DWORD>(std::strlen(name)), &written, nullptr);
    ::CloseHandle(file);
  }
  if (kill) ::TerminateProcess(::GetCurrentProcess(), 137);
  return !interrupt;
}

// Ctrl+C right after the struck call returned. The handler ends the process, at once or,
// while the run holds its registry (a file created or renamed and not yet registered), as
// soon as the run lets go of it.
void InterruptAfter(long call) {
  if (!interrupt || call != target) return;
  const DWORD error = ::GetLastError();
  HANDLE thread = ::CreateThread(nullptr, 0, ControlC, nullptr, 0, nullptr);
  if (thread != nullptr) {
    ::WaitForSingleObject(thread, 500);
    ::CloseHandle(thread);
  }
  ::SetLastError(error);
}

template <typename F>
struct Wrapper;

template <typename R, typename... A>
struct Wrapper<R(WINAPI*)(A...)> {
  template <int I>
  struct Slot {
    static inline R(WINAPI* real)(A...) = nullptr;
    static inline R failure{};
    static inline const char* name = "";
    static inline bool returnsCode = false;  // the error is the result (GetNamedSecurityInfoW)
    static inline bool doneAnyway = false;   // the call is made, then reported failed (CloseHandle)

    static R WINAPI Call(A... args) {
      if (Strikes(name)) {
        if (doneAnyway) (void)real(args...);
        ::SetLastError(code);
        if constexpr (std::is_integral_v<R>) {
          if (returnsCode) return static_cast<R>(code);
        }
        return failure;
      }
      const long call = count;
      if constexpr (std::is_void_v<R>) {
        real(args...);
        InterruptAfter(call);
      } else {
        const R result = real(args...);
        InterruptAfter(call);
        return result;
      }
    }
  };
};

enum class Kind { kFails, kReturnsCode, kDoneAnyway };

template <int I, typename F, typename R>
void Install(F& slot, R failure, const char* name, Kind kind = Kind::kFails) {
  using S = typename Wrapper<F>::template Slot<I>;
  S::real = slot;
  S::failure = failure;
  S::name = name;
  S::returnsCode = kind == Kind::kReturnsCode;
  S::doneAnyway = kind == Kind::kDoneAnyway;
  slot = &S::Call;
}

decltype(&::GetFileInformationByHandle) realInformation = nullptr;
decltype(&::GetFileInformationByHandleEx) realInformationEx = nullptr;

BOOL WINAPI InformationByName(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION information) {
  if (!realInformation(handle, information)) return FALSE;
  wchar_t path[1024];
  const DWORD length = ::GetFinalPathNameByHandleW(handle, path, 1024, 0);
  uint64_t id = 14695981039346656037ull;  // FNV-1a of the name
  for (DWORD i = 0; i < length && i < 1024; ++i) id = (id ^ path[i]) * 1099511628211ull;
  information->nFileIndexHigh = static_cast<DWORD>(id >> 32);
  information->nFileIndexLow = static_cast<DWORD>(id);
  return TRUE;
}

BOOL WINAPI InformationExByName(HANDLE handle, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID buffer, DWORD size) {
  if (kind == static_cast<FILE_INFO_BY_HANDLE_CLASS>(18)) {  // FileIdInfo: none on FAT
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return realInformationEx(handle, kind, buffer, size);
}

bool InstallIdsByName() {
  char value[8];
  if (::GetEnvironmentVariableA("ACQSORT_FILE_IDS_BY_NAME", value, sizeof value) == 0) return false;
  acqsort::Win32Calls& calls = acqsort::Win32();
  realInformation = calls.GetFileInformationByHandle;
  realInformationEx = calls.GetFileInformationByHandleEx;
  calls.GetFileInformationByHandle = &InformationByName;
  calls.GetFileInformationByHandleEx = &InformationExByName;
  return true;
}

bool InstallFaults() {
  char value[64];
  if (::GetEnvironmentVariableA("ACQSORT_FAIL_CALL", value, sizeof value) == 0) return false;
  target = std::atol(value);
  if (::GetEnvironmentVariableA("ACQSORT_FAIL_ERROR", value, sizeof value) == 0) return false;
  kill = std::strcmp(value, "kill") == 0;
  interrupt = std::strcmp(value, "interrupt") == 0;
  code = kill || interrupt ? 0 : static_cast<DWORD>(std::strtoul(value, nullptr, 10));
  if (::GetEnvironmentVariableW(L"ACQSORT_FAIL_REPORT", report, MAX_PATH) == 0) return false;

  acqsort::Win32Calls& calls = acqsort::Win32();
  Install<1>(calls.CreateFileW, INVALID_HANDLE_VALUE, "CreateFileW");
  Install<2>(calls.ReadFile, FALSE, "ReadFile");
  Install<3>(calls.WriteFile, FALSE, "WriteFile");
  Install<4>(calls.FlushFileBuffers, FALSE, "FlushFileBuffers");
  // A handle that fails to close is closed all the same: the error only reports what a
  // write-behind met (a network file), and the handle is gone.
  Install<5>(calls.CloseHandle, FALSE, "CloseHandle", Kind::kDoneAnyway);
  Install<6>(calls.GetFileInformationByHandle, FALSE, "GetFileInformationByHandle");
  Install<7>(calls.GetFileInformationByHandleEx, FALSE, "GetFileInformationByHandleEx");
  Install<8>(calls.SetFileInformationByHandle, FALSE, "SetFileInformationByHandle");
  Install<9>(calls.GetFileSizeEx, FALSE, "GetFileSizeEx");
  Install<10>(calls.GetFileType, DWORD{FILE_TYPE_UNKNOWN}, "GetFileType");
  Install<11>(calls.GetFileAttributesW, DWORD{INVALID_FILE_ATTRIBUTES}, "GetFileAttributesW");
  Install<12>(calls.DeleteFileW, FALSE, "DeleteFileW");
  Install<13>(calls.MoveFileExW, FALSE, "MoveFileExW");
  Install<14>(calls.CreateFileMappingW, HANDLE{nullptr}, "CreateFileMappingW");
  Install<15>(calls.MapViewOfFile, LPVOID{nullptr}, "MapViewOfFile");
  Install<16>(calls.GetFullPathNameW, DWORD{0}, "GetFullPathNameW");
  Install<17>(calls.GetNamedSecurityInfoW, DWORD{0}, "GetNamedSecurityInfoW", Kind::kReturnsCode);
  Install<18>(calls.GetStdHandle, INVALID_HANDLE_VALUE, "GetStdHandle");
  Install<19>(calls.GetConsoleMode, FALSE, "GetConsoleMode");
  Install<20>(calls.WriteConsoleW, FALSE, "WriteConsoleW");
  return true;
}

// The IDs first, so that a fault can strike the calls that give them too.
const bool idsByName = InstallIdsByName();
const bool installed = InstallFaults();

}  // namespace
