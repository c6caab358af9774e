// The last block of a parse, held back until the next shows whether one
// block for both costs fewer bits than two: the end of a stretch or of a
// gathered run of codes is no reason for a block to end, and a short
// block would often cost a header more than it saves.
#pragma once

#include <cstdint>

#include "encoder/bit_output.h"
#include "encoder/block_encoder.h"
#include "platform/heap.h"

namespace lzh {

class HeldBlock {
 public:
  explicit HeldBlock(const BlockEncoder& blocks);

  // Joins the block (codes: built from its frequencies) to the one held
  // when one block costs no more than two, else sends the held one and
  // holds this.
  void Add(const Token* tokens, int count, const BlockFrequencies& frequencies,
           const BlockCodes& codes, BitOutput& out);
  // Sends the block held, if any.
  void Send(BitOutput& out);
  // What the block held will cost.
  std::int64_t Bits() const { return bits_; }
  // The codes of the block held (after an Add): the best guess of the
  // next block's prices.
  const BlockCodes& Codes() const { return codes_; }

 private:
  const BlockEncoder& blocks_;
  HeapArray<Token> tokens_;
  int count_ = 0;
  BlockFrequencies frequencies_;
  BlockCodes codes_;
  std::int64_t bits_ = 0;
};

}  // namespace lzh
