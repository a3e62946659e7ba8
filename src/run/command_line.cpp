#include "run/command_line.h"

namespace acqsort {

Request RequestOf(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h" || argument == "/?" || argument == "-?") {
      return Request::kHelp;
    }
    if (argument == "--version") return Request::kVersion;
  }
  return Request::kRun;
}

std::vector<std::string> UsageLines(const std::string& version) {
  return {
      "acqsort " + version + ": sorts an acquisition run's ACQ file by sequence number,",
      "merges its three part files and deletes them.",
      "",
      "Usage: acqsort",
      "",
      "Start it without arguments in the working directory that holds the folders",
      "CONFIG and ACQ. One run:",
      "  1. reads CONFIG\\ACQ.config: the ACQ file's name (say data.txt) and the first",
      "     and the last sequence number;",
      "  2. writes the lines of ACQ\\data.txt numbered from the first to the last, in",
      "     the order of their numbers, to ACQ\\dataR.txt;",
      "  3. joins ACQ\\dataINF1.txt, ACQ\\dataINF2.txt and ACQ\\dataINF3.txt, each behind",
      "     a header, into ACQ\\dataINF.txt;",
      "  4. deletes the three part files;",
      "and reports each step on standard output. Warnings and hints go to standard",
      "error.",
      "",
      "Exit status:",
      "  0  the run completed (a part that could not be deleted is reported, and kept);",
      "  1  a step could not be done: a line \"* Error:\" names the file and the reason,",
      "     and no later step ran; or the report could not be written.",
      "",
      "acqsort --help (-h, /?, -?) shows this text, acqsort --version the version;",
      "neither touches any file. Any other argument is ignored.",
      "",
      "The manual: README.txt beside acqsort.exe on Windows; on Linux, man acqsort",
      "and /usr/share/doc/acqsort/README.md.",
  };
}

}  // namespace acqsort
