// One block of the static-Huffman stream: its three codes built from the
// block's own frequencies, its header, and its codes.
#pragma once

#include <cstdint>

#include "codec/static_huffman_format.h"
#include "encoder/bit_output.h"

namespace lzh {

// A block's codes as the parser hands them over: the literal/length symbol
// in the low 16 bits (0..255 a byte, 256 + length - 3 a match), and for a
// match the position (distance - 1) in the high 16 bits.
using Token = std::uint32_t;

inline Token LiteralToken(std::uint8_t byte) { return byte; }
inline Token MatchToken(int length, int distance) {
  return static_cast<Token>(256 + length - kMinMatch) | static_cast<Token>(distance - 1) << 16;
}

// The position code of a position (distance - 1): 0 for 0, else the
// number of its significant bits; code j carries j - 1 plain bits.
inline int PositionCode(std::uint32_t position) {
  return position == 0 ? 0 : 32 - __builtin_clz(position);
}
inline int PositionExtraBits(int code) { return code > 1 ? code - 1 : 0; }

struct BlockFrequencies {
  std::uint32_t literal[kLiteralCodeCount];
  std::uint32_t position[kMaxPositionCodeCount];

  void Clear();
  void Add(Token token) {
    ++literal[token & 0xFFFF];
    if ((token & 0xFFFF) >= 256) ++position[PositionCode(token >> 16)];
  }
  void Add(const BlockFrequencies& other);
  void Subtract(const BlockFrequencies& other);
};

// The code lengths of one block and what they cost to send.
struct BlockCodes {
  std::uint8_t literalLengths[kLiteralCodeCount] = {};
  std::uint8_t positionLengths[kMaxPositionCodeCount] = {};  // past the method's count: 0
  int literalUsed = 0;  // symbols in use; below 2 the one-symbol form
  int positionUsed = 0;
  int onlyLiteral = 0;  // the symbol of a one-symbol code
  int onlyPosition = 0;
};

class BlockEncoder {
 public:
  explicit BlockEncoder(int dictionaryBits)
      : positionCodeCount_(lzh::PositionCodeCount(dictionaryBits)),
        positionCountBits_(PositionCountBits(dictionaryBits)) {}

  // Codes for the frequencies (lengths limited to 16 bits).
  void BuildCodes(const BlockFrequencies& frequencies, BlockCodes& codes) const;

  // Bits the block takes with codes built from its own frequencies, header
  // included: what choosing block boundaries compares.
  std::int64_t BlockBits(const BlockFrequencies& frequencies) const;
  // The same for codes already built from the frequencies.
  std::int64_t BlockBits(const BlockFrequencies& frequencies, const BlockCodes& codes) const;

  // Writes one block of 1..65535 codes with codes that BuildCodes made
  // from the tokens' frequencies (the block's parse has them already).
  void WriteBlock(const Token* tokens, int count, const BlockCodes& codes, BitOutput& out) const;

  int PositionCodeCount() const { return positionCodeCount_; }

 private:
  template <typename Out>
  void WriteHeader(const BlockCodes& codes, int count, Out& out) const;

  int positionCodeCount_;
  int positionCountBits_;
};

}  // namespace lzh
