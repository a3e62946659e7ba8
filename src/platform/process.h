#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/system_error.h"

namespace acqsort {

// Ignores the signals whose default would end the run halfway, with a temporary file left
// and no error line: a reader of the report that quit early (SIGPIPE), a file size limit
// (SIGXFSZ), and the note that another program opened a part while its removal held it
// (SIGIO). The system call that met the cause then fails, and the run reports it. An
// interrupt (Ctrl-C, SIGTERM, a closed terminal's SIGHUP; on Windows Ctrl+C, Ctrl+Break
// and a closed console window) still ends the run, but only after it has undone the step
// registered below; the process then ends as the interrupt would have ended it. Fails only
// when the system refuses a handler.
SystemStatus InstallSignalHandlers();

// The one step that an interrupt must undo, registered while it is under way: a temporary
// file being written (removed), or a part set aside for its removal (renamed back, unless a
// new file has taken its name). A new registration replaces the last. One registry for every
// platform (process.cpp).
void OnInterruptRemove(const Folder& folder, const std::string& name);
void OnInterruptRenameBack(const Folder& folder, const std::string& aside, const std::string& name);
void OnInterruptDoNothing();

// While an object of this class lives, an interrupt waits: a step on the file system and its
// registration above change together, so that there is no moment at which an interrupt finds
// the file renamed or created but not registered, or registered but already gone. The
// interrupt, if one came, is acted on once the object is gone.
class InterruptsHeldBack {
 public:
  InterruptsHeldBack();
  ~InterruptsHeldBack();
  InterruptsHeldBack(const InterruptsHeldBack&) = delete;
  InterruptsHeldBack& operator=(const InterruptsHeldBack&) = delete;

 private:
  alignas(16) unsigned char saved_[128];  // the platform's own state to restore (POSIX: the signal mask)
};

}  // namespace acqsort
