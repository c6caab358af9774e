// When a parse gives up, between blocks: its stream has grown past what
// the caller will keep, or what is packed so far is not shrinking.
#pragma once

#include <atomic>
#include <cstdint>

namespace lzh {

struct ParseLimits {
  std::int64_t bitLimit = -1;    // the output holds more bits than this (-1: never)
  std::int64_t giveUpAfter = 0;  // this many bytes packed (0: never) and their bits not a
                                 // 64th fewer than theirs
  // What was out some segments before this one: the give-up look counts
  // it, and leaves out the segments between, which may not be done yet.
  std::int64_t priorBits = 0;
  std::int64_t priorBytes = 0;

  // Set once the stream stops for another reason: a parse ahead of its
  // turn then ends at its next look instead of packing what goes nowhere.
  const std::atomic<bool>* cancelled = nullptr;

  bool Reached(std::int64_t outputBits, std::int64_t segmentBits, std::int64_t segmentBytes) const {
    if (cancelled != nullptr && cancelled->load(std::memory_order_relaxed)) return true;
    if (bitLimit >= 0 && outputBits > bitLimit) return true;
    const std::int64_t bytes = priorBytes + segmentBytes;
    return giveUpAfter > 0 && bytes >= giveUpAfter &&
           (priorBits + segmentBits) / 8 > bytes - bytes / 64;
  }
};

}  // namespace lzh
