// Buffers that the tool's threads keep for a whole command: the write-behind's
// ring and the read-ahead blocks. Every fresh page of memory costs a fault
// when first touched, and in a virtual machine a fault may cost 10 µs: the
// ring's 256 pages were 2.5 ms of a 60 ms run. On Linux these buffers share
// one region of 2 MiB given as a transparent huge page where the system
// allows it, which takes one fault. Elsewhere, or where the region is full,
// they come from the heap. (Under AddressSanitizer always from the heap, so
// that its checks cover them.)
#pragma once

#include <cstddef>
#include <cstdint>

namespace lzhcli {

class LargeBuffer {
 public:
  LargeBuffer() = default;
  explicit LargeBuffer(std::size_t bytes) { Allocate(bytes); }
  ~LargeBuffer() { Release(); }
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  // Replaces the buffer with one of `bytes` (not cleared).
  void Allocate(std::size_t bytes);
  void Release();

  std::uint8_t* Get() const { return bytes_; }
  explicit operator bool() const { return bytes_ != nullptr; }

 private:
  std::uint8_t* bytes_ = nullptr;
  [[maybe_unused]] bool pooled_ = false;  // from the shared region (Linux only)
};

}  // namespace lzhcli
