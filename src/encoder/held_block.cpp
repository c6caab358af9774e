#include "encoder/held_block.h"

#include <cstring>

namespace lzh {

HeldBlock::HeldBlock(const BlockEncoder& blocks) : blocks_(blocks), tokens_(kMaxBlockCodes) {
  frequencies_.Clear();
}

void HeldBlock::Add(const Token* tokens, int count, const BlockFrequencies& frequencies,
                    std::int64_t bits, BitOutput& out) {
  if (count_ > 0 && count_ + count <= kMaxBlockCodes) {
    BlockFrequencies joined = frequencies_;
    joined.Add(frequencies);
    const std::int64_t joinedBits = blocks_.BlockBits(joined);
    if (joinedBits <= bits_ + bits) {
      std::memcpy(&tokens_[static_cast<std::size_t>(count_)], tokens,
                  static_cast<std::size_t>(count) * sizeof(Token));
      count_ += count;
      frequencies_ = joined;
      bits_ = joinedBits;
      return;
    }
  }
  Send(out);
  std::memcpy(tokens_.Get(), tokens, static_cast<std::size_t>(count) * sizeof(Token));
  count_ = count;
  frequencies_ = frequencies;
  bits_ = bits;
}

void HeldBlock::Send(BitOutput& out) {
  if (count_ > 0) blocks_.WriteBlock(tokens_.Get(), count_, frequencies_, out);
  count_ = 0;
  bits_ = 0;
}

}  // namespace lzh
