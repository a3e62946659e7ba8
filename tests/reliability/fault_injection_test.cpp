// Every system call of a small run fails in turn, with each error a disk, a network file
// system or a busy machine can give, or the run is killed there; then reads and writes are
// cut short, a file size limit stops the writes, and a tiny file system fills up. After each
// run the files must be safe and the run must have said what happened:
//   - the configuration and the ACQ file are unchanged;
//   - the sorted and the merged file are each their old content or the complete new one;
//   - each part is there with its old bytes, or it went after the complete merged file was
//     durable: its data synced, renamed into place, and that rename synced (read from the
//     run's system calls);
//   - status 0 only when all is done (a part kept with its error line aside); otherwise
//     status 1 with one error line naming a file (or, when the report itself could not be
//     written, the line on standard error that says so);
//   - no temporary file is left (a kill excepted), no hang, no death by a signal.

#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>

#include <cstdlib>
#include <iostream>
#include <map>
#include <sstream>
#include <utility>
#include <vector>

#include "small_run.h"
#include "workdir.h"

namespace acqsort::reliability {
namespace {

namespace fs = std::filesystem;

// The errors injected into every call.
const char* const kErrors[] = {"EIO",    "ENOSPC", "EDQUOT", "EINTR", "EAGAIN",
                               "ENOMEM", "EACCES", "EROFS",  "EXDEV", "EBUSY"};

// A run's system calls as strace wrote them, one a line.
std::vector<std::string> TraceLines(const fs::path& trace) {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(trace));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Has(const std::string& line, const std::string& text) { return line.find(text) != std::string::npos; }

// The call's name: the word before its opening parenthesis, after the process id.
std::string CallName(const std::string& line) {
  const size_t space = line.find(' ');
  const size_t open = line.find('(');
  if (space == std::string::npos || open == std::string::npos || open < space) return "";
  size_t start = space;
  while (start < open && line[start] == ' ') ++start;
  return line.substr(start, open - start);
}

bool Succeeded(const std::string& line) { return Has(line, ") = 0"); }

// The first quoted argument of a call: the old name of a rename.
std::string FirstQuoted(const std::string& line) {
  const size_t open = line.find('"');
  const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
  return close == std::string::npos ? "" : line.substr(open + 1, close - open - 1);
}

// Whether every part that went, went only after the complete merged file was durable.
std::string CheckDurableBeforeRemoval(const std::vector<std::string>& calls, const fs::path& acqFolder) {
  size_t firstRemoval = calls.size();
  for (size_t i = 0; i < calls.size() && firstRemoval == calls.size(); ++i) {
    const std::string name = CallName(calls[i]);
    const bool takesAName = name == "renameat2" || name == "renameat" || name == "unlinkat" ||
                            name == "rename" || name == "unlink";
    for (const char* part : {"\"dataINF1.txt\"", "\"dataINF2.txt\"", "\"dataINF3.txt\""}) {
      if (takesAName && Has(calls[i], part) && Succeeded(calls[i])) firstRemoval = i;
    }
  }
  if (firstRemoval == calls.size()) return "";
  // The merged file's rename before it, the sync of its data before that, the sync of the
  // folder between the rename and the removal.
  size_t rename = calls.size();
  for (size_t i = 0; i < firstRemoval; ++i) {
    if (Has(CallName(calls[i]), "rename") && Has(calls[i], "\"dataINF.txt\")") && Succeeded(calls[i])) rename = i;
  }
  if (rename == calls.size()) return "a part went, but the merged file was never renamed into place";
  const std::string temporary = FirstQuoted(calls[rename]);
  bool dataSynced = false;
  for (size_t i = 0; i < rename; ++i) {
    const std::string name = CallName(calls[i]);
    dataSynced = dataSynced || ((name == "fsync" || name == "fdatasync") &&
                                Has(calls[i], "/" + temporary + ">") && Succeeded(calls[i]));
  }
  if (!dataSynced) return "a part went, but the merged file's data was never synced before its rename";
  bool renameSynced = false;
  for (size_t i = rename + 1; i < firstRemoval; ++i) {
    renameSynced = renameSynced || (CallName(calls[i]) == "fsync" &&
                                    Has(calls[i], "<" + acqFolder.string() + ">") && Succeeded(calls[i]));
  }
  if (!renameSynced) return "a part went before the merged file's rename was synced";
  return "";
}

class FaultCampaign {
 public:
  explicit FaultCampaign(const WorkDir& dir) : dir_(dir) {
    const fs::path pristine = dir / "pristine";
    WriteSmallRun(pristine);
    WriteFile(pristine / kSorted, "000009;from an earlier run\r\n");
    WriteFile(pristine / kMerged, "#ACQ 1th part\r\nfrom an earlier run\r\n");
    reference_ = MakeReference(pristine, dir / "work");
  }

