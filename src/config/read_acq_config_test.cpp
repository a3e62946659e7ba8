#include "config/read_acq_config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/recording_console.h"
#include "testing/scratch.h"

namespace acqsort {
namespace {

// The configuration, read or parsed with its warnings set aside: most cases are about what
// is read.
Result<AcqConfig> Read(const std::string& path) {
  testutil::RecordingConsole warnings;
  return ReadAcqConfig(path, warnings);
}
Result<AcqConfig> Parse(std::string_view text, const std::string& path = kAcqConfigPath) {
  testutil::RecordingConsole warnings;
  return ParseAcqConfig(text, path, warnings);
}

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
     "#ACQ\n\nname: \"data.txt\"\n1\n2\n", "", 0, 0,
     "has the name \"name: \"data.txt\", which holds a character"},
    {"a name line without quotes is refused for that", "#ACQ\n\nname: data.txt\n1\n2\n",
     "", 0, 0, "has a name line without quotes: write it as name:\"data.txt\""},
    {"an empty name line has no quotes either", "#ACQ\n\n\n1\n2\n", "", 0, 0,
     "has a name line without quotes"},
    {"a missing opening quote is said so", "#ACQ\n\nname:data.txt\"\n1\n2\n", "", 0, 0,
     "has a name line without an opening quote"},
    {"a blank before the opening quote keeps its own hint", "#ACQ\n\nname: \"data.txt\"\n1\n2\n",
     "", 0, 0, "is there a blank between the colon and the opening quote?"},
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
    {"a blank after the closing quote is named", "#ACQ\n\nn:\"data.txt\" \n1\n2\n", "ACQ\\", 1, 2,
     "has a blank after the closing quote of its name"},
    {"a tab after the closing quote is named", "#ACQ\n\nn:\"data.txt\"\t \n1\n2\n", "ACQ\\", 1, 2,
     "has a tab after the closing quote of its name"},
    {"other text after the closing quote", "#ACQ\n\nn:\"data.txt\" ; main\n1\n2\n", "ACQ\\", 1, 2,
     "no closing quote right before the line end"},
    {"a first bound beyond 32 bits", "#ACQ\n\nn:\"data.txt\"\nx:2147483648\nx:1\n",
     "ACQ\\data.txt", 2147483647, 1, "first sequence number outside"},
    {"a last bound beyond 32 bits", "#ACQ\n\nn:\"data.txt\"\nx:1\nx:-2147483649\n",
     "ACQ\\data.txt", 1, -2147483648, "last sequence number outside"},
};

TEST(ParseAcqConfigTest, ReadsTheSectionAfterTheMarker) {
  for (const ConfigCase& c : kConfigCases) {
    SCOPED_TRACE(c.what);
    Result<AcqConfig> config = Parse(c.text, "CONFIG\\ACQ.config");
    if (*c.fault == '\0') {
      ASSERT_TRUE(config.ok()) << config.failure().reason;
      EXPECT_EQ(config.value().acqFile, c.acqFile);
      EXPECT_EQ(config.value().firstSeq, c.firstSeq);
      EXPECT_EQ(config.value().lastSeq, c.lastSeq);
    } else {
      ASSERT_FALSE(config.ok()) << "accepted, with the name " << config.value().acqFile;
      EXPECT_EQ(config.failure().file, "CONFIG\\ACQ.config");
      EXPECT_NE(config.failure().reason.find(c.fault), std::string::npos) << config.failure().reason;
    }
  }
}

TEST(ParseAcqConfigTest, DerivesTheSixOtherNames) {
  AcqConfig config = Parse("#ACQ\n\nname:\"data.txt\"\n1\n500\n").value();
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
  Result<AcqConfig> config = Read(path);
  ASSERT_TRUE(config.ok()) << config.failure().reason;
  EXPECT_EQ(config.value().acqFile, "ACQ\\data.txt");
  EXPECT_EQ(config.value().firstSeq, 3);
  EXPECT_EQ(config.value().lastSeq, 9);
}

