#include "platform/zeroed_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace acqsort {
namespace {

// Sizes around the 2 MiB pages that Linux may back the block with, and the sort's table.
TEST(ZeroedMemoryTest, EveryByteReadsZeroAndCanBeWritten) {
  for (size_t bytes : {size_t{1}, size_t{4096}, (size_t{2} << 20) - 1, size_t{2} << 20,
                       (size_t{2} << 20) + 1, size_t{999999} * sizeof(size_t)}) {
    ZeroedMemory memory(bytes);
    unsigned char* data = static_cast<unsigned char*>(memory.data());
    ASSERT_NE(data, nullptr) << bytes;
    size_t nonZero = 0;
    for (size_t i = 0; i < bytes; ++i) nonZero += data[i] != 0;
    EXPECT_EQ(nonZero, 0u) << bytes;
    std::memset(data, 0xA5, bytes);
    EXPECT_EQ(data[0], 0xA5) << bytes;
    EXPECT_EQ(data[bytes - 1], 0xA5) << bytes;
  }
}

TEST(ZeroedMemoryTest, AnEmptyBlockHoldsNothing) {
  ZeroedMemory memory(0);
  EXPECT_EQ(memory.data(), nullptr);
}

TEST(ZeroedMemoryTest, ABlockTheSystemCannotGiveIsBadAlloc) {
  EXPECT_THROW(ZeroedMemory(SIZE_MAX / 2), std::bad_alloc);
}

}  // namespace
}  // namespace acqsort
