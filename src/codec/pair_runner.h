// How the encoder may use a second core: it hands over two pieces of work
// that share nothing and waits for both. The core library starts no
// threads of its own (the stub links it); the command-line side provides
// a runner that does.
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
};

}  // namespace lzh
