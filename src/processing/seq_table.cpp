#include "processing/seq_table.h"

#include <algorithm>

#include "processing/sequence_number.h"

namespace acqsort {

SeqTable::SeqTable(int32_t firstSeq, int32_t lastSeq)
    : lowest_(std::max<int32_t>(firstSeq, 1)),
      highest_(std::min<int32_t>(lastSeq, kLargestSequenceNumber)) {
  if (lowest_ <= highest_) slots_.assign(static_cast<size_t>(highest_ - lowest_) + 1, 0);
}

}  // namespace acqsort
