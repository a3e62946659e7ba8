// Console control events on Windows: the handler, which Windows runs on a thread of its own
// while the run goes on, undoes the registered step under the lock of the registry and ends
// the process itself, so that the run never goes on past the step that was undone.

#include <windows.h>

#include <cstring>
#include <string>

#include "platform/process.h"
#include "platform/process_detail.h"
#include "platform/windows_text.h"

namespace acqsort {

namespace {

// The registry's lock: held by the run while it registers a step (InterruptsHeldBack), and
// by the handler from before it reads the registry until the process has ended.
CRITICAL_SECTION& RegistryLock() {
  static CRITICAL_SECTION* lock = [] {
    static CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    return &section;
  }();  // made on first use, by the run, before any handler can run
  return *lock;
}

}  // namespace

// Not static: the Windows suite calls it on a thread of its own, as Windows would, at every
// Win32 call of a run (tests/windows/faulty_calls.cpp).
BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    case CTRL_LOGOFF_EVENT:
      // Sent only to a program without a console of the user's own (a scheduled task, a
      // service) when any user logs off: it is no reason to end the run.
      return TRUE;
    default:
      return FALSE;
  }
  EnterCriticalSection(&RegistryLock());  // waits while the run registers a step
  detail::UndoRegisteredStep();
  // Ended here, with the lock held, as Windows would end it for the event.
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;
}

// Windows has no SIGPIPE or SIGXFSZ: a broken pipe or a full disk fails the call that met it.
SystemStatus InstallSignalHandlers() {
  (void)RegistryLock();
  if (!SetConsoleCtrlHandler(OnConsoleControl, TRUE)) return SystemError::FromSystem(GetLastError());
  return {};
}

namespace detail {

bool PrepareName(const Folder& folder, const std::string& name, PreparedName& prepared) {
  const std::wstring path = NativePath(folder.PathOf(name));
  const size_t bytes = (path.size() + 1) * sizeof(wchar_t);
  if (bytes > sizeof prepared.text) return false;
  std::memcpy(prepared.text, path.c_str(), bytes);
  return true;
}

void RemoveNow(const PreparedName& name) {
  // The run's own handle shares deletion: the file goes when this process ends.
  DeleteFileW(reinterpret_cast<const wchar_t*>(name.text));
}

void RenameBackNow(const PreparedName& from, const PreparedName& to) {
  MoveFileExW(reinterpret_cast<const wchar_t*>(from.text), reinterpret_cast<const wchar_t*>(to.text),
              MOVEFILE_WRITE_THROUGH);
}

}  // namespace detail

// The lock is reentrant for the thread that holds it: the run registers while it holds
// interrupts back.
InterruptsHeldBack::InterruptsHeldBack() { EnterCriticalSection(&RegistryLock()); }

InterruptsHeldBack::~InterruptsHeldBack() { LeaveCriticalSection(&RegistryLock()); }

}  // namespace acqsort
