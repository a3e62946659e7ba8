#include <signal.h>

#include <initializer_list>

#include "platform/process.h"

namespace acqsort {

void KeepSignalsFromEndingTheRun() {
  for (int signal : {SIGPIPE, SIGXFSZ, SIGIO}) ::signal(signal, SIG_IGN);
}

}  // namespace acqsort
