// Signals on POSIX platforms: an interrupt undoes the registered step in its handler, with
// async-signal-safe calls only, and then ends the process as the signal would have.

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "platform/process.h"
#include "platform/process_detail.h"

namespace acqsort {

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

void OnInterrupt(int signal) {
  detail::UndoRegisteredStep();
  // As the signal would have ended the process: the caller sees its conventional status.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

SystemStatus InstallSignalHandlers() {
  for (int signal : {SIGPIPE, SIGXFSZ, SIGIO}) {
    if (::signal(signal, SIG_IGN) == SIG_ERR) return SystemError::FromSystem(errno);
  }
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // One interrupt at a time: a second one waits until the first has undone its step.
  for (int signal : kInterrupts) sigaddset(&action.sa_mask, signal);
  for (int signal : kInterrupts) {
    // An interrupt that the caller ignores (nohup, a background job) stays ignored.
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    if (::sigaction(signal, &action, nullptr) != 0) return SystemError::FromSystem(errno);
  }
  return {};
}

namespace detail {

bool PrepareName(const Folder& folder, const std::string& name, PreparedName& prepared) {
  if (name.size() >= sizeof prepared.text) return false;
  prepared.folder = folder.handle();
  std::memcpy(prepared.text, name.c_str(), name.size() + 1);
  return true;
}

void RemoveNow(const PreparedName& name) {
  ::unlinkat(static_cast<int>(name.folder), name.text, 0);
}

void RenameBackNow(const PreparedName& from, const PreparedName& to) {
  ::renameat2(static_cast<int>(from.folder), from.text, static_cast<int>(to.folder), to.text,
              RENAME_NOREPLACE);
}

}  // namespace detail

InterruptsHeldBack::InterruptsHeldBack() {
  static_assert(sizeof(sigset_t) <= sizeof saved_, "the signal mask must fit");
  sigset_t interrupts;
  sigemptyset(&interrupts);
  for (int signal : kInterrupts) sigaddset(&interrupts, signal);
  // Should the mask not be changed, interrupts are not held back, as before this object.
  if (::pthread_sigmask(SIG_BLOCK, &interrupts, reinterpret_cast<sigset_t*>(saved_)) != 0) {
    sigemptyset(reinterpret_cast<sigset_t*>(saved_));
  }
}

InterruptsHeldBack::~InterruptsHeldBack() {
  // A held-back interrupt is delivered here, to the handler, with the registration done.
  ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(saved_), nullptr);
}

}  // namespace acqsort
