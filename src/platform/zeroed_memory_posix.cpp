#include "platform/zeroed_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace acqsort {

namespace {

// A length in whole huge pages lets the system place the block on a huge-page boundary.
constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

ZeroedMemory::ZeroedMemory(size_t bytes) {
  if (bytes == 0) return;
  if (bytes > SIZE_MAX - kHugePage) throw std::bad_alloc();
  const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* base = ::mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) throw std::bad_alloc();
  // A hint only: without transparent huge pages the block keeps ordinary pages.
  (void)::madvise(base, rounded, MADV_HUGEPAGE);
  base_ = base;
  bytes_ = rounded;
}

ZeroedMemory::~ZeroedMemory() {
  if (base_ != nullptr) ::munmap(base_, bytes_);
}

}  // namespace acqsort
