// Every Win32 call of a small run failed in turn, on the Windows build under Wine: the run of
// acqsort_faulty.exe (the tool with faulty_calls.cpp linked in) is repeated with the call
// numbered 1, 2, 3, ... failing with each error code that real Windows gives for files on
// local disks, USB sticks and network shares, and with the process ended at that call. After
// each run the working directory and the report must keep the tool's promises:
//
//   - the configuration and the ACQ file are unchanged;
//   - the sorted and the merged file are each their old content or complete;
//   - a part is gone only when the complete merged file is there;
//   - status 0 only when all is done (a part kept with its error line aside); status 1 with
//     one error line naming a file, or the line that the report was lost; nothing else,
//     unless the process was ended (status 137);
//   - no temporary file is left, unless the process was ended;
//   - Ctrl+C at the call (the tool's handler run on a thread of its own) ends the run as
//     Windows would end it (STATUS_CONTROL_C_EXIT), with no temporary file left.
//
//   acqsort_fault_injection <acqsort_faulty.exe> <scratch folder> <share> <shares>
//
// The calls are dealt out to <shares> tests so that none runs long without a word: share k
// (from 1) fails the calls numbered k, k + shares, k + 2 * shares, ... It prints
// "windows fault injection, share <k> of <n>: <runs> runs over <calls> calls, <violations>
// violations" and ends with status 1 when there is any violation.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

bool Has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

// The codes Windows gives where the tool meets a file: sharing and lock violations, access
// denied, a full disk, a share that went away or can't be found, a device that is not
// ready or fails, a write-protected medium.
const std::pair<const char*, DWORD> kErrors[] = {
    {"ERROR_SHARING_VIOLATION", ERROR_SHARING_VIOLATION},
    {"ERROR_LOCK_VIOLATION", ERROR_LOCK_VIOLATION},
    {"ERROR_ACCESS_DENIED", ERROR_ACCESS_DENIED},
    {"ERROR_DISK_FULL", ERROR_DISK_FULL},
    {"ERROR_NETNAME_DELETED", ERROR_NETNAME_DELETED},
    {"ERROR_BAD_NETPATH", ERROR_BAD_NETPATH},
    {"ERROR_NOT_READY", ERROR_NOT_READY},
    {"ERROR_IO_DEVICE", ERROR_IO_DEVICE},
    {"ERROR_WRITE_PROTECT", ERROR_WRITE_PROTECT},
};

const char* const kParts[] = {"ACQ/dataINF1.txt", "ACQ/dataINF2.txt", "ACQ/dataINF3.txt"};

struct Exit {
  DWORD status = 0;
  std::string output;
  std::string errors;
};

// Runs `tool` in `work` with the fault settings in the environment (inherited).
Exit Run(const fs::path& tool, const fs::path& work, const fs::path& scratch) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const fs::path outPath = scratch / "stdout.txt";
  const fs::path errPath = scratch / "stderr.txt";
  HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + tool.wstring() + L"\"";
  Exit exit;
  if (!CreateProcessW(tool.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, work.c_str(),
                      &startup, &process)) {
    exit.status = 0xFFFFFFFF;
  } else {
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_TIMEOUT) {
      TerminateProcess(process.hProcess, 0xFFFFFFFE);
      WaitForSingleObject(process.hProcess, INFINITE);
    }
    GetExitCodeProcess(process.hProcess, &exit.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(out);
  CloseHandle(err);
  exit.output = Read(outPath);
  exit.errors = Read(errPath);
  return exit;
}

struct Files {
  std::string config, acq, sorted, merged, parts[3];
  bool sortedThere = false, mergedThere = false, partThere[3] = {false, false, false};
  bool temporary = false;
};

Files Look(const fs::path& work) {
  Files files;
  files.config = Read(work / "CONFIG/ACQ.config");
  files.acq = Read(work / "ACQ/data.txt");
  files.sortedThere = fs::exists(work / "ACQ/dataR.txt");
  files.sorted = Read(work / "ACQ/dataR.txt");
  files.mergedThere = fs::exists(work / "ACQ/dataINF.txt");
  files.merged = Read(work / "ACQ/dataINF.txt");
  for (int i = 0; i < 3; ++i) {
    files.partThere[i] = fs::exists(work / kParts[i]);
    files.parts[i] = Read(work / kParts[i]);
  }
  for (const auto& entry : fs::directory_iterator(work / "ACQ")) {
    if (entry.path().extension() == ".acqsort-tmp") files.temporary = true;
  }
  return files;
}

