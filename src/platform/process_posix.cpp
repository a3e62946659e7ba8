#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

#include "platform/process.h"

namespace acqsort {

namespace {

// What the handler undoes; only async-signal-safe calls touch it there. The kind is set
// last and cleared first, so that the handler never reads names half written.
enum Undo : int { kNothing, kRemove, kRenameBack };
volatile sig_atomic_t undo = kNothing;
int undoFolder = -1;
char undoName[512];
char undoBack[512];

void OnInterrupt(int signal) {
  if (undo == kRemove) {
    ::unlinkat(undoFolder, undoName, 0);
  } else if (undo == kRenameBack) {
    ::renameat2(undoFolder, undoName, undoFolder, undoBack, RENAME_NOREPLACE);
  }
  // As the signal would have ended the process: the caller sees its conventional status.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

bool Copy(const std::string& from, char (&to)[512]) {
  if (from.size() >= sizeof to) return false;
  std::memcpy(to, from.c_str(), from.size() + 1);
  return true;
}

}  // namespace

void KeepSignalsFromEndingTheRun() {
  for (int signal : {SIGPIPE, SIGXFSZ, SIGIO}) ::signal(signal, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // One interrupt at a time: a second one waits until the first has undone its step.
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // An interrupt that the caller ignores (nohup, a background job) stays ignored.
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

void OnInterruptRemove(const Folder& folder, const std::string& name) {
  undo = kNothing;
  undoFolder = static_cast<int>(folder.handle());
  if (Copy(name, undoName)) undo = kRemove;
}

void OnInterruptRenameBack(const Folder& folder, const std::string& aside, const std::string& name) {
  undo = kNothing;
  undoFolder = static_cast<int>(folder.handle());
  if (Copy(aside, undoName) && Copy(name, undoBack)) undo = kRenameBack;
}

void OnInterruptDoNothing() { undo = kNothing; }

InterruptsHeldBack::InterruptsHeldBack() {
  static_assert(sizeof(sigset_t) <= sizeof saved_, "the signal mask must fit");
  sigset_t interrupts;
  sigemptyset(&interrupts);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interrupts, signal);
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
