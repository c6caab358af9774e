#include "system/worker_thread.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#endif

namespace lzhcli {

#ifdef _WIN32

struct Monitor::Platform {
  CRITICAL_SECTION lock;
  CONDITION_VARIABLE changed;
};

Monitor::Monitor() : platform_(std::make_unique<Platform>()) {
  InitializeCriticalSection(&platform_->lock);
  InitializeConditionVariable(&platform_->changed);
}
Monitor::~Monitor() { DeleteCriticalSection(&platform_->lock); }
void Monitor::Lock() { EnterCriticalSection(&platform_->lock); }
void Monitor::Unlock() { LeaveCriticalSection(&platform_->lock); }
void Monitor::Wait() { SleepConditionVariableCS(&platform_->changed, &platform_->lock, INFINITE); }
void Monitor::Wake() { WakeAllConditionVariable(&platform_->changed); }

struct WorkerThread::Platform {
  HANDLE thread = nullptr;
  void (*run)(void*) = nullptr;
  void* argument = nullptr;
  static DWORD WINAPI Entry(LPVOID self) {
    auto* p = static_cast<Platform*>(self);
    p->run(p->argument);
    return 0;
  }
};

bool WorkerThread::Start(void (*run)(void*), void* argument) {
  if (running_) return false;
  platform_->run = run;
  platform_->argument = argument;
  platform_->thread = CreateThread(nullptr, 0, Platform::Entry, platform_.get(), 0, nullptr);
  running_ = platform_->thread != nullptr;
  return running_;
}

void WorkerThread::Join() {
  if (!running_) return;
  WaitForSingleObject(platform_->thread, INFINITE);
  CloseHandle(platform_->thread);
  running_ = false;
}

#else

struct Monitor::Platform {
  pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
};

Monitor::Monitor() : platform_(std::make_unique<Platform>()) {}
Monitor::~Monitor() {
  pthread_cond_destroy(&platform_->changed);
  pthread_mutex_destroy(&platform_->lock);
}
void Monitor::Lock() { pthread_mutex_lock(&platform_->lock); }
void Monitor::Unlock() { pthread_mutex_unlock(&platform_->lock); }
void Monitor::Wait() { pthread_cond_wait(&platform_->changed, &platform_->lock); }
void Monitor::Wake() { pthread_cond_broadcast(&platform_->changed); }

struct WorkerThread::Platform {
  pthread_t thread{};
  void (*run)(void*) = nullptr;
  void* argument = nullptr;
  static void* Entry(void* self) {
    auto* p = static_cast<Platform*>(self);
    p->run(p->argument);
    return nullptr;
  }
};

bool WorkerThread::Start(void (*run)(void*), void* argument) {
  if (running_) return false;
  platform_->run = run;
  platform_->argument = argument;
  // The new thread inherits the mask in force as it starts.
  sigset_t all, saved;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &saved);
  running_ = pthread_create(&platform_->thread, nullptr, Platform::Entry, platform_.get()) == 0;
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  return running_;
}

void WorkerThread::Join() {
  if (!running_) return;
  pthread_join(platform_->thread, nullptr);
  running_ = false;
}

#endif

#ifdef _WIN32

bool SecondCoreIsFree() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  return system.dwNumberOfProcessors >= 2;
}

#else

namespace {

// The fourth field of /proc/loadavg, "running/total": the tasks running or
// ready to run, the reading one among them. -1 where it cannot be read.
int TasksRunning() {
  std::FILE* file = std::fopen("/proc/loadavg", "r");
  if (file == nullptr) return -1;
  double averages[3];
  int running = -1, total = 0;
  if (std::fscanf(file, "%lf %lf %lf %d/%d", &averages[0], &averages[1], &averages[2], &running,
                  &total) != 5)
    running = -1;
  std::fclose(file);
  return running;
}

}  // namespace

bool SecondCoreIsFree() {
  cpu_set_t usable;
  if (sched_getaffinity(0, sizeof usable, &usable) != 0) return false;
  const int cores = CPU_COUNT(&usable);
  if (cores < 2) return false;
  // A first look that finds a core idle decides: what keeps a core busy (a
  // task that computes) is counted at every look. One that finds none may
  // have met a passing task: two more looks, half a millisecond apart, and
  // a core is free when both find one.
  for (int look = 0; look < 3; ++look) {
    if (look > 0) {
      const timespec pause = {0, 500000};
      nanosleep(&pause, nullptr);
    }
    const int running = TasksRunning();
    if (running < 0) {
      // Without the count, the last minute's load average, with half a
      // core of slack for this program's own earlier runs.
      double load = 0;
      if (getloadavg(&load, 1) != 1) load = 0;
      return load < cores - 0.5;
    }
    const bool idle = running - 1 <= cores - 2;
    if (look == 0 && idle) return true;
    if (look > 0 && !idle) return false;
  }
  return true;
}

#endif

WorkerThread::WorkerThread() : platform_(std::make_unique<Platform>()) {}
WorkerThread::~WorkerThread() { Join(); }

}  // namespace lzhcli
