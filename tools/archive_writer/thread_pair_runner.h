// Runs the encoder's two segments at once: the first on a thread of its
// own, the second on the caller's. Where no thread can be started, both
// run on the caller's, one after the other.
#pragma once

#ifndef _WIN32
#include <pthread.h>
#endif

#include "codec/pair_runner.h"

namespace lzhwrite {

class ThreadPairRunner : public lzh::PairRunner {
 public:
  ThreadPairRunner();
  ~ThreadPairRunner() override;
  ThreadPairRunner(const ThreadPairRunner&) = delete;
  ThreadPairRunner& operator=(const ThreadPairRunner&) = delete;

  void RunPair(lzh::Work& first, lzh::Work& second) override;
  void Signal() override;
  void Wait() override;

 private:
#ifdef _WIN32
  void* signalled_;  // the HANDLE of a manual-reset event, cleared for each pair
#else
  pthread_mutex_t lock_;
  pthread_cond_t changed_;
  bool signalled_ = false;
#endif
};

}  // namespace lzhwrite
