// Hostile input that the end-to-end table cannot hold: a 100 MB line, a symbolic link.

#include <gtest/gtest.h>

#include <fstream>

#include "small_run.h"
#include "workdir.h"

namespace acqsort::reliability {
namespace {

TEST(HostileInputTest, AHundredMegabyteLineWithoutNewlineIsWrittenWhole) {
  WorkDir dir("long-line");
  const std::string line = "000001;" + std::string(100u << 20, 'x');
  WriteSmallRun(dir / "work", line);
  ToolExit exit = RunTool(dir / "work");
  ASSERT_TRUE(exit.Succeeded()) << exit.output;
  Snapshot after = TakeSnapshot(dir / "work");
  EXPECT_TRUE(after.at(kSorted) == line + "\r\n") << after.at(kSorted).size() << " bytes";
}

TEST(HostileInputTest, APartThatIsASymbolicLinkLosesTheLinkNeverItsTarget) {
  WorkDir dir("symlink");
  WriteSmallRun(dir / "work", "000001;one\r\n");
  const std::string target = "kept outside the working directory\r\n";
  WriteFile(dir / "outside.txt", target);
  std::filesystem::remove(dir / "work" / kParts[1]);
  std::filesystem::create_symlink(dir / "outside.txt", dir / "work" / kParts[1]);

  ToolExit exit = RunTool(dir / "work");
  ASSERT_TRUE(exit.Succeeded()) << exit.output;
  Snapshot after = TakeSnapshot(dir / "work");
  EXPECT_NE(after.at(kMerged).find("#ACQ 2nd part\r\n" + target), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "work" / kParts[1])));
  std::ifstream in(dir / "outside.txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), target);
}

}  // namespace
}  // namespace acqsort::reliability
