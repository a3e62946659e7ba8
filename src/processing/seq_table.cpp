#include "processing/seq_table.h"

#include <algorithm>
#include <new>

#include "processing/acq_lines.h"

namespace acqsort {

SeqTable::SeqTable(int32_t firstSeq, int32_t lastSeq)
    : lowest_(std::max<int32_t>(firstSeq, 1)),
      highest_(std::min<int32_t>(lastSeq, kLargestSequenceNumber)),
      count_(SlotCount(lowest_, highest_)),
      memory_(Allocate(count_)),
      slots_(memory_.get()),
      occupiedBlocks_((count_ + kBlock * 64 - 1) / (kBlock * 64), 0) {}

SeqSlot* SeqTable::Allocate(size_t count) {
  // At least one slot, so that no table is a null pointer.
  void* slots = std::calloc(count == 0 ? 1 : count, sizeof(SeqSlot));
  if (slots == nullptr) throw std::bad_alloc();
  return static_cast<SeqSlot*>(slots);
}

size_t SeqTable::SlotCount(int32_t lowest, int32_t highest) {
  return lowest > highest ? 0 : static_cast<size_t>(highest - lowest) + 1;
}

size_t SeqTable::LowestBit(uint64_t bits) {
  size_t index = 0;
  while ((bits & 1) == 0) {
    bits >>= 1;
    ++index;
  }
  return index;
}

}  // namespace acqsort