  // Runs the tool on a fresh copy of the small run in `work` and checks what it left.
  // `trace`, when not empty, is where the run's strace output went. `killed`: the run may be
  // ended without warning, and may leave a temporary file; `interrupted`: it must end by
  // SIGINT, with no temporary file left.
  void Run(const std::string& label, const fs::path& work, ToolOptions options, bool killed,
           const fs::path& trace = {}, bool interrupted = false) {
    ++runs_;
    options.timeLimitSeconds = 30;
    ToolExit exit = RunTool(work, options);
    const Snapshot after = TakeSnapshot(work);
    std::vector<std::string> found =
        CheckInvariant(reference_.before, after, reference_.sorted, reference_.merged, killed);
    if (!trace.empty()) {
      const std::string order = CheckDurableBeforeRemoval(TraceLines(trace), work / "ACQ");
      if (!order.empty()) found.push_back(order);
    }
    if (interrupted) {
      if (!exit.signaled || exit.status != SIGINT) {
        found.push_back("not ended by the interrupt (status " + std::to_string(exit.status) + ")");
      }
    } else {
      CheckStatus(exit, after, killed, found);
    }
    for (const std::string& violation : found) {
      violations_.push_back(label + ": " + violation + "\n    output: " + exit.output + "    errors: " + exit.errors);
    }
  }

  // A fresh copy of the small run.
  fs::path Fresh(const fs::path& work) const {
    Restore(dir_ / "pristine", work);
    return work;
  }

  const Reference& reference() const { return reference_; }
  int runs() const { return runs_; }
  const std::vector<std::string>& violations() const { return violations_; }

 private:
  void CheckStatus(const ToolExit& exit, const Snapshot& after, bool killed,
                   std::vector<std::string>& found) const {
    if (exit.timedOut) {
      found.push_back("hung: stopped after the time limit");
      return;
    }
    if (exit.signaled) {
      if (!killed) found.push_back("died by signal " + std::to_string(exit.status));
      return;
    }
    if (exit.status == 124 || exit.status == 137) {
      found.push_back("hung: stopped by the time limit");
      return;
    }
    if (exit.status == 0) {
      if (after.count(kSorted) == 0 || after.at(kSorted) != reference_.sorted) found.push_back("status 0, sorted file not complete");
      if (after.count(kMerged) == 0 || after.at(kMerged) != reference_.merged) found.push_back("status 0, merged file not complete");
      for (const std::string& part : kParts) {
        std::string shown = part;
        for (char& c : shown) c = c == '/' ? '\\' : c;
        const bool reported = Has(exit.output, "* Error:" + shown + "  can't be deleted. \n");
        if (after.count(part) != 0 && !reported) found.push_back("status 0, " + part + " kept without its error line");
      }
    } else if (exit.status == 1) {
      // A line of its own, after the notes of the run (the sort's summary among them).
      const std::string lost = "acqsort: standard output can't be written";
      const bool reportLost = exit.errors.rfind(lost, 0) == 0 || Has(exit.errors, "\n" + lost);
      size_t errorLines = 0;
      for (size_t at = exit.output.find("* Error:"); at != std::string::npos; at = exit.output.find("* Error:", at + 1)) {
        ++errorLines;
      }
      const bool oneLineNamingAFile = exit.FailedClearly() && errorLines == 1 && Has(exit.output, "* Error:ACQ\\");
      const bool configLine = exit.FailedClearly() && errorLines == 1 && Has(exit.output, "* Error:CONFIG\\ACQ.config  ");
      if (!reportLost && !oneLineNamingAFile && !configLine) found.push_back("status 1 without one error line naming a file");
    } else if (!killed) {
      found.push_back("status " + std::to_string(exit.status));
    }
  }

