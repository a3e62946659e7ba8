#pragma once

#include <string>
#include <string_view>

#include "config/acq_config.h"
#include "platform/failure.h"

namespace acqsort {

// What a configuration file yields, together with the first reason found while reading it
// why the run must not use it. The record is filled the same way whether or not there is
// such a reason: a missing line leaves an empty name or a bound of 0.
struct [[nodiscard]] AcqConfigReading {
  AcqConfig config;
  std::string fault;  // empty when the reading found nothing wrong
};

// Reads the configuration from `text`, whose newlines are already single LFs.
//
// The section begins at the first line whose first four characters are "#ACQ". The line
// after it is skipped; the next holds the name in double quotes after a colon
// (key:"name"), the closing quote ending the line; the two after that hold the first and
// the last sequence number, each after the line's last colon.
AcqConfigReading ParseAcqConfig(std::string_view text);

// Reads the configuration file at `path` (read only, CR LF or LF) and parses it.
Result<AcqConfigReading> ReadAcqConfig(const std::string& path);

}  // namespace acqsort
