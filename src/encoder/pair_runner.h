// How the encoder may use a second core: it hands over two pieces of work
// and waits for both, which share state under a lock and wait for each
// other's changes to it. The core library starts no threads of its own
// (the stub links it); the command-line side provides a runner that does.
#pragma once

namespace lzh {

class Work {
 public:
  virtual ~Work() = default;
  virtual void Run() = 0;
};

class PairRunner {
 public:
  virtual ~PairRunner() = default;
  // Runs both, at the same time where it can; returns when both are done.
  // Work run one after the other must never need to Sleep.
  virtual void RunPair(Work& first, Work& second) = 0;
  // The lock over what the two share. Sleep, called locked, lets go of it
  // until another holder calls WakeAll (or for no reason), then takes it
  // again.
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  virtual void Sleep() = 0;
  virtual void WakeAll() = 0;
};

}  // namespace lzh
