// The tool's large buffers: live ones never share bytes, also when more are
// asked for than the shared region holds, and the region serves again once
// all are released.
#include "system/large_buffer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

TEST(LargeBuffer, LiveBuffersNeverOverlap) {
  const std::size_t sizes[] = {1 << 20, 1 << 18, 1 << 18, 100, 1 << 20, 1 << 18};
  for (int round = 0; round < 2; ++round) {
    std::vector<std::unique_ptr<lzhcli::LargeBuffer>> buffers;
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
      buffers.push_back(std::make_unique<lzhcli::LargeBuffer>(sizes[i]));
      std::fill_n(buffers.back()->Get(), sizes[i], static_cast<std::uint8_t>(i + 1));
    }
    for (std::size_t i = 0; i < std::size(sizes); ++i)
      EXPECT_EQ(std::count(buffers[i]->Get(), buffers[i]->Get() + sizes[i], i + 1),
                static_cast<std::ptrdiff_t>(sizes[i]))
          << "buffer " << i << " was written over";
  }
}
