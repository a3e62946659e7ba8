#include "processing/remove_inf_parts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "config/read_acq_config.h"

namespace acqsort {
namespace {

// A file system in memory whose removals of chosen paths fail.
class FakeRemover : public PathRemover {
 public:
  FakeRemover(std::set<std::string> present, std::set<std::string> stuck,
              std::set<std::string> vanishing, std::set<std::string> lingering = {})
      : present_(std::move(present)),
        stuck_(std::move(stuck)),
        vanishing_(std::move(vanishing)),
        lingering_(std::move(lingering)) {}

  bool Exists(const std::string& path) const override { return present_.count(path) > 0; }
  Outcome Remove(const std::string& path) const override {
    attempts_.push_back(path);
    if (stuck_.count(path) > 0) return Failure{path, "can't be removed: busy"};
    if (vanishing_.count(path) > 0) {
      // Another run removes it just before this one can.
      present_.erase(path);
      return Failure{path, "can't be removed: No such file or directory"};
    }
    if (lingering_.count(path) > 0) return {};  // accepted, but the file stays
    present_.erase(path);
    return {};
  }

  mutable std::set<std::string> present_;
  std::set<std::string> stuck_;
  std::set<std::string> vanishing_;
  std::set<std::string> lingering_;
  mutable std::vector<std::string> attempts_;
};

const AcqConfig kConfig = ParseAcqConfig("#ACQ\n\nname:\"data.txt\"\n1\n9\n").config;

TEST(RemoveInfPartsTest, ReportsEachPartInOrderAndGoesOnAfterAFailure) {
  struct Case {
    std::set<std::string> present;
    std::set<std::string> stuck;
    std::set<std::string> vanishing;
    const char* report;
  };
  const Case cases[] = {
      {{"ACQ\\dataINF1.txt", "ACQ\\dataINF2.txt", "ACQ\\dataINF3.txt"},
       {},
       {},
       "* ACQ\\dataINF1.txt file has been deleted. \n"
       "* ACQ\\dataINF2.txt file has been deleted. \n"
       "* ACQ\\dataINF3.txt file has been deleted. \n"},
      {{"ACQ\\dataINF1.txt", "ACQ\\dataINF2.txt", "ACQ\\dataINF3.txt"},
       {"ACQ\\dataINF2.txt"},
       {},
       "* ACQ\\dataINF1.txt file has been deleted. \n"
       "* Error:ACQ\\dataINF2.txt  can't be deleted. \n"
       "* ACQ\\dataINF3.txt file has been deleted. \n"},
      {{"ACQ\\dataINF3.txt"}, {}, {}, "* ACQ\\dataINF3.txt file has been deleted. \n"},
      {{"ACQ\\dataINF1.txt"}, {"ACQ\\dataINF1.txt"}, {}, "* Error:ACQ\\dataINF1.txt  can't be deleted. \n"},
      {{"ACQ\\dataINF1.txt", "ACQ\\dataINF2.txt"},
       {},
       {"ACQ\\dataINF1.txt"},
       "* ACQ\\dataINF2.txt file has been deleted. \n"},
      {{}, {}, {}, ""},
  };
  for (const Case& c : cases) {
    FakeRemover remover(c.present, c.stuck, c.vanishing);
    RecordingConsole console;
    RemoveInfParts(kConfig, console, remover);
    EXPECT_EQ(console.text(), c.report);
    EXPECT_EQ(remover.present_.size(), c.stuck.size()) << "only stuck parts remain";
    EXPECT_EQ(remover.attempts_.size(), c.present.size()) << "absent parts are not touched";
  }
}

TEST(RemoveInfPartsTest, AnAcceptedRemovalThatLeavesTheFileIsAFailure) {
  FakeRemover remover({"ACQ\\dataINF1.txt", "ACQ\\dataINF2.txt"}, {}, {}, {"ACQ\\dataINF1.txt"});
  RecordingConsole console;
  RemoveInfParts(kConfig, console, remover);
  EXPECT_EQ(console.text(),
            "* Error:ACQ\\dataINF1.txt  can't be deleted. \n"
            "* ACQ\\dataINF2.txt file has been deleted. \n");
}

TEST(RemoveInfPartsTest, WritesNothingWhenNoPartExistsOnDisk) {
  // The real file layer, in a working directory that holds no ACQ folder at all.
  RecordingConsole console;
  AcqConfig config = ParseAcqConfig("#ACQ\n\nname:\"no-such-run-anywhere.txt\"\n1\n9\n").config;
  RemoveInfParts(config, console);
  EXPECT_EQ(console.text(), "");
}

}  // namespace
}  // namespace acqsort
