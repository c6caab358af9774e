// The parse of the highest efforts: every match the chains offer at every
// position, then the cheapest way through a stretch of input by the prices
// of the codes it will be sent with, and block boundaries where separate
// codes cost less than one.
#pragma once

#include <cstdint>

#include "encoder/bit_output.h"
#include "encoder/block_encoder.h"
#include "encoder/held_block.h"
#include "encoder/match_finder.h"
#include "encoder/parse_limits.h"
#include "platform/heap.h"

namespace lzh {

struct OptimalSettings {
  int chainLimit;
  int niceLength;
  int passes;        // parses per stretch, each priced by the one before
  bool splitBlocks;  // choose block boundaries by cost
};

class OptimalParser {
 public:
  using Settings = OptimalSettings;

  OptimalParser(const OptimalSettings& settings, MatchFinder& finder, const BlockEncoder& blocks);

  // Packs the finder's segment from position start on into out, a stretch
  // at a time, unless the limits are reached first (checked between
  // stretches); returns the position it reached.
  std::uint32_t Encode(std::uint32_t start, BitOutput& out, const ParseLimits& limits);

 private:
  // Parses the stretch of input from position on and writes its blocks;
  // advances position past it.
  void EncodeStretch(std::uint32_t& position, BitOutput& out);
  void EncodeBlock(int from, int to, const Token* tokens, int count, BitOutput& out);
  void Send(const Token* tokens, int count, const BlockFrequencies& frequencies, BitOutput& out);
  void CollectMatches(std::uint32_t start);
  void PriceFrom(const BlockFrequencies& frequencies);
  void PriceGreedy(int from, int to);
  void PriceByCodes(const BlockFrequencies& frequencies);
  int Parse(int from, int to, Token* tokens);
  int SplitBlocks(int tokenCount, int* ends);
  void SplitRange(int from, int to, int* ends, int& count);
  std::int64_t RangeBits(int from, int to);

  OptimalSettings settings_;
  MatchFinder& finder_;
  const BlockEncoder& blocks_;
  int stretchLimit_;                     // bytes per stretch, but for a last long match
  int stretchBytes_ = 0;                 // bytes of the current stretch
  HeapArray<std::uint8_t> bytes_;        // the stretch's bytes
  HeapArray<std::uint32_t> firstMatch_;  // per byte, index into matches_; one more at the end
  HeapArray<Match> matches_;             // growing lengths per byte
  HeapArray<std::uint32_t> cost_;        // bits to reach each byte
  HeapArray<std::uint32_t> choice_;      // the token that reaches each byte
  HeapArray<Token> tokens_;
  HeapArray<Token> blockTokens_;  // a block parsed again, in turns
  HeapArray<Token> bestTokens_;
  HeapArray<BlockFrequencies> prefix_;  // frequencies of tokens before each split candidate
  BlockFrequencies carry_;              // of the last block sent
  HeldBlock heldBlock_;
  bool carried_ = false;  // carry_ is of this segment
  std::uint32_t literalPrice_[kLiteralCodeCount] = {};
  std::uint32_t positionPrice_[kMaxPositionCodeCount] = {};
};

}  // namespace lzh
