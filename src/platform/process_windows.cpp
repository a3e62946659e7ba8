#include <windows.h>

#include <atomic>
#include <string>

#include "platform/process.h"
#include "platform/windows_text.h"

namespace acqsort {

namespace {

// What the console control handler undoes. It runs on a thread of its own, which Windows
// starts for the event; the kind is set last and cleared first, so that it never reads
// names half written.
enum Undo : int { kNothing, kRemove, kRenameBack };
std::atomic<int> undo{kNothing};
std::wstring undoName;
std::wstring undoBack;

std::wstring InFolder(const Folder& folder, const std::string& name) {
  return WideFromNarrow(folder.PathOf(name));
}

BOOL WINAPI OnControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  const int step = undo.exchange(kNothing);
  if (step == kRemove) {
    // The tool's own handle shares deletion: the file goes when the process ends and that
    // handle closes.
    DeleteFileW(undoName.c_str());
  } else if (step == kRenameBack) {
    MoveFileExW(undoName.c_str(), undoBack.c_str(), MOVEFILE_WRITE_THROUGH);
  }
  // Not handled: Windows ends the process as for the event (STATUS_CONTROL_C_EXIT).
  return FALSE;
}

}  // namespace

// Windows has no SIGPIPE or SIGXFSZ: a broken pipe or a full disk fails the call that met it.
void KeepSignalsFromEndingTheRun() { SetConsoleCtrlHandler(OnControl, TRUE); }

void OnInterruptRemove(const Folder& folder, const std::string& name) {
  undo = kNothing;
  undoName = InFolder(folder, name);
  undo = kRemove;
}

void OnInterruptRenameBack(const Folder& folder, const std::string& aside, const std::string& name) {
  undo = kNothing;
  undoName = InFolder(folder, aside);
  undoBack = InFolder(folder, name);
  undo = kRenameBack;
}

void OnInterruptDoNothing() { undo = kNothing; }

}  // namespace acqsort
