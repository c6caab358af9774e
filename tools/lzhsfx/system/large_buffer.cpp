#include "system/large_buffer.h"

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
#include <sys/mman.h>

#include <mutex>
#define LZH_HUGE_PAGE_POOL 1
#endif

namespace lzhcli {

#ifdef LZH_HUGE_PAGE_POOL

namespace {

constexpr std::size_t kRegionBytes = std::size_t{1} << 21;  // one huge page on x86-64 and arm64
constexpr std::size_t kAlignment = 64;

// Blocks are taken from the front in turn; the region is returned to the
// system once none is in use (the buffers live as long as the command).
struct Pool {
  std::mutex lock;
  std::uint8_t* region = nullptr;
  std::size_t used = 0;
  int live = 0;

  std::uint8_t* Take(std::size_t bytes) {
    std::lock_guard<std::mutex> guard(lock);
    bytes = (bytes + kAlignment - 1) & ~(kAlignment - 1);
    if (region == nullptr && !Map()) return nullptr;
    if (bytes > kRegionBytes - used) return nullptr;
    std::uint8_t* block = region + used;
    used += bytes;
    ++live;
    return block;
  }

  void Give() {
    std::lock_guard<std::mutex> guard(lock);
    if (--live == 0) {
      munmap(region, kRegionBytes);
      region = nullptr;
      used = 0;
    }
  }

  // Twice the size is mapped so that an aligned region lies within it; the
  // rest is unmapped at once.
  bool Map() {
    void* mapped =
        mmap(nullptr, 2 * kRegionBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return false;
    auto start = reinterpret_cast<std::uintptr_t>(mapped);
    auto aligned = (start + kRegionBytes - 1) & ~std::uintptr_t{kRegionBytes - 1};
    if (aligned > start) munmap(mapped, aligned - start);
    if (std::uintptr_t end = start + 2 * kRegionBytes; end > aligned + kRegionBytes)
      munmap(reinterpret_cast<void*>(aligned + kRegionBytes), end - aligned - kRegionBytes);
    region = reinterpret_cast<std::uint8_t*>(aligned);
    madvise(region, kRegionBytes, MADV_HUGEPAGE);  // a hint: refused, the pages come one by one
    return true;
  }
};

Pool pool;

}  // namespace

void LargeBuffer::Allocate(std::size_t bytes) {
  Release();
  bytes_ = pool.Take(bytes);
  pooled_ = bytes_ != nullptr;
  if (!pooled_) bytes_ = new std::uint8_t[bytes];
}

void LargeBuffer::Release() {
  if (pooled_)
    pool.Give();
  else
    delete[] bytes_;
  bytes_ = nullptr;
  pooled_ = false;
}

#else

void LargeBuffer::Allocate(std::size_t bytes) {
  Release();
  bytes_ = new std::uint8_t[bytes];
}

void LargeBuffer::Release() {
  delete[] bytes_;
  bytes_ = nullptr;
}

#endif

}  // namespace lzhcli
