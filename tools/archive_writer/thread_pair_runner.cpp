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

ThreadPairRunner::ThreadPairRunner() : signalled_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

ThreadPairRunner::~ThreadPairRunner() {
  if (signalled_ != nullptr) CloseHandle(signalled_);
}

// Without an event the pair runs one after the other: first has signalled
// before second waits.
void ThreadPairRunner::RunPair(lzh::Work& first, lzh::Work& second) {
  HANDLE thread = nullptr;
  if (signalled_ != nullptr) {
    ResetEvent(signalled_);
    thread = CreateThread(nullptr, 0, RunWork, &first, 0, nullptr);
  }
  if (thread == nullptr) first.Run();
  second.Run();
  if (thread != nullptr) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}

void ThreadPairRunner::Signal() {
  if (signalled_ != nullptr) SetEvent(signalled_);
}

void ThreadPairRunner::Wait() {
  if (signalled_ != nullptr) WaitForSingleObject(signalled_, INFINITE);
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
  signalled_ = false;
  pthread_t thread;
  const bool started = pthread_create(&thread, nullptr, RunWork, &first) == 0;
  if (!started) first.Run();
  second.Run();
  if (started) pthread_join(thread, nullptr);
}

void ThreadPairRunner::Signal() {
  pthread_mutex_lock(&lock_);
  signalled_ = true;
  pthread_cond_signal(&changed_);
  pthread_mutex_unlock(&lock_);
}

void ThreadPairRunner::Wait() {
  pthread_mutex_lock(&lock_);
  while (!signalled_) pthread_cond_wait(&changed_, &lock_);
  pthread_mutex_unlock(&lock_);
}

#endif

}  // namespace lzhwrite
