#include <windows.h>

#include <string>

#include "platform/process.h"
#include "platform/windows_text.h"

namespace acqsort {

namespace {

// The one step that an interrupt undoes. The console control handler runs on a thread of
// its own, which Windows starts for the event, while the run goes on: the state is changed
// and read only under one lock, which the handler keeps until it has ended the process, so
// that it never sees a name half written or a step changing under it. The names are full
// and long (\\?\...), prepared before the step: the handler does no work but the undoing.
//
//   kNothing     nothing of the run's to undo
//   kRemove      undoName is a temporary file the run is writing: deleted
//   kRenameBack  undoName is a file set aside for its removal: renamed back to undoBack,
//                never over a file that took that name meanwhile
enum Undo : int { kNothing, kRemove, kRenameBack };

struct Registry {
  CRITICAL_SECTION lock;
  Undo undo = kNothing;
  std::wstring undoName;
  std::wstring undoBack;
  Registry() { InitializeCriticalSection(&lock); }
};

Registry& TheRegistry() {
  static Registry registry;  // made on first use, by the run, before any handler can run
  return registry;
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
  Registry& registry = TheRegistry();
  EnterCriticalSection(&registry.lock);  // waits while the run changes a step and its record
  if (registry.undo == kRemove) {
    // The tool's own handle shares deletion: the file goes when this process ends.
    DeleteFileW(registry.undoName.c_str());
  } else if (registry.undo == kRenameBack) {
    MoveFileExW(registry.undoName.c_str(), registry.undoBack.c_str(), MOVEFILE_WRITE_THROUGH);
  }
  // Ended here, with the lock held, as Windows would end it for the event: the run must not
  // go on past the step that was just undone.
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;
}

namespace {

void Register(Undo undo, std::wstring name, std::wstring back) {
  Registry& registry = TheRegistry();
  EnterCriticalSection(&registry.lock);
  registry.undo = undo;
  registry.undoName = std::move(name);
  registry.undoBack = std::move(back);
  LeaveCriticalSection(&registry.lock);
}

}  // namespace

// Windows has no SIGPIPE or SIGXFSZ: a broken pipe or a full disk fails the call that met it.
void KeepSignalsFromEndingTheRun() {
  (void)TheRegistry();
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void OnInterruptRemove(const Folder& folder, const std::string& name) {
  Register(kRemove, NativePath(folder.PathOf(name)), std::wstring());
}

void OnInterruptRenameBack(const Folder& folder, const std::string& aside, const std::string& name) {
  Register(kRenameBack, NativePath(folder.PathOf(aside)), NativePath(folder.PathOf(name)));
}

void OnInterruptDoNothing() { Register(kNothing, std::wstring(), std::wstring()); }

// The lock of the registry is reentrant for the thread that holds it: the run registers
// while it holds interrupts back.
InterruptsHeldBack::InterruptsHeldBack() { EnterCriticalSection(&TheRegistry().lock); }

InterruptsHeldBack::~InterruptsHeldBack() { LeaveCriticalSection(&TheRegistry().lock); }

}  // namespace acqsort
