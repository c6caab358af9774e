// When a parse gives up, between blocks: its stream has grown past what
// the caller will keep, or its segment is not shrinking.
#pragma once

#include <cstdint>

namespace lzh {

struct ParseLimits {
  std::int64_t bitLimit = -1;    // the output holds more bits than this (-1: never)
  std::int64_t giveUpAfter = 0;  // this many bytes of the segment parsed (0: never)...

  // ...and its bits not a 64th fewer than theirs.
  bool Reached(std::int64_t outputBits, std::int64_t segmentBits, std::int64_t segmentBytes) const {
    if (bitLimit >= 0 && outputBits > bitLimit) return true;
    return giveUpAfter > 0 && segmentBytes >= giveUpAfter &&
           segmentBits / 8 > segmentBytes - segmentBytes / 64;
  }
};

}  // namespace lzh
