#include "StartMemory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <vector>

namespace {
long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}
}  // namespace

// The allocations after WarmHeap find their pages there: writing 2 MB of
// small blocks costs (almost) no page fault.
TEST(StartMemory, AllocationsAfterWarmingFaultNoMore) {
  const std::size_t taken = WarmHeap(4u << 20);
  if (taken == 0)
    GTEST_SKIP() << "this system (or allocator) cannot take heap pages in one call";
  EXPECT_GE(taken, std::size_t(3) << 20);
  EXPECT_LE(taken, std::size_t(5) << 20);
  std::vector<char *> blocks;
  const long before = MinorFaults();
  for (int i = 0; i < 2048; ++i) {
    blocks.push_back(static_cast<char *>(std::malloc(1000)));
    std::memset(blocks.back(), i, 1000);
  }
  const long faults = MinorFaults() - before;
  for (char *block : blocks)
    std::free(block);
  // Without the warming this is about 500 (one per 4 KB page).
  EXPECT_LT(faults, 50);
}
