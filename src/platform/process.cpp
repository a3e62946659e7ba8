// The undo registry: the one step that an interrupt must undo, the same on every platform.
//
//   kNothing     nothing of the run's to undo
//   kRemove      `name` is a temporary file that the run is writing: it is removed
//   kRenameBack  `name` is a file set aside for its removal: it is renamed back to `back`,
//                never over a file that has taken that name meanwhile
//
// The registry changes only while interrupts are held back (a blocked signal on POSIX; on
// Windows the lock that the handler takes first), and the handler reads it only then: it
// never meets a step half registered. The kind is also cleared first and set last, so that
// a name that can't be prepared leaves kNothing.

#include <csignal>

#include "platform/process.h"
#include "platform/process_detail.h"

namespace acqsort {

namespace {

enum Undo : int { kNothing, kRemove, kRenameBack };

volatile std::sig_atomic_t undo = kNothing;
detail::PreparedName name;
detail::PreparedName back;

}  // namespace

void OnInterruptRemove(const Folder& folder, const std::string& file) {
  InterruptsHeldBack held;
  undo = kNothing;
  if (detail::PrepareName(folder, file, name)) undo = kRemove;
}

void OnInterruptRenameBack(const Folder& folder, const std::string& aside, const std::string& file) {
  InterruptsHeldBack held;
  undo = kNothing;
  if (detail::PrepareName(folder, aside, name) && detail::PrepareName(folder, file, back)) undo = kRenameBack;
}

void OnInterruptDoNothing() {
  InterruptsHeldBack held;
  undo = kNothing;
}

namespace detail {

void UndoRegisteredStep() {
  if (undo == kRemove) {
    RemoveNow(name);
  } else if (undo == kRenameBack) {
    RenameBackNow(name, back);
  }
  undo = kNothing;
}

}  // namespace detail

}  // namespace acqsort
