#include "processing/seq_table.h"

#include <algorithm>

#include "processing/acq_lines.h"

namespace acqsort {

SeqTable::SeqTable(int32_t firstSeq, int32_t lastSeq)
    : lowest_(std::max<int32_t>(firstSeq, 1)),
      highest_(std::min<int32_t>(lastSeq, kLargestSequenceNumber)),
      count_(SlotCount(lowest_, highest_)),
      memory_(count_ * sizeof(SeqSlot)),
      slots_(static_cast<SeqSlot*>(memory_.data())),
      occupiedBlocks_((count_ + kBlock * 64 - 1) / (kBlock * 64), 0) {}

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
