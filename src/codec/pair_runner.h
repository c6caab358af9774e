// How the encoder may use a second core: it hands over two pieces of work
// and waits for both; the second may wait once for a signal from the
// first. The core library starts no threads of its own (the stub links
// it); the command-line side provides a runner that does.
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
  virtual void RunPair(Work& first, Work& second) = 0;
  // Within RunPair: first calls Signal once, and second's Wait returns
  // only after it (at once when first has run to its end already).
  virtual void Signal() = 0;
  virtual void Wait() = 0;
};

}  // namespace lzh
