#include "heap_setup.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace swcli {

namespace {
constexpr size_t kReserve = size_t(1) << 30;  // address space the heap grows into, not memory
constexpr uintptr_t kHugePage = uintptr_t(1) << 21;
}  // namespace

void setUpHeap() {
  // Freed memory stays in the heap for the next vector; the top of the heap grows by a large
  // step once, so the range given huge pages below covers what later allocations use.
  mallopt(M_TRIM_THRESHOLD, int(kReserve));
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TOP_PAD, int(kReserve));
  // More than the heap's current top holds: the heap grows now, by the reserve.
  void* first = std::malloc(size_t(1) << 20);
  const uintptr_t start = reinterpret_cast<uintptr_t>(first);
  const uintptr_t end = reinterpret_cast<uintptr_t>(sbrk(0));
  std::free(first);
  if (end <= start) return;
  const uintptr_t from = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (end > from) madvise(reinterpret_cast<void*>(from), end - from, MADV_HUGEPAGE);
}

void setUpHeapForManyFiles() {
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_TOP_PAD, 16 << 20);
}

}  // namespace swcli