// What Windows editors save: the same configuration with a UTF-8 mark, and as UTF-16 in
// either byte order, reads as the plain one, the name with its non-ASCII letters included.
TEST(ReadAcqConfigTest, ReadsWhatWindowsEditorsSave) {
  const std::string plain = "#ACQ\r\n\r\nname:\"Gr\xC3\xB6\xC3\x9F" "e.txt\"\r\nfirst: 1\r\nlast: 9\r\n";
  auto utf16 = [&](bool bigEndian) {
    // The text above holds only characters below U+0100: one UTF-16 unit each.
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (size_t i = 0; i < plain.size(); ++i) {
      unsigned code = static_cast<unsigned char>(plain[i]);
      if (code >= 0xC0) code = ((code & 0x1F) << 6) | (static_cast<unsigned char>(plain[++i]) & 0x3F);
      const char low = static_cast<char>(code & 0xFF);
      const char high = static_cast<char>(code >> 8);
      out += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return out;
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"plain", plain},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + plain},
      {"UTF-16 LE (Notepad's Unicode)", utf16(false)},
      {"UTF-16 BE", utf16(true)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testutil::ScratchDir dir;
    const std::string path = dir.Path("ACQ.config");
    testutil::WriteBytes(path, c.bytes);
    Result<AcqConfig> config = Read(path);
    ASSERT_TRUE(config.ok()) << config.failure().reason;
    EXPECT_EQ(config.value().acqFile, "ACQ\\Gr\xC3\xB6\xC3\x9F" "e.txt");
    EXPECT_EQ(config.value().sortedFile, "ACQ\\Gr\xC3\xB6\xC3\x9F" "eR.txt");
    EXPECT_EQ(config.value().lastSeq, 9);
  }
}

TEST(ReadAcqConfigTest, RefusesLinesThatEndInACrAloneAndBrokenUtf16) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("ACQ.config");
  testutil::WriteBytes(path, "#ACQ\r\rname:\"data.txt\"\r1\r9\r");
  Result<AcqConfig> config = Read(path);
  ASSERT_FALSE(config.ok());
  EXPECT_EQ(config.failure().reason,
            "has lines that end in a CR alone (an old Mac text): save it with Windows (CR LF) or Unix (LF) line ends");
  testutil::WriteBytes(path, std::string("\xFF\xFE#\0A\0C", 7));
  config = Read(path);
  ASSERT_FALSE(config.ok());
  EXPECT_EQ(config.failure().reason, "can't be read: its UTF-16 text is not well-formed");
}

TEST(ParseAcqConfigTest, WarnsOfBoundLinesThatReadOtherwiseThanTheyLook) {
  struct Case {
    const char* firstLine;
    const char* lastLine;
    std::vector<std::string> warnings;
  };
  const std::string prefix = "acqsort: warning: CONFIG\\ACQ.config ";
  const auto swapped = [](const std::string& first, const std::string& last) {
    return "acqsort: warning: CONFIG\\ACQ.config: the first sequence number " + first + " is above the last, " +
           last + ": the sorted file will be empty";
  };
  const std::string separators = "the line goes on with digits after it; write the number without "
                                 "separators if more was meant";
  const Case cases[] = {
      // As meant: a plain number, a sign, blanks around it, one comma after it.
      {"first: 1", "last: 500", {}},
      {"first: 25,", "last:500 ", {}},
      {"first:\t-3", "last: +42 , ", {}},
      // Separators or an exponent: only the number before them counts.
      {"first: 1", "last: 20,000", {prefix + "line 5 (\"last: 20,000\"): the last sequence number reads as 20: " + separators}},
      {"first: 999.999", "last: 999999", {prefix + "line 4 (\"first: 999.999\"): the first sequence number reads as 999: " + separators}},
      {"first: 1", "last: 20 000", {prefix + "line 5 (\"last: 20 000\"): the last sequence number reads as 20: " + separators}},
      {"first: 1", "last: 1e6", {prefix + "line 5 (\"last: 1e6\"): the last sequence number reads as 1: " + separators}},
      // A letter for a digit, words after the number, two commas.
      {"first: 1", "last sequence: 5OOO", {prefix + "line 5 (\"last sequence: 5OOO\"): the last sequence number reads as 5: "
                                                    "the line goes on after the number (\"OOO\")"}},
      {"first: 1", "last: +42 and more", {prefix + "line 5 (\"last: +42 and more\"): the last sequence number reads as 42: "
                                                   "the line goes on after the number (\"and more\")"}},
      {"first: 1,,", "last: 500", {prefix + "line 4 (\"first: 1,,\"): the first sequence number reads as 1: "
                                            "the line goes on after the number (\",,\")"}},
      // A second colon: the last one counts.
      {"first sequence: 1 (min 10:30)", "last: 500",
       {prefix + "line 4 (\"first sequence: 1 (min 10:30)\"): the first sequence number reads as 30: "
                 "it has more than one colon, and only the text after the last one counts"}},
      // No colon: the whole line is the number text.
      {"first: 1", "last sequence = 5000", {prefix + "line 5 (\"last sequence = 5000\"): the last sequence number reads as 0: "
                                                     "it has no colon, so the whole line is read as the number",
                                            swapped("1", "0")}},
      // Nothing, or no number, after the colon.
      {"first:", "last: 500", {prefix + "line 4 (\"first:\"): the first sequence number reads as 0: "
                                        "there is no number right after its colon"}},
      {"first: 1", "last: ~500", {prefix + "line 5 (\"last: ~500\"): the last sequence number reads as 0: "
                                           "there is no number right after its colon",
                                  swapped("1", "0")}},
      {"first: 500", "last: 1", {swapped("500", "1")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.firstLine) + " / " + c.lastLine);
    testutil::RecordingConsole console;
    const std::string text = "#ACQ\n\nname:\"data.txt\"\n" + std::string(c.firstLine) + "\n" + c.lastLine + "\n";
    ASSERT_TRUE(ParseAcqConfig(text, "CONFIG\\ACQ.config", console).ok());
    std::string expected;
    for (const std::string& warning : c.warnings) expected += warning + "\n";
    EXPECT_EQ(console.notes(), expected);
    EXPECT_EQ(console.text(), "");
  }
}

