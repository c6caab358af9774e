// Runs the encoder's two pieces of work at once: the first on a thread of
// its own, the second on the caller's. Where no thread (or lock) can be
// had, both run on the caller's, one after the other.
#pragma once

#ifndef _WIN32
#include <pthread.h>
#endif

#include "encoder/pair_runner.h"

namespace lzhwrite {

class ThreadPairRunner : public lzh::PairRunner {
 public:
  ThreadPairRunner();
  ~ThreadPairRunner() override;
  ThreadPairRunner(const ThreadPairRunner&) = delete;
  ThreadPairRunner& operator=(const ThreadPairRunner&) = delete;

  void RunPair(lzh::Work& first, lzh::Work& second) override;
  void Lock() override;
  void Unlock() override;
  void Sleep() override;
  void WakeAll() override;

 private:
#ifdef _WIN32
  // HANDLEs: a mutex, and a manual-reset event set by WakeAll and cleared
  // by a sleeper before it lets go of the mutex.
  void* lock_;
  void* changed_;
#else
  pthread_mutex_t lock_;
  pthread_cond_t changed_;
#endif
};

}  // namespace lzhwrite
