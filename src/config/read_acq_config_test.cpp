#include "config/read_acq_config.h"

#include <gtest/gtest.h>

#include "testing/scratch.h"

namespace acqsort {
namespace {

struct ConfigCase {
  const char* what;
  const char* text;
  const char* acqFile;
  int32_t firstSeq;
  int32_t lastSeq;
  const char* fault;  // a part of the expected fault, or "" for none
};

const ConfigCase kConfigCases[] = {
    {"typical", "#ACQ\nfile\nname:\"data.txt\"\nfirst: 1\nlast: 500\n", "ACQ\\data.txt", 1,
     500, ""},
    {"lines before the marker are ignored, however they look",
     "#AC\n#acq name:\"x.txt\"\n x #ACQ\n#ACQ section\nskip\nn:\"data.txt\"\na:2\nb:3\n",
     "ACQ\\data.txt", 2, 3, ""},
    {"the line after the marker is never examined",
     "#ACQ\nname:\"wrong.txt\"\nname:\"right.txt\"\nfirst:1\nlast:2\n", "ACQ\\right.txt", 1,
     2, ""},
    {"two colon-quote pairs: the name follows the second",
     "#ACQ\n\na:\"b:\"data.txt\"\n1\n2\n", "ACQ\\data.txt", 1, 2, ""},
    {"no colon-quote pair: the name runs from the start of the line",
     "#ACQ\n\ndata.txt\"\n1\n2\n", "ACQ\\data.txt", 1, 2, ""},
    {"a blank between colon and quote keeps the key in the name",
     "#ACQ\n\nname: \"data.txt\"\n1\n2\n", "ACQ\\name: \"data.txt", 1, 2, ""},
    {"neither pair nor closing quote gives the empty name", "#ACQ\n\ndata.txt\n1\n2\n",
     "ACQ\\", 1, 2, ""},
    {"number lines: trailing comma, empty, negative, no colon",
     "#ACQ\n\nn:\"data.txt\"\nx: 25,\nx:\n", "ACQ\\data.txt", 25, 0, ""},
    {"negative bound and a line without colon",
     "#ACQ\n\nn:\"data.txt\"\nx: -3\n  +42 and more\n", "ACQ\\data.txt", -3, 42, ""},
    {"the number follows the last colon", "#ACQ\n\nn:\"data.txt\"\na:b: 7\nc:d:e:8\n",
     "ACQ\\data.txt", 7, 8, ""},
    {"the last bound line may lack its newline", "#ACQ\n\nn:\"data.txt\"\nx: 5\nx: 600",
     "ACQ\\data.txt", 5, 600, ""},
    {"a number text longer than 19 characters is converted whole",
     "#ACQ\n\nn:\"data.txt\"\nx: 000000000000000000000000000017\nx:9\n", "ACQ\\data.txt",
     17, 9, ""},
    {"the 32-bit extremes", "#ACQ\n\nn:\"data.txt\"\nx:-2147483648\nx:2147483647\n",
     "ACQ\\data.txt", -2147483648, 2147483647, ""},
    {"lines after the section are not read", "#ACQ\n\nn:\"data.txt\"\n1\n2\n#ACQ\n\nn:\"o.txt\"\n",
     "ACQ\\data.txt", 1, 2, ""},
    {"a long line before the marker plants no marker",
     "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
     "xxxxxxxxx#ACQ\n#ACQ\n\nn:\"data.txt\"\n1\n2\n",
     "ACQ\\data.txt", 1, 2, ""},
    {"a long name is kept whole",
     "#ACQ\n\nn:\"a-name-that-is-far-longer-than-forty-nine-characters-in-all.txt\"\n1\n2\n",
     "ACQ\\a-name-that-is-far-longer-than-forty-nine-characters-in-all.txt", 1, 2, ""},

    {"no marker", "name:\"data.txt\"\n1\n2\n", "ACQ\\", 0, 0, "no line beginning with \"#ACQ\""},
    {"a lower-case marker is no marker", "#acq\n\nn:\"data.txt\"\n1\n2\n", "ACQ\\", 0, 0,
     "no line beginning"},
    {"the file ends right after the marker", "#ACQ\n", "ACQ\\", 0, 0,
     "ends before the line of the last"},
    {"the file ends before the last bound", "#ACQ\n\nn:\"data.txt\"\n4\n", "ACQ\\data.txt", 4,
     0, "ends before the line of the last"},
    {"a colon-quote pair without closing quote", "#ACQ\n\nn:\"data.txt\n1\n2\n", "ACQ\\", 1,
     2, "no closing quote"},
    {"the closing quote must end the line", "#ACQ\n\nn:\"data.txt\" \n1\n2\n", "ACQ\\", 1, 2,
     "no closing quote"},
    {"a first bound beyond 32 bits", "#ACQ\n\nn:\"data.txt\"\nx:2147483648\nx:1\n",
     "ACQ\\data.txt", 2147483647, 1, "first sequence number outside"},
    {"a last bound beyond 32 bits", "#ACQ\n\nn:\"data.txt\"\nx:1\nx:-2147483649\n",
     "ACQ\\data.txt", 1, -2147483648, "last sequence number outside"},
};

TEST(ParseAcqConfigTest, ReadsTheSectionAfterTheMarker) {
  for (const ConfigCase& c : kConfigCases) {
    SCOPED_TRACE(c.what);
    AcqConfigReading reading = ParseAcqConfig(c.text);
    EXPECT_EQ(reading.config.acqFile, c.acqFile);
    EXPECT_EQ(reading.config.firstSeq, c.firstSeq);
    EXPECT_EQ(reading.config.lastSeq, c.lastSeq);
    if (*c.fault == '\0') {
      EXPECT_EQ(reading.fault, "");
    } else {
      EXPECT_NE(reading.fault.find(c.fault), std::string::npos) << reading.fault;
    }
  }
}

TEST(ParseAcqConfigTest, DerivesTheSixOtherNames) {
  AcqConfig config = ParseAcqConfig("#ACQ\n\nname:\"data.txt\"\n1\n500\n").config;
  EXPECT_EQ(config.acqFile, "ACQ\\data.txt");
  EXPECT_EQ(config.infFile, "ACQ\\dataINF.txt");
  EXPECT_EQ(config.inf1File, "ACQ\\dataINF1.txt");
  EXPECT_EQ(config.inf2File, "ACQ\\dataINF2.txt");
  EXPECT_EQ(config.inf3File, "ACQ\\dataINF3.txt");
  EXPECT_EQ(config.infAllLabel, "ACQ\\dataINF1-2-3.txt");
  EXPECT_EQ(config.sortedFile, "ACQ\\dataR.txt");
}

TEST(ReadAcqConfigTest, ReadsCrLfFilesLikeLfFiles) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("ACQ.config");
  testutil::WriteBytes(path, "[general]\r\n#ACQ out\r\nfile\r\nname:\"data.txt\"\r\nfirst: 3\r\nlast: 9\r\n");
  Result<AcqConfigReading> reading = ReadAcqConfig(path);
  ASSERT_TRUE(reading.ok()) << reading.failure().reason;
  EXPECT_EQ(reading.value().fault, "");
  EXPECT_EQ(reading.value().config.acqFile, "ACQ\\data.txt");
  EXPECT_EQ(reading.value().config.firstSeq, 3);
  EXPECT_EQ(reading.value().config.lastSeq, 9);
}

TEST(ReadAcqConfigTest, AMissingFileIsAFailureNamingIt) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("missing.config");
  Result<AcqConfigReading> reading = ReadAcqConfig(path);
  ASSERT_FALSE(reading.ok());
  EXPECT_EQ(reading.failure().file, path);
  EXPECT_NE(reading.failure().reason.find("can't be opened"), std::string::npos);
}

}  // namespace
}  // namespace acqsort
