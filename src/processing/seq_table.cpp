#include "processing/seq_table.h"

#include <algorithm>
#include <new>

#include "processing/acq_lines.h"

namespace acqsort {

SeqTable::SeqTable(int32_t firstSeq, int32_t lastSeq)
    : lowest_(std::max<int32_t>(firstSeq, 1)),
      highest_(std::min<int32_t>(lastSeq, kLargestSequenceNumber)) {
  if (lowest_ > highest_) return;
  count_ = static_cast<size_t>(highest_ - lowest_) + 1;
  slots_.reset(static_cast<SeqSlot*>(std::calloc(count_, sizeof(SeqSlot))));
  if (!slots_) throw std::bad_alloc();
  occupiedBlocks_.assign((count_ + kBlock * 64 - 1) / (kBlock * 64), 0);
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
