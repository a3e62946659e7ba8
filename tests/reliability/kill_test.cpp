// SIGKILL at moments spread over a whole run: after each kill, and after the run that
// follows it, no byte of the user's data is lost and no output is half-written. The moments
// are dealt out to a few tests of their own, so that none runs long without a word.

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

#include "workdir.h"
#include "workload.h"

namespace acqsort::reliability {
namespace {

using std::chrono::duration_cast;
using std::chrono::microseconds;
using std::chrono::steady_clock;

// Which stage a killed run had finished, from the report lines it wrote.
int StagesReported(const std::string& output) {
  int lines = 0;
  for (char c : output) lines += c == '\n';
  return lines;  // 2 for the banner; the sort, the merge, the removals add one each
}

// The moments of the run are spread over this many tests; test k takes every k-th moment.
constexpr int kShares = 4;

class KillTest : public ::testing::TestWithParam<int> {};

TEST_P(KillTest, NoKillAtAnyMomentLosesData) {
  const int share = GetParam();
  WorkDir dir("kill");
  ASSERT_TRUE(bench::MakeWorkload(dir / "pristine", 999999, 20000000, "999999"));
  const Reference reference = MakeReference(dir / "pristine", dir / "work");

  // The length of an undisturbed run sets the spread of the kills.
  Restore(dir / "pristine", dir / "work");
  const auto start = steady_clock::now();
  ASSERT_TRUE(RunTool(dir / "work").Succeeded());
  const auto runTime = duration_cast<microseconds>(steady_clock::now() - start);

  // Delays go through this test's share of evenly spaced moments of the run, all of them,
  // then again until enough kills have landed before the run could finish (timing noise lets
  // a few runs finish first).
  constexpr int kMoments = 64 / kShares;
  constexpr int kWantedKills = 60 / kShares;
  constexpr int kMostAttempts = 3 * kMoments;
  int attempts = 0, landed = 0, beforeSort = 0, afterSort = 0, afterMerge = 0;
  int rerunsSucceeded = 0, rerunsStopped = 0;
  for (; attempts < kMoments || (landed < kWantedKills && attempts < kMostAttempts); ++attempts) {
    const int moment = (attempts % kMoments) * kShares + share;
    const microseconds delay(runTime.count() * moment / (kMoments * kShares));
    SCOPED_TRACE("kill after " + std::to_string(delay.count()) + " us");
    Restore(dir / "pristine", dir / "work");
    ToolExit killed = ToolProcess(dir / "work").KillAfter(delay);
    if (killed.signaled) {
      ++landed;
      int stages = StagesReported(killed.output);
      (stages < 3 ? beforeSort : stages < 4 ? afterSort : afterMerge)++;
    }
    for (const std::string& violation :
         CheckInvariant(reference.before, TakeSnapshot(dir / "work"), reference.sorted,
                        reference.merged, /*temporariesAllowed=*/true)) {
      ADD_FAILURE() << "after the kill: " << violation;
    }

    ToolExit rerun = RunTool(dir / "work");
    EXPECT_TRUE(rerun.Succeeded() || rerun.FailedClearly()) << rerun.output;
    (rerun.Succeeded() ? rerunsSucceeded : rerunsStopped)++;
    for (const std::string& violation :
         CheckInvariant(reference.before, TakeSnapshot(dir / "work"), reference.sorted,
                        reference.merged, /*temporariesAllowed=*/true)) {
      ADD_FAILURE() << "after the run that followed the kill: " << violation;
    }
  }
  std::cout << "kills, share " << share + 1 << " of " << kShares << ": run time "
            << runTime.count() / 1000 << " ms; " << landed << " of " << attempts
            << " kills landed mid-run (" << beforeSort << " before the sort was reported, "
            << afterSort << " after the sort, " << afterMerge << " after the merge); reruns: "
            << rerunsSucceeded << " completed, " << rerunsStopped << " stopped with an error\n";
  EXPECT_GE(landed, 50 / kShares);
}

INSTANTIATE_TEST_SUITE_P(Shares, KillTest, ::testing::Range(0, kShares));

}  // namespace
}  // namespace acqsort::reliability
