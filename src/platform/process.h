#pragma once

namespace acqsort {

// Keeps the signals whose default would end the run halfway, with a temporary file left and
// no error line, from doing so: a reader of the report that quit early (SIGPIPE), a file
// size limit (SIGXFSZ), and the note that another program opened a part while its removal
// held it (SIGIO). The system call that met the cause then fails, and the run reports it.
void KeepSignalsFromEndingTheRun();

}  // namespace acqsort
