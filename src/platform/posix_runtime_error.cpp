// Memory exhaustion on POSIX: the same report as the Windows program, on
// stderr, and the same exit code.
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "platform/heap.h"

// The start of the program's image, as the GNU linker names it.
// NOLINTNEXTLINE(bugprone-reserved-identifier,readability-identifier-naming)
extern "C" char __executable_start;

namespace lzh {

void RuntimeErrorOutOfMemory(const void* codeAddress) {
  char text[32];
  auto offset = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(codeAddress) -
                                           reinterpret_cast<std::uintptr_t>(&__executable_start));
  FormatRuntimeError203(text, offset);
  (void)!write(2, text, std::strlen(text));
  (void)!write(2, "\n", 1);
  _exit(203);
}

}  // namespace lzh
