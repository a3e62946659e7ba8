#pragma once

#include <string>
#include <string_view>

#include "config/acq_config.h"
#include "common/failure.h"
#include "platform/console.h"

namespace acqsort {

// Reads the configuration file at `path` (read only, CR LF or LF), derives the run's file
// names and refuses a configuration that the run must not use, naming `path`; a failure
// carries a note when the operator likely slipped (the file is not there: started in
// another folder, a near name; the section ends early). Nothing has been created or changed
// when it fails.
//
// The section begins at the first line whose first four characters are "#ACQ". The line
// after it is skipped; the next holds the name in double quotes after a colon
// (key:"name"), the closing quote ending the line; the two after that hold the first and
// the last sequence number, each after the line's last colon.
//
// A byte-order mark is skipped, and UTF-16 with its mark is read as the same text. What the
// rules accept but an operator hardly ever means (a bound that goes on with digits, "20,000";
// a first bound above the last) is a warning on `console`.
Result<AcqConfig> ReadAcqConfig(const std::string& path, Console& console);

// The same for a configuration's text already in memory, with LF newlines.
Result<AcqConfig> ParseAcqConfig(std::string_view text, const std::string& path, Console& console);

// `acqFile` with `tag` inserted in front of its last four characters, which usually are
// the extension (characters: code points in a valid UTF-8 name, bytes otherwise):
// "ACQ\data.txt" with "R" gives "ACQ\dataR.txt". The insertion point is counted from the
// end of the whole path, so a path of fewer than four characters gets the tag in front.
std::string DeriveFileName(std::string_view acqFile, std::string_view tag);

}  // namespace acqsort
