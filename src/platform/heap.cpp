#include "platform/heap.h"

#include <cstdlib>

namespace lzh {

namespace {
long allocationBudget = -1;
}

void SetAllocationBudget(long blocks) { allocationBudget = blocks; }

// noinline keeps the caller's return address meaningful in the report.
__attribute__((noinline)) void* AllocateBlock(std::size_t bytes) {
  void* block = nullptr;
  if (allocationBudget != 0) block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) RuntimeErrorOutOfMemory(__builtin_return_address(0));
  if (allocationBudget > 0) --allocationBudget;
  return block;
}

void ReleaseBlock(void* block) { std::free(block); }

void FormatRuntimeError203(char (&text)[32], std::uint32_t offset) {
  static const char kPrefix[] = "Runtime error 203 at ";
  static const char kHex[] = "0123456789ABCDEF";
  int i = 0;
  for (; kPrefix[i] != 0; ++i) text[i] = kPrefix[i];
  for (int shift = 28; shift >= 0; shift -= 4) text[i++] = kHex[(offset >> shift) & 0xF];
  text[i] = 0;
}

}  // namespace lzh
