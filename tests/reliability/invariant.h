#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace acqsort::reliability {

// Every file under a folder: path relative to it (with '/') to content.
using Snapshot = std::map<std::string, std::string>;
Snapshot TakeSnapshot(const std::filesystem::path& dir);

// Makes `dir` a fresh copy of `pristine`, hard-linked: the tool never writes into its
// inputs, so the links are safe and cheap.
void Restore(const std::filesystem::path& pristine, const std::filesystem::path& dir);

// The working directory's files, for the configured name data.txt.
inline const std::string kConfig = "CONFIG/ACQ.config";
inline const std::string kAcq = "ACQ/data.txt";
inline const std::string kSorted = "ACQ/dataR.txt";
inline const std::string kMerged = "ACQ/dataINF.txt";
inline const std::string kParts[3] = {"ACQ/dataINF1.txt", "ACQ/dataINF2.txt", "ACQ/dataINF3.txt"};

// The merged file that the three parts of `before` make.
std::string CompleteMerge(const Snapshot& before);

// What must hold after any run, finished or killed: the configuration and the ACQ file are
// unchanged; the sorted and the merged file are each either as before or complete; every
// part either still exists unchanged or the complete merge exists; nothing else is there but,
// when `temporariesAllowed`, the tool's own temporary files. Returns the violations.
std::vector<std::string> CheckInvariant(const Snapshot& before, const Snapshot& after,
                                        const std::string& completeSorted,
                                        const std::string& completeMerged,
                                        bool temporariesAllowed);

}  // namespace acqsort::reliability
