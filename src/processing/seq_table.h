#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/prefetch.h"

namespace acqsort {

// One entry of the table: where its line starts in the text, plus one; 0 while empty.
using SeqSlot = size_t;

// Files lines under their sequence numbers by direct addressing: one slot for each number
// that can be written, from max(first, 1) to min(last, 999999), whatever the bounds; a
// range that holds no such number gives an empty table. A slot remembers where its line
// starts in the text, so that no line is copied.
class SeqTable {
 public:
  SeqTable(int32_t firstSeq, int32_t lastSeq);

  // Files the line starting at `offset` under `seq`, replacing an earlier line with the
  // same number. Numbers without a slot are ignored.
  void File(int32_t seq, size_t offset) {
    if (seq < lowest_ || seq > highest_) return;
    slots_[static_cast<size_t>(seq - lowest_)] = offset + 1;
  }

  // Calls `visit(offset)` for each filled slot in ascending order of numbers. The lines lie
  // scattered over `text`: asking for a line a few slots ahead hides most of the wait for
  // memory, which otherwise dominates the whole sort.
  template <typename Visit>
  bool ForEachLine(const char* text, Visit visit) const {
    constexpr size_t kLookahead = 16;
    const size_t count = slots_.size();
    for (size_t i = 0; i < count; ++i) {
      if (i + kLookahead < count && slots_[i + kLookahead] != 0) {
        PrefetchForReading(text + slots_[i + kLookahead] - 1);
      }
      if (slots_[i] != 0 && !visit(slots_[i] - 1)) return false;
    }
    return true;
  }

  size_t slotCount() const { return slots_.size(); }

 private:
  int32_t lowest_;
  int32_t highest_;
  std::vector<SeqSlot> slots_;
};

}  // namespace acqsort
