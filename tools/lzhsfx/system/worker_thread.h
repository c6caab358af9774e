// A second thread of the command-line tool and the lock its work is handed
// over under: the platform's mutex, condition variable and thread, with the
// signals that interrupt an extraction kept away from the thread (they stay
// with the main thread, whose handler removes the partial file).
#pragma once

#include <memory>

namespace lzhcli {

// A lock with one condition, for the fields two threads share.
class Monitor {
 public:
  Monitor();
  ~Monitor();
  Monitor(const Monitor&) = delete;
  Monitor& operator=(const Monitor&) = delete;

  void Lock();
  void Unlock();
  // Waits, the lock held, until another thread calls Wake (or spuriously).
  void Wait();
  void Wake();

 private:
  struct Platform;
  std::unique_ptr<Platform> platform_;
};

// Holds a Monitor's lock for its scope.
class MonitorLock {
 public:
  explicit MonitorLock(Monitor& monitor) : monitor_(monitor) { monitor_.Lock(); }
  ~MonitorLock() { monitor_.Unlock(); }
  MonitorLock(const MonitorLock&) = delete;
  MonitorLock& operator=(const MonitorLock&) = delete;

 private:
  Monitor& monitor_;
};

// Runs run(argument) on a thread of its own from Start until it returns.
class WorkerThread {
 public:
  WorkerThread();
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // False when no thread could be started.
  bool Start(void (*run)(void*), void* argument);
  // Waits for the thread to end; nothing when none runs.
  void Join();
  bool Running() const { return running_; }

 private:
  struct Platform;
  std::unique_ptr<Platform> platform_;
  bool running_ = false;
};

// Whether a second thread would find a core of its own: the process may run
// on two cores or more and, where the system tells it, the tasks running or
// ready to run leave one of them idle (the other being this process's). The
// count is taken now (once where it finds a core idle, else up to three
// times over a millisecond), not averaged over the last minute, which runs
// of this program one after another raise by themselves. On a machine busy
// with other work a second thread only adds the cost of handing work over
// (a tenth to a fifth more CPU time, measured).
bool SecondCoreIsFree();

}  // namespace lzhcli
