// The parse of the lower efforts: greedy, or lazy (a match is put off by
// one byte when the next byte starts a longer one), gathered in blocks of
// a fixed number of codes, neighbours joined where one block costs less.
// Matches are priced by the codes of the block before: a search keeps a
// longer match only where it costs less than the shorter one, a match
// held is put off only where the literal and the longer match cost less,
// and matches of a few bytes are weighed against their literals.
#pragma once

#include <cstdint>

#include "encoder/bit_output.h"
#include "encoder/block_encoder.h"
#include "encoder/held_block.h"
#include "encoder/match_finder.h"
#include "encoder/parse_limits.h"
#include "platform/heap.h"

namespace lzh {

struct LazySettings {
  int chainLimit;      // earlier positions tried per match search
  int niceLength;      // a match this long ends the search
  int goodLength;      // a held match this long cuts the next search to a quarter
  int lazyChainLimit;  // chainLimit of the search one byte after a held match
  bool lazy;           // false: greedy
  // Codes gathered per block (a segment's first gathers an eighth, so that
  // its codes soon stand in for the guessed prices): smaller blocks follow
  // the data closer, and joining them costs two more code builds a block.
  int blockCodes;
};

class LazyParser {
 public:
  using Settings = LazySettings;

  LazyParser(const LazySettings& settings, MatchFinder& finder, const BlockEncoder& blocks);

  // Packs the finder's segment from position start on into out, unless
  // the limits are reached first; returns the position it reached.
  std::uint32_t Encode(std::uint32_t start, BitOutput& out, const ParseLimits& limits);

 private:
  // next: the position after the token.
  void Emit(Token token, std::uint32_t next) {
    tokens_[static_cast<std::size_t>(count_++)] = token;
    frequencies_.Add(token);
    if (count_ == blockCodes_) FlushBlock(next);
  }
  void FlushBlock(std::uint32_t reached);
  void GuessPrices();
  Match Find(std::uint32_t position, int longerThan);
  bool Pays(std::uint32_t position, const Match& m) const;
  void SetMatchPrices();

  LazySettings settings_;
  MatchFinder& finder_;
  const BlockEncoder& blocks_;
  HeapArray<Token> tokens_;       // of the block gathered
  BlockFrequencies frequencies_;  // of the block gathered
  HeldBlock heldBlock_;
  BlockCodes prices_;        // code lengths of the block before, as prices
  MatchPrices matchPrices_;  // from prices_
  int count_ = 0;
  int blockCodes_ = 0;  // of the block being gathered
  BitOutput* out_ = nullptr;
  ParseLimits limits_;
  std::uint32_t start_ = 0;
  std::int64_t startBits_ = 0;
  std::uint32_t flushed_ = 0;  // the position the blocks so far reach
  bool stopped_ = false;
};

}  // namespace lzh
