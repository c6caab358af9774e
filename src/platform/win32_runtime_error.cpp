// Memory exhaustion on Win32: the run time's fatal box and exit code 203.
#include <windows.h>

#include "platform/heap.h"

namespace lzh {

void RuntimeErrorOutOfMemory(const void* codeAddress) {
  // The offset is counted from the start of the program's code section.
  auto base = reinterpret_cast<const unsigned char*>(GetModuleHandleA(nullptr));
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  auto codeStart = reinterpret_cast<std::uintptr_t>(base) + nt->OptionalHeader.BaseOfCode;
  char text[32];
  FormatRuntimeError203(
      text, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(codeAddress) - codeStart));
  MessageBoxA(nullptr, text, "Error", 0);
  ExitProcess(203);
}

}  // namespace lzh
