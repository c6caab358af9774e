// Every heap block of the program comes from AllocateBlock. A refused
// allocation is fatal: the program reports "Runtime error 203 at XXXXXXXX"
// (the offset of the failing code) and exits with code 203, so callers never
// see a null pointer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzh {

void* AllocateBlock(std::size_t bytes);
void ReleaseBlock(void* block);

// Reports memory exhaustion and ends the process (exit code 203).
// codeAddress is an address inside the code that asked for the block.
[[noreturn]] void RuntimeErrorOutOfMemory(const void* codeAddress);

// Formats "Runtime error 203 at " and eight upper-case hex digits of offset.
void FormatRuntimeError203(char (&text)[32], std::uint32_t offset);

// Test hook: after this many further successful allocations the heap
// refuses every request. Negative means never (the default).
void SetAllocationBudget(long blocks);

// An owned heap array of T, released on every way out of its scope.
template <typename T>
class HeapArray {
 public:
  HeapArray() = default;
  explicit HeapArray(std::size_t count)
      : data_(static_cast<T*>(AllocateBlock(count * sizeof(T)))), count_(count) {}
  ~HeapArray() { ReleaseBlock(data_); }
  HeapArray(const HeapArray&) = delete;
  HeapArray& operator=(const HeapArray&) = delete;

  T* Get() const { return data_; }
  std::size_t Size() const { return count_; }
  T& operator[](std::size_t i) const { return data_[i]; }

 private:
  T* data_ = nullptr;
  std::size_t count_ = 0;
};

}  // namespace lzh
