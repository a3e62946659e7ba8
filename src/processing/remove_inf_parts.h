#pragma once

#include <string>

#include "config/acq_config.h"
#include "platform/console.h"
#include "platform/failure.h"

namespace acqsort {

// The two file-system operations that the removal needs; tests put a double in their place.
class PathRemover {
 public:
  virtual ~PathRemover() = default;
  virtual bool Exists(const std::string& path) const;
  virtual Outcome Remove(const std::string& path) const;
};

// Removes the three part files, in order, once the merge holds their content. A part that
// does not exist is passed over without a word; each removal, or its failure, gets a line.
// A failed removal leaves the file in place and does not stop the others; a part that
// vanished meanwhile (another run removed it) counts as absent.
void RemoveInfParts(const AcqConfig& config, Console& console,
                    const PathRemover& remover = PathRemover());

}  // namespace acqsort
