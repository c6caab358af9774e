#include "encoder/block_encoder.h"

#include <cstring>
#include <type_traits>

#include "codec/huffman_table.h"
#include "encoder/huffman_lengths.h"

namespace lzh {

namespace {

// Tokens per batch of codes written to memory before they join the
// output: at most 47 bits each, and 8 bytes stored past the last.
constexpr int kBatchTokens = 4096;
constexpr int kBatchBytes = kBatchTokens * 6 + 8;

// Counts bits instead of writing them, for the cost of a header.
struct BitCounter {
  std::int64_t bits = 0;
  void Put(std::uint32_t, int count) { bits += count; }
};

// The length-code symbols that send the literal/length lengths, handed to
// emit(symbol, extraValue, extraBits): 3..18 a length of 1..16; runs of
// zero lengths as 0 (one), 1 (3..18, 4 more bits) or 2 (20..531, 9 more
// bits). A run of 19 is sent as one and eighteen.
template <typename Emit>
void ForEachLengthSymbol(const std::uint8_t* lengths, int count, Emit emit) {
  for (int i = 0; i < count;) {
    if (lengths[i] != 0) {
      emit(lengths[i] + 2, 0, 0);
      ++i;
      continue;
    }
    int run = 1;
    while (i + run < count && lengths[i + run] == 0) ++run;
    i += run;
    if (run <= 2) {
      for (int k = 0; k < run; ++k) emit(0, 0, 0);
    } else if (run <= 18) {
      emit(1, run - 3, 4);
    } else if (run == 19) {
      emit(0, 0, 0);
      emit(1, 15, 4);
    } else {
      emit(2, run - 20, 9);
    }
  }
}

// Symbols up to the last one with a nonzero length.
int SentCount(const std::uint8_t* lengths, int symbolCount) {
  while (symbolCount > 0 && lengths[symbolCount - 1] == 0) --symbolCount;
  return symbolCount;
}

// A set of lengths of the length code or the position code: the count,
// then 3 bits a length up to 6; from 7 on "111", a 1 bit per unit above 7
// and a closing 0. zeroRunIndex: after that many lengths a 2-bit count of
// zero lengths follows (the length code's third), or -1.
template <typename Out>
void PutAuxLengths(const std::uint8_t* lengths, int symbolCount, int countBits, int zeroRunIndex,
                   Out& out) {
  int n = SentCount(lengths, symbolCount);
  out.Put(static_cast<std::uint32_t>(n), countBits);
  for (int i = 0; i < n;) {
    int length = lengths[i++];
    if (length < 7) {
      out.Put(static_cast<std::uint32_t>(length), 3);
    } else {
      out.Put(((1u << (length - 4)) - 1) << 1, length - 3);  // 111, ones, 0
    }
    if (i == zeroRunIndex) {
      int zeros = 0;
      while (zeros < 3 && i + zeros < n && lengths[i + zeros] == 0) ++zeros;
      out.Put(static_cast<std::uint32_t>(zeros), 2);
      i += zeros;
    }
  }
}

}  // namespace

void BlockFrequencies::Clear() { std::memset(this, 0, sizeof(*this)); }

void BlockFrequencies::Add(const BlockFrequencies& other) {
  for (int s = 0; s < kLiteralCodeCount; ++s) literal[s] += other.literal[s];
  for (int s = 0; s < kMaxPositionCodeCount; ++s) position[s] += other.position[s];
}

void BlockFrequencies::Subtract(const BlockFrequencies& other) {
  for (int s = 0; s < kLiteralCodeCount; ++s) literal[s] -= other.literal[s];
  for (int s = 0; s < kMaxPositionCodeCount; ++s) position[s] -= other.position[s];
}

void BlockEncoder::BuildCodes(const BlockFrequencies& frequencies, BlockCodes& codes) const {
  codes.literalUsed = BuildCodeLengths(frequencies.literal, kLiteralCodeCount, kMaxCodeLength,
                                       codes.literalLengths);
  codes.positionUsed = BuildCodeLengths(frequencies.position, positionCodeCount_, kMaxCodeLength,
                                        codes.positionLengths);
  // The symbol of a one-symbol code, which only such a code needs.
  codes.onlyLiteral = codes.onlyPosition = 0;
  if (codes.literalUsed < 2) {
    for (int s = 0; s < kLiteralCodeCount; ++s)
      if (frequencies.literal[s] != 0) codes.onlyLiteral = s;
  }
  if (codes.positionUsed < 2) {
    for (int s = 0; s < positionCodeCount_; ++s)
      if (frequencies.position[s] != 0) codes.onlyPosition = s;
  }
}

// Format notes: the header is the code count, the length code, the
// literal/length lengths and the position lengths. A code of one symbol is
// sent as a count of 0 and the symbol; the length code of a one-symbol
// literal code is unused and sent so too, as symbol 0.
template <typename Out>
void BlockEncoder::WriteHeader(const BlockCodes& codes, int count, Out& out) const {
  out.Put(static_cast<std::uint32_t>(count), 16);
  if (codes.literalUsed < 2) {
    out.Put(0, kLengthCountBits);
    out.Put(0, kLengthCountBits);
    out.Put(0, kCodeCountBits);
    out.Put(static_cast<std::uint32_t>(codes.onlyLiteral), kCodeCountBits);
  } else {
    const int sent = SentCount(codes.literalLengths, kLiteralCodeCount);
    std::uint32_t lengthFrequencies[kLengthCodeCount] = {};
    std::int64_t extraBits = 0;
    ForEachLengthSymbol(codes.literalLengths, sent, [&](int symbol, int, int bits) {
      ++lengthFrequencies[symbol];
      extraBits += bits;
    });
    std::uint8_t lengthLengths[kLengthCodeCount];
    if (BuildCodeLengths(lengthFrequencies, kLengthCodeCount, kMaxCodeLength, lengthLengths) < 2) {
      int only = 0;
      for (int s = 0; s < kLengthCodeCount; ++s)
        if (lengthFrequencies[s] != 0) only = s;
      out.Put(0, kLengthCountBits);
      out.Put(static_cast<std::uint32_t>(only), kLengthCountBits);
    } else {
      PutAuxLengths(lengthLengths, kLengthCodeCount, kLengthCountBits, kLengthCodeZeroRunIndex,
                    out);
    }
    out.Put(static_cast<std::uint32_t>(sent), kCodeCountBits);
    if constexpr (std::is_same_v<Out, BitCounter>) {
      // A count needs no second walk over the lengths.
      out.bits += extraBits;
      for (int s = 0; s < kLengthCodeCount; ++s)
        out.bits += static_cast<std::int64_t>(lengthFrequencies[s]) * lengthLengths[s];
    } else {
      std::uint16_t lengthCodes[kLengthCodeCount];
      AssignCanonicalCodes(lengthLengths, kLengthCodeCount, lengthCodes);
      ForEachLengthSymbol(codes.literalLengths, sent, [&](int symbol, int extra, int bits) {
        out.Put(lengthCodes[symbol], lengthLengths[symbol]);
        out.Put(static_cast<std::uint32_t>(extra), bits);
      });
    }
  }
  if (codes.positionUsed < 2) {
    out.Put(0, positionCountBits_);
    out.Put(static_cast<std::uint32_t>(codes.onlyPosition), positionCountBits_);
  } else {
    PutAuxLengths(codes.positionLengths, positionCodeCount_, positionCountBits_, -1, out);
  }
}

std::int64_t BlockEncoder::BlockBits(const BlockFrequencies& frequencies) const {
  BlockCodes codes;
  BuildCodes(frequencies, codes);
  return BlockBits(frequencies, codes);
}

std::int64_t BlockEncoder::BlockBits(const BlockFrequencies& frequencies,
                                     const BlockCodes& codes) const {
  BitCounter counter;
  WriteHeader(codes, 1, counter);
  std::int64_t bits = counter.bits;
  for (int s = 0; s < kLiteralCodeCount; ++s)
    bits += static_cast<std::int64_t>(frequencies.literal[s]) * codes.literalLengths[s];
  for (int j = 0; j < positionCodeCount_; ++j) {
    bits += static_cast<std::int64_t>(frequencies.position[j]) *
            (codes.positionLengths[j] + PositionExtraBits(j));
  }
  return bits;
}

void BlockEncoder::WriteBlock(const Token* tokens, int count, const BlockCodes& codes,
                              BitOutput& out) const {
  WriteHeader(codes, count, out);
  std::uint16_t literalCodes[kLiteralCodeCount];
  std::uint16_t positionCodes[kMaxPositionCodeCount];
  AssignCanonicalCodes(codes.literalLengths, kLiteralCodeCount, literalCodes);
  AssignCanonicalCodes(codes.positionLengths, positionCodeCount_, positionCodes);
  // Per position code: its code above room for the plain bits, the bits
  // of both, and the mask of the plain bits, so that a match's position is
  // one lookup; one more entry of no bits for a literal.
  std::uint32_t positionHigh[kMaxPositionCodeCount] = {};
  std::uint32_t positionMask[kMaxPositionCodeCount] = {};
  std::uint32_t positionBits[kMaxPositionCodeCount] = {};
  for (int j = 0; j < positionCodeCount_; ++j) {
    const int extra = PositionExtraBits(j);
    positionHigh[j] = static_cast<std::uint32_t>(positionCodes[j]) << extra;
    positionMask[j] = (1u << extra) - 1;
    positionBits[j] = static_cast<std::uint32_t>(codes.positionLengths[j] + extra);
  }
  // A token's codes go into the top of a 64-bit register, which is
  // stored whole after each token and moved on by its whole bytes: no
  // branch on a token's kind or on a full register, which the data make
  // hard to foresee (they cost more time than the instructions).
  std::uint8_t batch[kBatchBytes];
  for (int first = 0; first < count; first += kBatchTokens) {
    const int last = count - first < kBatchTokens ? count : first + kBatchTokens;
    std::uint8_t* at = batch;
    std::uint64_t pending = 0;  // the top `bits` bits wait
    std::uint32_t bits = 0;     // 0..7 between tokens
    for (int i = first; i < last; ++i) {
      const Token token = tokens[i];
      const std::uint32_t symbol = token & 0xFFFF;
      const std::uint32_t position = token >> 16;
      const std::uint32_t keep = 0u - (symbol >> 8);  // all ones for a match
      // PositionCode without its branch for 0: the top bit of 2p + 1.
      const auto j = static_cast<std::uint32_t>(31 - __builtin_clz(2 * position + 1));
      const std::uint32_t positionCount = positionBits[j] & keep;
      const std::uint32_t count1 = codes.literalLengths[symbol];
      const std::uint64_t value = static_cast<std::uint64_t>(literalCodes[symbol])
                                      << positionCount |
                                  ((positionHigh[j] | (position & positionMask[j])) & keep);
      const std::uint32_t total = count1 + positionCount;
      // bits + total is at most 54; 0 only with a value of 0.
      pending |= value << ((64 - bits - total) & 63);
      bits += total;
      const std::uint64_t word = __builtin_bswap64(pending);
      std::memcpy(at, &word, 8);
      at += bits >> 3;
      pending <<= bits & ~7u;
      bits &= 7;
    }
    out.Append(batch, (at - batch) * 8 + bits);
  }
}

}  // namespace lzh
