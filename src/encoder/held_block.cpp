#include "encoder/held_block.h"

#include <cstring>

namespace lzh {

HeldBlock::HeldBlock(const BlockEncoder& blocks) : blocks_(blocks), tokens_(kMaxBlockCodes) {
  frequencies_.Clear();
}

void HeldBlock::Add(const Token* tokens, int count, const BlockFrequencies& frequencies,
                    const BlockCodes& codes, BitOutput& out) {
  const std::int64_t bits = blocks_.BlockBits(frequencies, codes);
  if (count_ > 0 && count_ + count <= kMaxBlockCodes) {
    BlockFrequencies joined = frequencies_;
    joined.Add(frequencies);
    BlockCodes joinedCodes;
    blocks_.BuildCodes(joined, joinedCodes);
    const std::int64_t joinedBits = blocks_.BlockBits(joined, joinedCodes);
    if (joinedBits <= bits_ + bits) {
      std::memcpy(&tokens_[static_cast<std::size_t>(count_)], tokens,
                  static_cast<std::size_t>(count) * sizeof(Token));
      count_ += count;
      frequencies_ = joined;
      codes_ = joinedCodes;
      bits_ = joinedBits;
      return;
    }
  }
  Send(out);
  std::memcpy(tokens_.Get(), tokens, static_cast<std::size_t>(count) * sizeof(Token));
  count_ = count;
  frequencies_ = frequencies;
  codes_ = codes;
  bits_ = bits;
}

void HeldBlock::Send(BitOutput& out) {
  if (count_ > 0) blocks_.WriteBlock(tokens_.Get(), count_, codes_, out);
  count_ = 0;
  bits_ = 0;
}

}  // namespace lzh
