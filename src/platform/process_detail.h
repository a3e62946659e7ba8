#pragma once

// The system calls behind the undo registry of platform/process.cpp, implemented once per
// platform; not for use outside the process layer.

#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace acqsort::detail {

// A file's name as the system takes it, prepared before the step that an interrupt may
// have to undo, in memory of its own: the handler then does nothing but the call.
struct PreparedName {
  intptr_t folder = -1;  // POSIX: the folder's descriptor; unused on Windows
  // The name (POSIX) or the full long path (Windows, UTF-16, up to 32,767 units), ended by
  // a zero character of the platform's width.
  alignas(8) char text[65540];
};

// False when the name can't be prepared (it does not fit): nothing is then registered.
bool PrepareName(const Folder& folder, const std::string& name, PreparedName& prepared);

// Called by the handler of an interrupt, so with only the calls that are safe there.
void RemoveNow(const PreparedName& name);
// Never over a file that has taken the name `to` meanwhile.
void RenameBackNow(const PreparedName& from, const PreparedName& to);

// Undoes the step registered last; the handler of an interrupt calls it while interrupts
// are held back, so that no registration is under way.
void UndoRegisteredStep();

}  // namespace acqsort::detail
