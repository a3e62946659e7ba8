// acqsort: sorts the ACQ file of the working directory by sequence number, merges its three
// part files and removes them. Takes no arguments; any that are given are ignored.

#include "platform/console.h"
#include "run/run_sort.h"

int main() {
  acqsort::StandardOutput console;
  return acqsort::RunSort(console);
}
