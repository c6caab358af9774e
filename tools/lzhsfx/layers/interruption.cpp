#include "layers/interruption.h"

#include <algorithm>
#include <string>

namespace lzhcli {

namespace {

// The path as the file system below hands it to the system: the POSIX one
// turns every "\" into "/".
std::string SystemSpelling(const char* path) {
  std::string spelled = path;
#ifndef _WIN32
  std::replace(spelled.begin(), spelled.end(), '\\', '/');
#endif
  return spelled;
}

}  // namespace

InterruptibleOutputs::InterruptibleOutputs(lzh::FileSystem& inner) : ForwardingFileSystem(inner) {}

InterruptibleOutputs::~InterruptibleOutputs() = default;

void InterruptibleOutputs::Forget() {
  removal_.Drop();
  noted_.clear();
}

// Made and noted under one hold: an interruption between the two would
// leave the file behind.
lzh::FileHandle InterruptibleOutputs::CreateOutput(const char* path) {
  InterruptsHeld hold;
  lzh::FileHandle file = Below().CreateOutput(path);
  if (file != lzh::kInvalidFile) {
    Forget();
    if (removal_.Note(SystemSpelling(path), "the partly written", file)) noted_ = path;
  }
  return file;
}

bool InterruptibleOutputs::Rename(const char* from, const char* to, bool replace) {
  InterruptsHeld hold;
  bool renamed = Below().Rename(from, to, replace);
  if (renamed && noted_ == from) Forget();
  return renamed;
}

bool InterruptibleOutputs::Remove(const char* path) {
  InterruptsHeld hold;
  if (noted_ == path) Forget();
  return Below().Remove(path);
}

std::int32_t InterruptibleOutputs::Write(lzh::FileHandle file, const void* buffer,
                                         std::int32_t count) {
#ifdef _WIN32
  InterruptsHeld hold;  // the handler closes the file: not during a write
#endif
  return Below().Write(file, buffer, count);
}

bool InterruptibleOutputs::Close(lzh::FileHandle file) {
  InterruptsHeld hold;
  removal_.Closed(file);
  return Below().Close(file);
}

}  // namespace lzhcli
