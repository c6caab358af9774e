#include "archive_writer/thread_pair_runner.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
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

void ThreadPairRunner::RunPair(lzh::Work& first, lzh::Work& second) {
#ifdef _WIN32
  HANDLE thread = CreateThread(nullptr, 0, RunWork, &first, 0, nullptr);
  if (thread == nullptr) first.Run();
  second.Run();
  if (thread != nullptr) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
#else
  pthread_t thread;
  const bool started = pthread_create(&thread, nullptr, RunWork, &first) == 0;
  if (!started) first.Run();
  second.Run();
  if (started) pthread_join(thread, nullptr);
#endif
}

}  // namespace lzhwrite
