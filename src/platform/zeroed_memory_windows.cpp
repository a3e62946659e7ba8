#include "platform/zeroed_memory.h"

#include <windows.h>

#include <new>

namespace acqsort {

ZeroedMemory::ZeroedMemory(size_t bytes) {
  if (bytes == 0) return;
  // Committed pages read as zero until written; physical pages come with the first touch.
  base_ = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (base_ == nullptr) throw std::bad_alloc();
  bytes_ = bytes;
}

ZeroedMemory::~ZeroedMemory() {
  if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
}

}  // namespace acqsort
