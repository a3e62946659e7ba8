#include "config/acq_file_names.h"

#include <gtest/gtest.h>

#include "config/read_acq_config.h"
#include "testing/recording_console.h"
#include "testing/scratch.h"

namespace acqsort {
namespace {

// A configuration for `name` with its derived names, unchecked.
AcqConfig WithName(const std::string& name) {
  AcqConfig config;
  config.acqFile = kAcqFolderPrefix + name;
  config.sortedFile = DeriveFileName(config.acqFile, "R");
  config.infFile = DeriveFileName(config.acqFile, "INF");
  config.inf1File = DeriveFileName(config.acqFile, "INF1");
  config.inf2File = DeriveFileName(config.acqFile, "INF2");
  config.inf3File = DeriveFileName(config.acqFile, "INF3");
  return config;
}

// Why the names of `config` are refused, or an empty text.
std::string Refusal(const AcqConfig& config) {
  Outcome checked = CheckAcqFileNames(config, "CONFIG\\ACQ.config");
  if (checked.ok()) return std::string();
  EXPECT_EQ(checked.failure().file, "CONFIG\\ACQ.config");
  return checked.failure().reason;
}

TEST(CheckAcqFileNamesTest, AcceptsPlainNamesInsideTheAcqFolder) {
  for (const char* name : {"data.txt", "abcd", "sub\\data.txt", "sub/data.txt", "a..b.txt", ".data.txt", "sub\\.hidden\\data.txt",
                           "long name with blanks.txt", "COM.txt", "COM10.txt", "CONSOLE.txt", "NULL.txt",
                           "xCON.txt", "nul_data.txt", "Gr\xC3\xB6\xC3\x9F" "e"}) {
    EXPECT_EQ(Refusal(WithName(name)), "") << name;
  }
}

TEST(CheckAcqFileNamesTest, RefusesNamesThatAreUnsafeToBuildFilesFrom) {
  struct Case {
    AcqConfig config;
    const char* reason;
  };
  const Case cases[] = {
      {WithName("abc"), "shorter than four characters"},
      {WithName(""), "shorter than four characters"},
      {WithName("\\data.txt"), "absolute path"},
      {WithName("/etc/data.txt"), "absolute path"},
      {WithName("C:data.txt"), "absolute path"},
      {WithName("..\\data.txt"), "steps out of the ACQ folder"},
      {WithName("sub/../../data.txt"), "steps out of the ACQ folder"},
      {WithName("sub\\...\\data.txt"), "its part \"...\" ends in a dot, which Windows drops"},
      {WithName("data../x.txt"), "its part \"data..\" ends in a dot"},
      {WithName("data.txt."), "its part \"data.txt.\" ends in a dot"},
      {WithName("sub.\\data.txt"), "its part \"sub.\" ends in a dot"},
      {WithName("sub \\data.txt"), "its part \"sub \" ends in a blank, which Windows drops"},
      {WithName("data.txt "), "ends in a blank, which Windows drops (is there a blank before the closing quote?)"},
      {WithName("NUL.txt"), "\"NUL\" is a name that Windows keeps for a device"},
      {WithName("con"), "shorter than four characters"},
      {WithName("CON.txt"), "\"CON\" is a name that Windows keeps for a device"},
      {WithName("aux .tar.gz"), "\"aux\" is a name that Windows keeps for a device"},
      {WithName("Com7.log"), "\"Com7\" is a name that Windows keeps for a device"},
      {WithName("LPT0.dat"), "\"LPT0\" is a name that Windows keeps for a device"},
      {WithName("conin$.txt"), "\"conin$\" is a name that Windows keeps for a device"},
      {WithName("CONOUT$.x"), "\"CONOUT$\" is a name that Windows keeps for a device"},
      {WithName("COM\xC2\xB9.txt"), "is a name that Windows keeps for a device"},
      {WithName("LPT\xB3.txt"), "is a name that Windows keeps for a device"},
      {WithName("nul\\data.txt"), "\"nul\" is a name that Windows keeps for a device"},
      {WithName("PN.tx"), "which makes the sorted file \"ACQ\\PRN.tx\": \"PRN\" is a name that Windows keeps for a device"},
      {WithName("\xC3\xA4" "bc"), "shorter than four characters"},
      {WithName("data\\"), "which ends in a separator: it must name a file"},
      {WithName("p\\xyz"), "whose last part \"xyz\" is shorter than four characters"},
      {WithName("long folder/ab"), "whose last part \"ab\" is shorter than four characters"},
      {WithName("sub\\\xC3\xA4" "bc"), "is shorter than four characters"},
      {WithName("sub/data/"), "which ends in a separator: it must name a file"},
      {WithName("da|ta.txt"), "a character that file names can't hold"},
      {WithName("data?.txt"), "a character that file names can't hold"},
      {WithName("data\t.txt"), "\"data\\x09.txt\""},
      {WithName("name: \"data.txt"), "is there a blank between the colon and the opening quote?"},
  };
  for (const Case& c : cases) {
    std::string reason = Refusal(c.config);
    EXPECT_NE(reason.find(c.reason), std::string::npos)
        << c.config.acqFile << " gave: " << reason;
  }
}

TEST(ReadAcqConfigTest, RefusalsNameTheConfigurationFile) {
  testutil::ScratchDir dir;
  testutil::RecordingConsole notes;
  const std::string path = dir.Path("ACQ.config");
  testutil::WriteBytes(path, "#ACQ\n\nname:\"ab\"\n1\n2\n");
  Result<AcqConfig> refused = ReadAcqConfig(path, notes);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.failure().file, path);
  EXPECT_NE(refused.failure().reason.find("shorter than four"), std::string::npos);

  testutil::WriteBytes(path, "#ACQ\n\nname:\"data.txt\"\n");
  refused = ReadAcqConfig(path, notes);
  ASSERT_FALSE(refused.ok());
  EXPECT_NE(refused.failure().reason.find("ends before"), std::string::npos);

  testutil::WriteBytes(path, "#ACQ\n\nname:\"data.txt\"\n1\n2\n");
  Result<AcqConfig> loaded = ReadAcqConfig(path, notes);
  ASSERT_TRUE(loaded.ok()) << loaded.failure().reason;
  EXPECT_EQ(loaded.value().sortedFile, "ACQ\\dataR.txt");
}

}  // namespace
}  // namespace acqsort
