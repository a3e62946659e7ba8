// Eight copies of the tool started at once in the same working directory, round after
// round: each copy completes or stops with a clear error, and the data survives whole.

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <vector>

#include "workdir.h"
#include "workload.h"

namespace acqsort::reliability {
namespace {

TEST(ConcurrencyTest, EightCopiesAtOnceLoseNothing) {
  WorkDir dir("concurrent");
  ASSERT_TRUE(bench::MakeWorkload(dir / "pristine", 100000, 2000000, "999999"));
  const Reference reference = MakeReference(dir / "pristine", dir / "work");

  constexpr int kRounds = 20;
  constexpr int kCopies = 8;
  int completed = 0, stopped = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Restore(dir / "pristine", dir / "work");
    std::vector<std::unique_ptr<ToolProcess>> copies;
    for (int i = 0; i < kCopies; ++i) copies.push_back(std::make_unique<ToolProcess>(dir / "work"));
    int roundCompleted = 0;
    for (auto& copy : copies) {
      ToolExit exit = copy->Wait();
      EXPECT_TRUE(exit.Succeeded() || exit.FailedClearly()) << exit.output;
      if (exit.Succeeded()) ++roundCompleted;
      else ++stopped;
    }
    completed += roundCompleted;
    EXPECT_GE(roundCompleted, 1);
    Snapshot after = TakeSnapshot(dir / "work");
    for (const std::string& violation :
         CheckInvariant(reference.before, after, reference.sorted, reference.merged,
                        /*temporariesAllowed=*/false)) {
      ADD_FAILURE() << violation;
    }
    EXPECT_TRUE(after.count(kMerged) && after.at(kMerged) == reference.merged);
    EXPECT_TRUE(after.count(kSorted) && after.at(kSorted) == reference.sorted);
    for (const std::string& part : kParts) EXPECT_EQ(after.count(part), 0u) << part;
  }
  std::cout << kRounds << " rounds of " << kCopies << " copies: " << completed << " completed, "
            << stopped << " stopped with an error, nothing lost\n";
}

}  // namespace
}  // namespace acqsort::reliability
