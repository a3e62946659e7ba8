// Writes that fail: a file size limit (RLIMIT_FSIZE, no privileges needed) and, where the
// test runs as root, a small tmpfs that fills up for real. The run must stop with status 1
// and an error line naming the file, keep every input and the old outputs, and leave no
// temporary file behind.

#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

#include "small_run.h"
#include "workdir.h"
#include "workload.h"

namespace acqsort::reliability {
namespace {

// A small workload whose old sorted and merged files must survive a failed run.
std::filesystem::path MakeSmallWorkload(const WorkDir& dir) {
  const std::filesystem::path pristine = dir / "pristine";
  EXPECT_TRUE(bench::MakeWorkload(pristine, 10000, 1000000, "999999"));
  WriteFile(pristine / kSorted, "000001;from an earlier run\r\n");
  WriteFile(pristine / kMerged, "#ACQ 1th part\r\nfrom an earlier run\r\n");
  return pristine;
}

void ExpectStoppedAndKept(const ToolExit& exit, const std::string& file, const std::string& reason,
                          const Reference& reference, const Snapshot& after) {
  EXPECT_TRUE(exit.FailedClearly()) << exit.output;
  EXPECT_NE(exit.output.find("* Error:" + file + "  can't be written: " + reason), std::string::npos)
      << exit.output;
  for (const std::string& violation :
       CheckInvariant(reference.before, after, reference.sorted, reference.merged,
                      /*temporariesAllowed=*/false)) {
    ADD_FAILURE() << violation;
  }
  // Nothing was merged, so the old merged file and all parts are still there.
  EXPECT_EQ(after.at(kMerged), reference.before.at(kMerged));
  for (const std::string& part : kParts) EXPECT_EQ(after.count(part), 1u) << part;
}

TEST(IoErrorTest, AFileSizeLimitStopsTheRunAtTheFileItHits) {
  WorkDir dir("fsize");
  const std::filesystem::path pristine = MakeSmallWorkload(dir);
  const Reference reference = MakeReference(pristine, dir / "work");
  ASSERT_LT(reference.sorted.size() + 100000, reference.merged.size());

  struct Case {
    long long limit;
    std::string file;
    bool sortDone;
  };
  const Case cases[] = {
      {0, "ACQ\\dataR.txt", false},
      {4096, "ACQ\\dataR.txt", false},
      {static_cast<long long>(reference.sorted.size()) - 1, "ACQ\\dataR.txt", false},
      {static_cast<long long>(reference.sorted.size() + reference.merged.size()) / 2, "ACQ\\dataINF.txt", true},
      {static_cast<long long>(reference.merged.size()) - 1, "ACQ\\dataINF.txt", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("limit " + std::to_string(c.limit));
    Restore(pristine, dir / "work");
    ToolOptions options;
    options.fileSizeLimit = c.limit;
    ToolExit exit = RunTool(dir / "work", options);
    Snapshot after = TakeSnapshot(dir / "work");
    ExpectStoppedAndKept(exit, c.file, "File too large", reference, after);
    EXPECT_EQ(after.at(kSorted), c.sortDone ? reference.sorted : reference.before.at(kSorted));
  }
  std::cout << std::size(cases) << " runs stopped by a file size limit, nothing lost\n";
}

TEST(IoErrorTest, AFullDiskStopsTheRunAndKeepsEverything) {
  WorkDir dir("tmpfs");
  const std::filesystem::path pristine = MakeSmallWorkload(dir);
  const Reference reference = MakeReference(pristine, dir / "reference");

  // Room for the inputs, the old outputs and the sorted file, but not for the merged file.
  size_t inputs = 0;
  for (const auto& [path, content] : reference.before) inputs += content.size();
  const size_t size = inputs + reference.sorted.size() + reference.merged.size() / 2;
  const std::filesystem::path mountPoint = dir / "disk";
  std::filesystem::create_directories(mountPoint);
  const std::string options = "size=" + std::to_string(size);
  if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, options.c_str()) != 0) {
    GTEST_SKIP() << "mounting a tmpfs needs root";
  }
  struct Unmount {
    std::filesystem::path path;
    ~Unmount() { ::umount(path.c_str()); }
  } unmount{mountPoint};

  // A copy, not links: the links would not cross into the tmpfs.
  std::filesystem::copy(pristine, mountPoint / "work", std::filesystem::copy_options::recursive);
  ToolExit exit = RunTool(mountPoint / "work");
  Snapshot after = TakeSnapshot(mountPoint / "work");
  ExpectStoppedAndKept(exit, "ACQ\\dataINF.txt", "No space left on device", reference, after);
  EXPECT_EQ(after.at(kSorted), reference.sorted);
  std::cout << "a run on a full " << size << "-byte tmpfs stopped at the merged file, nothing lost\n";
}

}  // namespace
}  // namespace acqsort::reliability
