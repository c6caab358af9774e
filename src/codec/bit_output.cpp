#include "codec/bit_output.h"

namespace lzh {

void BitOutput::Drain() {
  if (!failed_ && used_ > 0 && !sink_.Write(buffer_.Get(), used_)) failed_ = true;
  written_ += used_;
  used_ = 0;
}

void BitOutput::Finish() {
  while (pendingBits_ >= 8) {
    pendingBits_ -= 8;
    buffer_[static_cast<std::size_t>(used_++)] =
        static_cast<std::uint8_t>(pending_ >> pendingBits_);
  }
  if (pendingBits_ > 0) {
    buffer_[static_cast<std::size_t>(used_++)] =
        static_cast<std::uint8_t>(pending_ << (8 - pendingBits_));
    pendingBits_ = 0;
  }
  Drain();
}

}  // namespace lzh
