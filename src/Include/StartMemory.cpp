#include "StartMemory.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

// A sanitizer's allocator keeps each size of block in a region of its own:
// there is no one heap to warm.
#if defined(__SANITIZE_ADDRESS__)
#define PAGELUME_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PAGELUME_OWN_ALLOCATOR 1
#endif
#endif

std::size_t TakePages(void *begin, std::size_t size) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
  const uintptr_t from = (uintptr_t(begin) + page - 1) & ~(page - 1);
  const uintptr_t to = (uintptr_t(begin) + size) & ~(page - 1);
  if (to > from && madvise(reinterpret_cast<void *>(from), to - from, MADV_POPULATE_WRITE) == 0)
    return to - from;
#else
  (void)begin;
  (void)size;
#endif
  return 0;
}

std::size_t WarmHeap(std::size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE) && !defined(PAGELUME_OWN_ALLOCATOR)
  // Blocks below the allocator's threshold for separate mappings (128 KB)
  // come from the heap, one after the other.
  constexpr std::size_t blockSize = 112 * 1024;
  const std::size_t count = (bytes + blockSize - 1) / blockSize;
  std::vector<void *> blocks;
  blocks.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    if (void *block = std::malloc(blockSize))
      blocks.push_back(block);
  std::size_t taken = 0;
  if (blocks.size() > 1) {
    std::sort(blocks.begin(), blocks.end());
    // The highest block, cut to a few bytes, stays: it keeps the freed space
    // from being the heap's top, which the allocator gives back to the system
    // as soon as it grows past its threshold.
    void *fence = std::realloc(blocks.back(), 16);
    if (fence == blocks.back()) {
      blocks.pop_back();
      const uintptr_t from = uintptr_t(blocks.front());
      const uintptr_t to = uintptr_t(blocks.back()) + blockSize;
      // Only adjacent blocks (a block's header between them) make one range:
      // a block from a separate mapping would leave a gap.
      if (to - from <= blocks.size() * (blockSize + 4096))
        taken = TakePages(blocks.front(), to - from);
    } else if (fence) {
      blocks.back() = fence;
    }
  }
  for (void *block : blocks)
    std::free(block);
  return taken;
#else
  (void)bytes;
  return 0;
#endif
}
