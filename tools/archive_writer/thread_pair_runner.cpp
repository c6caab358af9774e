#include "archive_writer/thread_pair_runner.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace lzhwrite {

namespace {

#ifdef _WIN32
DWORD WINAPI RunWork(LPVOID work) {
  static_cast<lzh::Work*>(work)->Run();
  return 0;
}
#else
void* RunWork(void* work) {
  static_cast<lzh::Work*>(work)->Run();
  return nullptr;
}
#endif

}  // namespace

#ifdef _WIN32

ThreadPairRunner::ThreadPairRunner()
    : lock_(CreateMutexW(nullptr, FALSE, nullptr)),
      changed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

ThreadPairRunner::~ThreadPairRunner() {
  if (changed_ != nullptr) CloseHandle(changed_);
  if (lock_ != nullptr) CloseHandle(lock_);
}

// Without the lock's objects the two run one after the other, where the
// lock is not needed.
void ThreadPairRunner::RunPair(lzh::Work& first, lzh::Work& second) {
  HANDLE thread = nullptr;
  if (lock_ != nullptr && changed_ != nullptr)
    thread = CreateThread(nullptr, 0, RunWork, &first, 0, nullptr);
  if (thread == nullptr) first.Run();
  second.Run();
  if (thread != nullptr) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}

void ThreadPairRunner::Lock() {
  if (lock_ != nullptr) WaitForSingleObject(lock_, INFINITE);
}

void ThreadPairRunner::Unlock() {
  if (lock_ != nullptr) ReleaseMutex(lock_);
}

// Cleared while locked, the event can only be set by a change made after
// this sleeper looked: no wake-up is lost.
void ThreadPairRunner::Sleep() {
  if (lock_ == nullptr || changed_ == nullptr) return;
  ResetEvent(changed_);
  ReleaseMutex(lock_);
  WaitForSingleObject(changed_, INFINITE);
  WaitForSingleObject(lock_, INFINITE);
}

void ThreadPairRunner::WakeAll() {
  if (changed_ != nullptr) SetEvent(changed_);
}

#else

ThreadPairRunner::ThreadPairRunner() {
  pthread_mutex_init(&lock_, nullptr);
  pthread_cond_init(&changed_, nullptr);
}

ThreadPairRunner::~ThreadPairRunner() {
  pthread_cond_destroy(&changed_);
  pthread_mutex_destroy(&lock_);
}

void ThreadPairRunner::RunPair(lzh::Work& first, lzh::Work& second) {
  pthread_t thread;
  const bool started = pthread_create(&thread, nullptr, RunWork, &first) == 0;
  if (!started) first.Run();
  second.Run();
  if (started) pthread_join(thread, nullptr);
}

void ThreadPairRunner::Lock() { pthread_mutex_lock(&lock_); }

void ThreadPairRunner::Unlock() { pthread_mutex_unlock(&lock_); }

void ThreadPairRunner::Sleep() { pthread_cond_wait(&changed_, &lock_); }

void ThreadPairRunner::WakeAll() { pthread_cond_broadcast(&changed_); }

#endif

}  // namespace lzhwrite
