// Runs the encoder's two segments at once: the first on a thread of its
// own, the second on the caller's. Where no thread can be started, both
// run on the caller's, one after the other.
#pragma once

#include "codec/pair_runner.h"

namespace lzhwrite {

class ThreadPairRunner : public lzh::PairRunner {
 public:
  void RunPair(lzh::Work& first, lzh::Work& second) override;
};

}  // namespace lzhwrite
