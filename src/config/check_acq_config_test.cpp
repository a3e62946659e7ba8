#include "config/check_acq_config.h"

#include <gtest/gtest.h>

#include "config/read_acq_config.h"
#include "testing/scratch.h"

namespace acqsort {
namespace {

AcqConfig WithName(const std::string& name) {
  return ParseAcqConfig("#ACQ\n\nname:\"" + name + "\"\n1\n2\n").config;
}

TEST(CheckAcqConfigTest, AcceptsPlainNamesInsideTheAcqFolder) {
  for (const char* name : {"data.txt", "abcd", "sub\\data.txt", "sub/data.txt", "a..b.txt", "data../x.txt",
                           "long name with blanks.txt"}) {
    EXPECT_EQ(CheckAcqConfig(WithName(name)), "") << name;
  }
}

TEST(CheckAcqConfigTest, RefusesNamesThatAreUnsafeToBuildFilesFrom) {
  struct Case {
    AcqConfig config;
    const char* reason;
  };
  const Case cases[] = {
      {WithName("abc"), "shorter than four characters"},
      {ParseAcqConfig("#ACQ\n\nnone\n1\n2\n").config, "shorter than four characters"},
      {WithName("\\data.txt"), "absolute path"},
      {WithName("/etc/data.txt"), "absolute path"},
      {WithName("C:data.txt"), "absolute path"},
      {WithName("..\\data.txt"), "steps out of the ACQ folder"},
      {WithName("sub/../../data.txt"), "steps out of the ACQ folder"},
      {WithName("sub\\...\\data.txt"), "steps out of the ACQ folder"},
      {WithName("da|ta.txt"), "a character that file names can't hold"},
      {WithName("data?.txt"), "a character that file names can't hold"},
      {WithName("data\t.txt"), "\"data\\x09.txt\""},
      {ParseAcqConfig("#ACQ\n\nname: \"data.txt\"\n1\n2\n").config,
       "is there a blank between the colon and the opening quote?"},
  };
  for (const Case& c : cases) {
    std::string reason = CheckAcqConfig(c.config);
    EXPECT_NE(reason.find(c.reason), std::string::npos)
        << c.config.acqFile << " gave: " << reason;
  }
}

TEST(LoadAcqConfigTest, RefusalsNameTheConfigurationFile) {
  testing::ScratchDir dir;
  const std::string path = dir.Path("ACQ.config");
  testing::WriteBytes(path, "#ACQ\n\nname:\"ab\"\n1\n2\n");
  Result<AcqConfig> refused = LoadAcqConfig(path);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.failure().file, path);
  EXPECT_NE(refused.failure().reason.find("shorter than four"), std::string::npos);

  testing::WriteBytes(path, "#ACQ\n\nname:\"data.txt\"\n");
  refused = LoadAcqConfig(path);
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.failure().reason.find("ends before"), std::string::npos);

  testing::WriteBytes(path, "#ACQ\n\nname:\"data.txt\"\n1\n2\n");
  Result<AcqConfig> loaded = LoadAcqConfig(path);
  ASSERT_TRUE(loaded.ok()) << loaded.failure().reason;
  EXPECT_EQ(loaded.value().sortedFile, "ACQ\\dataR.txt");
}

}  // namespace
}  // namespace acqsort
