#include "encoder/input_window.h"

#include <cstring>

namespace lzh {

namespace {
// Spare bytes behind the data, read (and ignored) by 8-byte comparisons
// and 4-byte hashes.
constexpr std::uint32_t kSlackBytes = 8;
}  // namespace

InputWindow::InputWindow(int dictionaryBits, std::uint32_t segmentBytes)
    : dictionaryBytes_(1u << dictionaryBits),
      segmentBytes_(segmentBytes),
      buffer_(dictionaryBytes_ + segmentBytes + kSlackBytes) {}

bool InputWindow::Load(const InputWindow* before, ByteSource& source) {
  std::uint32_t kept = 0;
  if (before != nullptr) {
    kept = before->end_ < dictionaryBytes_ ? before->end_ : dictionaryBytes_;
    std::memmove(buffer_.Get(), before->buffer_.Get() + (before->end_ - kept), kept);
    offset_ = before->offset_ + (before->end_ - kept);
    sourceEnded_ = before->sourceEnded_;
  } else {
    offset_ = 0;
    sourceEnded_ = false;
  }
  start_ = kept;
  end_ = start_;
  while (!sourceEnded_ && end_ - start_ < segmentBytes_) {
    const std::uint32_t room = segmentBytes_ - (end_ - start_);
    const std::int32_t got = source.Read(buffer_.Get() + end_, static_cast<std::int32_t>(room));
    if (got < 0) return false;
    if (got == 0) sourceEnded_ = true;
    end_ += static_cast<std::uint32_t>(got);
  }
  // The bytes behind the data are read, never used for a decision; they
  // must be defined all the same. Only those: clearing the whole buffer
  // up front cost the caller's thread a megabyte of page faults per
  // window before any work could start.
  std::memset(buffer_.Get() + end_, 0, kSlackBytes);
  return true;
}

}  // namespace lzh
