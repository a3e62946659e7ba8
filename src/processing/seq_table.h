#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace acqsort {

// Asks the processor to bring the memory at `address` (and the next cache line, since most
// lines are short but straddle two) into its caches; a hint with no effect on results.
inline void PrefetchForReading(const char* address) {
#if defined(__GNUC__) || defined(__clang__)
  // The second address may lie past the end of the text: computed as an integer, since a
  // prefetch never faults but pointer arithmetic past an object is not allowed. Locality 1
  // (not 0, the non-temporal hint) lets more lines be on their way at once (docs/performance.md).
  __builtin_prefetch(address, 0, 1);
  __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(address) + 64), 0, 1);
#else
  (void)address;
#endif
}

// One entry of the table: where its line starts in the text, plus one; 0 while empty.
using SeqSlot = size_t;

// Files lines under their sequence numbers by direct addressing: one slot for each number
// that can be written, from max(first, 1) to min(last, 999999), whatever the bounds; a
// range that holds no such number gives an empty table. A slot remembers where its line
// starts in the text, so that no line is copied.
//
// The slots come zero-filled from calloc(), which takes a block this large straight from
// the system's zero pages, so that the pages of empty stretches are never touched; a bit
// for each block of 64 slots tells whether any of them is filled, so that a short file
// costs little whatever the range.
class SeqTable {
 public:
  SeqTable(int32_t firstSeq, int32_t lastSeq);

  // Files the line starting at `offset` under `seq`, replacing an earlier line with the
  // same number, and says whether `seq` has a slot; numbers without one are ignored. The
  // slot is only stored to, never read: a read of a random slot would wait for memory.
  bool File(int32_t seq, size_t offset) {
    if (seq < lowest_ || seq > highest_) return false;
    const size_t index = static_cast<size_t>(seq - lowest_);
    slots_[index] = offset + 1;
    occupiedBlocks_[index / (kBlock * 64)] |= uint64_t{1} << (index / kBlock % 64);
    return true;
  }

  // Calls `visit(offset)` for each filled slot in ascending order of numbers; stops when
  // `visit` returns false. The lines lie scattered over `text`: asking for a line a few
  // slots ahead hides most of the wait for memory, which otherwise dominates the sort.
  template <typename Visit>
  bool ForEachLine(const char* text, Visit visit) const {
    constexpr size_t kLookahead = 24;
    for (size_t word = 0; word < occupiedBlocks_.size(); ++word) {
      for (uint64_t bits = occupiedBlocks_[word]; bits != 0; bits &= bits - 1) {
        const size_t begin = (word * 64 + LowestBit(bits)) * kBlock;
        const size_t end = begin + kBlock < count_ ? begin + kBlock : count_;
        for (size_t i = begin; i < end; ++i) {
          if (i + kLookahead < count_ && slots_[i + kLookahead] != 0) {
            PrefetchForReading(text + slots_[i + kLookahead] - 1);
          }
          if (slots_[i] != 0 && !visit(slots_[i] - 1)) return false;
        }
      }
    }
    return true;
  }

 private:
  static constexpr size_t kBlock = 64;
  static size_t LowestBit(uint64_t bits);

  static size_t SlotCount(int32_t lowest, int32_t highest);
  // Zero-filled room for `count` slots; throws std::bad_alloc like new.
  static SeqSlot* Allocate(size_t count);

  int32_t lowest_;
  int32_t highest_;
  size_t count_;
  struct Free {
    void operator()(SeqSlot* slots) const { std::free(slots); }
  };
  std::unique_ptr<SeqSlot[], Free> memory_;
  SeqSlot* slots_;
  std::vector<uint64_t> occupiedBlocks_;  // bit b of word w: block 64 * w + b holds a line
};

}  // namespace acqsort