  const WorkDir& dir_;
  Reference reference_;
  int runs_ = 0;
  std::vector<std::string> violations_;
};

// The calls of a clean run from its first report line on (the loader's and the C
// runtime's start come before), each as its name and how many calls of that name the
// whole run had made up to it: strace's "when" counts that way.
std::vector<std::pair<std::string, int>> CallsOfARun(const std::vector<std::string>& trace) {
  std::vector<std::pair<std::string, int>> calls;
  std::map<std::string, int> seen;
  bool started = false;
  for (const std::string& line : trace) {
    const std::string name = CallName(line);
    if (name.empty()) continue;
    const int count = ++seen[name];
    started = started || (name == "write" && Has(line, "Sort for Vantrel"));
    if (started && name != "exit_group") calls.emplace_back(name, count);
  }
  return calls;
}

// The calls of a run are dealt out to this many tests, so that none runs long without a
// word: test k fails every k-th call; the first test also cuts transfers short and limits
// file sizes, the second fills a tiny file system.
constexpr size_t kShares = 2;

class FaultInjectionTest : public ::testing::TestWithParam<size_t> {};

TEST_P(FaultInjectionTest, EverySystemCallOfASmallRunFailsInTurnAndNothingIsLost) {
  const size_t share = GetParam();
  if (std::system("strace -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer's own memory calls would meet the injected errors";
  WorkDir dir("faults");
  FaultCampaign campaign(dir);
  const fs::path work = dir / "work";
  const fs::path trace = dir / "trace.txt";
  auto strace = [&](const std::vector<std::string>& inject) {
    std::vector<std::string> wrapper = {"strace", "-f", "-qq", "-y", "-e", "signal=none", "-o", trace.string()};
    for (const std::string& option : inject) {
      wrapper.push_back("-e");
      wrapper.push_back(option);
    }
    return wrapper;
  };

  // The calls of a clean run.
  ToolOptions clean;
  clean.wrapper = strace({});
  campaign.Run("clean run", campaign.Fresh(work), clean, false, trace);
  const std::vector<std::pair<std::string, int>> calls = CallsOfARun(TraceLines(trace));
  ASSERT_GT(calls.size(), 40u) << "the clean run's trace is too short to be a whole run";

  for (size_t call = share; call < calls.size(); call += kShares) {
    const auto& [name, when] = calls[call];
    const std::string at = name + ":when=" + std::to_string(when);
    // brk answers a failure with the old break, never with an error code, and getpid never
    // fails: an error injected there is none that the system can give.
    const bool canFail = name != "brk" && name != "getpid";
    for (const char* error : kErrors) {
      if (!canFail) break;
      ToolOptions options;
      options.wrapper = strace({"inject=" + name + ":error=" + error + ":when=" + std::to_string(when)});
      campaign.Run(std::string(error) + " at " + at, campaign.Fresh(work), options, false, trace);
    }
    ToolOptions kill;
    kill.wrapper = strace({"inject=" + name + ":signal=KILL:when=" + std::to_string(when)});
    campaign.Run("kill at " + at, campaign.Fresh(work), kill, true, trace);
    // Ctrl-C at the call: the handler undoes the registered step, whatever the moment.
    ToolOptions interrupt;
    interrupt.wrapper = strace({"inject=" + name + ":signal=INT:when=" + std::to_string(when)});
    campaign.Run("SIGINT at " + at, campaign.Fresh(work), interrupt, false, trace, true);
  }

  if (share == 0) {
    // Every read and write cut short, through the real system calls.
    ToolOptions shortTransfers;
    shortTransfers.shortTransfers = true;
    campaign.Run("reads and writes of at most 3 bytes", campaign.Fresh(work), shortTransfers, false);

    // A file size limit at every size around the outputs', SIGXFSZ at its default.
    const long long sorted = static_cast<long long>(campaign.reference().sorted.size());
    const long long merged = static_cast<long long>(campaign.reference().merged.size());
    for (long long limit : {0LL, 1LL, sorted - 1, sorted, sorted + 1, merged - 1, merged, merged + 1}) {
      ToolOptions options;
      options.fileSizeLimit = limit;
      campaign.Run("file size limit " + std::to_string(limit), campaign.Fresh(work), options, false);
    }
  }

  // A tiny file system, filled one page after another (root only).
  if (share == 1 && ::geteuid() == 0) {
    const fs::path mountPoint = dir / "tiny";
    fs::create_directories(mountPoint);
    for (int pages = 6; pages <= 12; ++pages) {
      const std::string size = "size=" + std::to_string(pages * 4096);
      if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, size.c_str()) != 0) break;
      std::error_code full;  // the copy itself may not fit the smallest
      fs::copy(dir / "pristine", mountPoint / "work", fs::copy_options::recursive, full);
      if (!full) campaign.Run("tmpfs of " + std::to_string(pages) + " pages", mountPoint / "work", {}, false);
      ::umount(mountPoint.c_str());
    }
  }

  std::cout << "fault injection, share " << share + 1 << " of " << kShares << ": "
            << campaign.runs() << " runs, " << campaign.violations().size()
            << " violations\n";
  for (size_t i = 0; i < campaign.violations().size() && i < 20; ++i) {
    ADD_FAILURE() << campaign.violations()[i];
  }
  EXPECT_TRUE(campaign.violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Shares, FaultInjectionTest, ::testing::Range(size_t{0}, kShares));

}  // namespace
}  // namespace acqsort::reliability