TEST(ParseAcqConfigTest, AFileThatEndsEarlySaysWhatTheSectionNeeds) {
  Result<AcqConfig> config = Parse("#ACQ\n\nname:\"data.txt\"\n", "CONFIG\\ACQ.config");
  ASSERT_FALSE(config.ok());
  EXPECT_EQ(config.failure().reason, "ends before the line of the last sequence number");
  EXPECT_EQ(config.failure().note,
            "acqsort: the #ACQ section of CONFIG\\ACQ.config needs five lines: the \"#ACQ\" line, one line "
            "that is skipped, the name line, the first and the last sequence number; the file ends "
            "after 3 of them");
}

TEST(ReadAcqConfigTest, AMissingFileIsAFailureNamingIt) {
  testutil::ScratchDir dir;
  const std::string path = dir.Path("missing.config");
  Result<AcqConfig> config = Read(path);
  ASSERT_FALSE(config.ok());
  EXPECT_EQ(config.failure().file, path);
  EXPECT_NE(config.failure().reason.find("can't be opened"), std::string::npos);
  EXPECT_EQ(config.failure().note.rfind("acqsort: there is no " + path + " in the working directory ", 0), 0u)
      << config.failure().note;
}

TEST(DeriveFileNameTest, InsertsTheTagBeforeTheLastFourCharacters) {
  struct Case {
    const char* acqFile;
    const char* tag;
    const char* expected;
  };
  const Case cases[] = {
      {"ACQ\\data.txt", "INF", "ACQ\\dataINF.txt"},
      {"ACQ\\data.txt", "INF1-2-3", "ACQ\\dataINF1-2-3.txt"},
      {"ACQ\\data.txt", "R", "ACQ\\dataR.txt"},
      // Counted from the end of the whole path, never at a dot.
      {"ACQ\\run.2.csv", "R", "ACQ\\run.2R.csv"},
      {"ACQ\\data.text", "R", "ACQ\\data.Rtext"},
      {"ACQ\\noextension", "R", "ACQ\\noextenRsion"},
      // Short names put the tag inside the folder prefix.
      {"ACQ\\ab", "R", "ACRQ\\ab"},
      {"ACQ\\", "R", "RACQ\\"},
      {"ACQ\\", "INF1", "INF1ACQ\\"},
      // A valid UTF-8 name counts characters, so it derives as in a single-byte code page
      // (here Windows-1252), and a cut never falls inside a character.
      {"ACQ\\Gr\xC3\xB6\xC3\x9F" "e", "R", "ACQ\\GRr\xC3\xB6\xC3\x9F" "e"},
      {"ACQ\\Gr\xC3\xB6\xC3\x9F" "e", "INF1", "ACQ\\GINF1r\xC3\xB6\xC3\x9F" "e"},
      {"ACQ\\Gr\xF6\xDF" "e", "R", "ACQ\\GRr\xF6\xDF" "e"},
      {"ACQ\\x\xE2\x82\xAC\xE2\x82\xAC.t", "R", "ACQ\\xR\xE2\x82\xAC\xE2\x82\xAC.t"},
      {"ACQ\\data.\xF0\x9F\x93\x88", "R", "ACQ\\daRta.\xF0\x9F\x93\x88"},
      // Not valid UTF-8 (a lone continuation byte): bytes, as in a single-byte code page.
      {"ACQ\\data\x80\x80\x80", "R", "ACQ\\datRa\x80\x80\x80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeriveFileName(c.acqFile, c.tag), c.expected) << c.acqFile << " + " << c.tag;
  }
}

}  // namespace
}  // namespace acqsort