void MakeWork(const fs::path& work) {
  fs::remove_all(work);
  Write(work / "CONFIG/ACQ.config", "#ACQ\r\n\r\nname:\"data.txt\"\r\nfirst: 1\r\nlast: 9\r\n");
  Write(work / "ACQ/data.txt", "000002;two\r\n000001;one\r\n000003;three\r\n");
  Write(work / "ACQ/dataR.txt", "the old sorted file\r\n");
  Write(work / "ACQ/dataINF.txt", "the old merged file\r\n");
  for (int i = 0; i < 3; ++i) Write(work / kParts[i], "part " + std::to_string(i + 1) + "\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 || std::atol(argv[3]) < 1 || std::atol(argv[3]) > std::atol(argv[4])) {
    std::fprintf(stderr, "usage: acqsort_fault_injection <acqsort_faulty.exe> <scratch folder> <share> <shares>\n");
    return 2;
  }
  const long share = std::atol(argv[3]);
  const long shares = std::atol(argv[4]);
  const fs::path tool = fs::absolute(argv[1]);
  const fs::path scratch = fs::absolute(argv[2]);
  const fs::path work = scratch / "work";
  const fs::path report = scratch / "struck.txt";
  fs::create_directories(scratch);
  SetEnvironmentVariableW(L"ACQSORT_FAIL_REPORT", report.c_str());

  // The reference: what a run without faults leaves.
  MakeWork(work);
  const Files before = Look(work);
  SetEnvironmentVariableW(L"ACQSORT_FAIL_CALL", L"0");
  SetEnvironmentVariableW(L"ACQSORT_FAIL_ERROR", L"0");
  const Exit clean = Run(tool, work, scratch);
  const Files reference = Look(work);
  if (clean.status != 0 || reference.partThere[0] || !reference.mergedThere) {
    std::printf("the run without faults did not complete (status %lu):\n%s%s", clean.status,
                clean.output.c_str(), clean.errors.c_str());
    return 1;
  }

  std::vector<std::string> violations;
  int runs = 1;
  long calls = 0;
  for (long call = share;; call += shares) {
    bool reached = false;
    for (size_t variant = 0; variant <= std::size(kErrors) + 1; ++variant) {
      const bool killed = variant == std::size(kErrors);
      const bool interrupted = variant == std::size(kErrors) + 1;
      const std::string error = killed ? "kill" : interrupted ? "interrupt" : std::to_string(kErrors[variant].second);
      const std::string errorName = killed ? "an end of the process" : interrupted ? "Ctrl+C" : kErrors[variant].first;
      SetEnvironmentVariableA("ACQSORT_FAIL_CALL", std::to_string(call).c_str());
      SetEnvironmentVariableA("ACQSORT_FAIL_ERROR", error.c_str());
      fs::remove(report);
      MakeWork(work);
      const Exit exit = Run(tool, work, scratch);
      ++runs;
      const bool struck = fs::exists(report);
      reached = reached || struck;
      if (!struck) continue;
      const std::string where = errorName + " at call " + std::to_string(call) + " (" + Read(report) + ")";
      const Files after = Look(work);
      std::vector<std::string> found;
      if (after.config != before.config) found.push_back("the configuration changed");
      if (after.acq != before.acq) found.push_back("the ACQ file changed");
      const bool sortedComplete = after.sortedThere && after.sorted == reference.sorted;
      const bool mergedComplete = after.mergedThere && after.merged == reference.merged;
      if (!sortedComplete && !(after.sortedThere && after.sorted == before.sorted)) {
        found.push_back("the sorted file is neither old nor complete");
      }
      if (!mergedComplete && !(after.mergedThere && after.merged == before.merged)) {
        found.push_back("the merged file is neither old nor complete");
      }
      for (int i = 0; i < 3; ++i) {
        if (after.partThere[i] && after.parts[i] != before.parts[i]) found.push_back(std::string(kParts[i]) + " changed");
        if (!after.partThere[i] && !mergedComplete) found.push_back(std::string(kParts[i]) + " gone without the merged file");
      }
      if (killed) {
        if (exit.status != 137) found.push_back("status " + std::to_string(exit.status) + " after the end of the process");
      } else if (interrupted) {
        if (exit.status != STATUS_CONTROL_C_EXIT) found.push_back("not ended by Ctrl+C (status " + std::to_string(exit.status) + ")");
      } else if (exit.status == 0) {
        if (!sortedComplete) found.push_back("status 0, sorted file not complete");
        if (!mergedComplete) found.push_back("status 0, merged file not complete");
        for (int i = 0; i < 3; ++i) {
          std::string shown = kParts[i];
          for (char& c : shown) c = c == '/' ? '\\' : c;
          if (after.partThere[i] && !Has(exit.output, "* Error:" + shown + "  can't be deleted. \r\n")) {
            found.push_back("status 0, " + std::string(kParts[i]) + " kept without its error line");
          }
        }
      } else if (exit.status == 1) {
        size_t errorLines = 0;
        for (size_t at = exit.output.find("* Error:"); at != std::string::npos; at = exit.output.find("* Error:", at + 1)) {
          ++errorLines;
        }
        const bool namesAFile = errorLines == 1 && (Has(exit.output, "* Error:ACQ\\") || Has(exit.output, "* Error:CONFIG\\"));
        const std::string lost = "acqsort: standard output can't be written";
        const bool reportLost = exit.errors.rfind(lost, 0) == 0 || Has(exit.errors, "\n" + lost);
        if (!namesAFile && !reportLost) found.push_back("status 1 without one error line naming a file");
      } else {
        char status[32];
        std::snprintf(status, sizeof status, "0x%08lX", exit.status);
        found.push_back(std::string("ended with status ") + status);
      }
      if (!killed && after.temporary) found.push_back("a temporary file was left");
      for (const std::string& violation : found) {
        violations.push_back(where + ": " + violation + "\n    output: " + exit.output + "    errors: " + exit.errors);
      }
    }
    if (!reached) break;
    ++calls;
  }

  std::printf("windows fault injection, share %ld of %ld: %d runs over %ld calls, %zu violations\n", share,
              shares, runs, calls, violations.size());
  for (size_t i = 0; i < violations.size() && i < 20; ++i) std::printf("%s\n", violations[i].c_str());
  // A share that reached too few calls has not tested what it should.
  return violations.empty() && calls * shares > 20 ? 0 : 1;
}
