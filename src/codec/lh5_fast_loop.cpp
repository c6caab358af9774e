// The -lh4- to -lh7- decoder's fast loop: DecodeLh5Fast's way through the
// common case, which the careful path (lh5_decoder.cpp) hands it wherever
// it may. The tool's build and the program's (a smaller form) both link it.
#include <cstring>

#include "codec/lh5_decoder_state.h"
#include "codec/match_copy.h"

namespace lzh::lh5 {

namespace {

inline std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
  std::uint64_t value;
  std::memcpy(&value, p, 8);
  return __builtin_bswap64(value);
}

// A position table entry of the fast loop for position code j: the bits
// of the code (bits 0-7), its plain bits (from bit 8), and how far back the
// match starts when the plain bits are 0 (from kBackShift, never 0). The
// tool's -lhx- reaches 2^18 + 1 back with 18 plain bits: its entries give
// the plain bits 5 bits and the distance 19.
constexpr int kBackShift = kProgramCore ? 16 : 13;
constexpr unsigned kPlainMask = (1u << (kBackShift - 8)) - 1;
inline std::uint32_t PositionEntry(unsigned j, const std::uint8_t* auxLengths) {
  const unsigned plain = j > 1 ? j - 1 : 0;
  const unsigned back = (j != 0 ? 1u << (j - 1) : 0u) + 1;
  return auxLengths[j] | plain << 8 | back << kBackShift;
}

// The tool's build starts the loop on a 2 KiB boundary, so that its hot
// part (within its first 1,900 bytes on x86-64) never straddles a 4 KiB
// page: placed across one, the same code ran 2 to 3% slower. The program's
// build packs its code instead.
constexpr int kFastLoopAlignment = kProgramCore ? 1 : 2048;  // bytes

}  // namespace

// The common case, with the window, the ring position and the counts in
// locals: codes of the current block while the member wants bytes, the
// buffer holds 16 bytes to refill the window from, and the ring has room
// for the longest match (plus the copy's spare bytes) before its end. The
// loop makes no call, so that its values stay in registers.
// Returns when one of these fails, and before a match that reaches back
// before the member's first byte; the careful path then takes one step.
// DecodeLh5Fast runs it. positions: the block's PositionEntry for each 8
// bits that open a position code, 0 where the code is longer.
// kRingEnd: the same one code at a time from fastMatchLimit_ up to the
// ring's end, which a match copy may not pass (the careful path takes a
// match that would). The program's build leaves those last 288 bytes of
// its ring to the careful path and copies matches as the careful path
// does: the code either would take buys it a percent or two.
template <bool kRingEnd>
[[gnu::noinline, gnu::aligned(kFastLoopAlignment)]] void DecoderState::DecodeFast(
    std::int64_t originalSize, const std::uint32_t* positions) {
  const BitCursor& cursor = input_.Cursor();
  std::uint64_t window = cursor.window;
  int bits = cursor.windowBits;
  const std::uint8_t* const block = cursor.block;
  std::int32_t at = cursor.packedPos;
  // A refill takes at most 7 bytes from a load of 8.
  const std::int32_t lastLoad = cursor.packedCount - 16;
  // Bytes enter below the bits counted; those already there are the same
  // stream bits, so the OR changes nothing of them. Leaves 56 to 63 bits.
  // Inlined also where the build optimises for size, which would otherwise
  // call it and keep the loop's values in memory.
  const auto refill = [&]() __attribute__((always_inline)) {
    window |= LoadBigEndian64(block + at) >> bits;
    at += (63 - bits) >> 3;
    bits |= 56;
  };
  std::uint8_t* const ring = ring_;
  const std::uint16_t* const codeTable = codeTable_.Get();
  const std::uint8_t* const codeLengths = codeLengths_.Get();
  int pos = ringPos_;
  // Where the member or the room ends, as a ring position.
  const std::int64_t memberEnd = pos + (originalSize - decodedCount_);
  const int limit =
      kRingEnd ? ringBytes_ : (partEnd_ < fastMatchLimit_ ? partEnd_ : fastMatchLimit_);
  const int end = static_cast<int>(memberEnd < limit ? memberEnd : limit);
  unsigned left = blockCodesLeft_;
  const int ringBytes = ringBytes_;
  const bool ringWhole = ringWhole_;
  for (;;) {
    // The codes that may be taken without looking at the buffer, the ring or
    // the block's count: each refills at most twice (7 bytes each time) and
    // writes at most 256 bytes. Where none may, one is taken while the
    // buffer, the ring and the block allow it (its match may pass the end,
    // as on the careful path).
    int budget = static_cast<int>(left);
    if (budget > (lastLoad - at) >> 4) budget = (lastLoad - at) >> 4;
    if constexpr (kRingEnd) {
      budget = 0;
    } else if (budget > (end - pos) >> 8) {
      budget = (end - pos) >> 8;
    }
    if (budget <= 0) {
      if (at > lastLoad || left == 0 || pos >= end) break;
      budget = 1;
    }
    left -= static_cast<unsigned>(budget);
    do {
      --budget;
      // 32 bits hold a code (up to 16) and a literal of up to 12 bits after
      // it.
      if (bits < 32) refill();
      const unsigned entry = codeTable[window >> (64 - kCodeTableWidth)];
      unsigned v = entry & kValueMask;
      int used;
      if (v >= kLiteralCodeCount) {
        v = WalkBranchTreesInline(static_cast<std::uint16_t>(v), kLiteralCodeCount, kCodeTableWidth,
                                  static_cast<std::uint16_t>(window >> 48), trees_);
        used = codeLengths[v];
      } else {
        used = static_cast<int>(entry >> kValueBits) & 31;
      }
      if (v < 256) {
        window <<= used;
        bits -= used;
        ring[pos++] = static_cast<std::uint8_t>(v);
        // Literals come in runs: the codes after this one are taken here
        // while they are literals of up to 12 bits and 16 bits are counted
        // (the most a code takes, so that a table built from over-full
        // lengths is looked up at the same bits as on the careful path).
        while (bits >= 16 && budget != 0) {
          const unsigned next = codeTable[window >> (64 - kCodeTableWidth)];
          if ((next & kValueMask) >= 256) break;
          ring[pos++] = static_cast<std::uint8_t>(next);
          used = static_cast<int>(next >> kValueBits);
          window <<= used;
          bits -= used;
          --budget;
        }
        continue;
      }
      // A match: nothing is taken before it is known that this loop copies
      // it (a refill only adds bits, so it may stay). A position code takes
      // up to 20 bits (so much can its length field say), its plain bits up
      // to 18: with the code's 16, 54 of the 56 a refill leaves.
      refill();
      std::uint64_t rest = window << used;
      std::uint32_t position = positions[rest >> (64 - kAuxTableWidth)];
      if (position == 0) {
        const std::uint16_t j =
            WalkBranchTreesInline(auxTable_[rest >> (64 - kAuxTableWidth)], positionCodeCount_,
                                  kAuxTableWidth, static_cast<std::uint16_t>(rest >> 48), trees_);
        position = PositionEntry(j, auxLengths_.Get());
      }
      const int codeBits = static_cast<int>(position & 0xFF);
      const int plain = static_cast<int>((position >> 8) & kPlainMask);
      rest <<= codeBits;
      int src = pos - static_cast<int>(position >> kBackShift) -
                static_cast<int>((rest >> 1) >> (63 - plain));
      if (!ringWhole && src < 0) {
        // The careful path fills the ring's unwritten start with spaces first.
        left += static_cast<unsigned>(budget + 1);
        goto done;
      }
      const int length = static_cast<int>(v) - 256 + kMinMatch;
      if constexpr (kRingEnd) {
        if (pos + length > ringBytes) {
          // The careful path writes the ring out midway through this match.
          left += static_cast<unsigned>(budget + 1);
          goto done;
        }
      }
      window = rest << plain;
      bits -= used + codeBits + plain;
      // A source before the ring's start continues from its end, a
      // dictionary or more above this match, and may pass the end; near
      // the end it goes byte by byte.
      src += ringBytes & -static_cast<int>(src < 0);
      if (!kRingEnd && src + length + 64 <= ringBytes) {
        CopyForward<!kProgramCore>(ring + pos, ring + src, length);
      } else {
        for (int i = 0; i < length; ++i) {
          ring[pos + i] = ring[src];
          if (++src == ringBytes) src = 0;
        }
      }
      pos += length;
    } while (budget != 0);
  }
done:
  std::int64_t decoded = decodedCount_ + (pos - ringPos_);
  if (decoded > originalSize) {
    // The last match ran past the member: this loop never flushes, so its
    // surplus is still at the ring's end.
    pos -= static_cast<int>(decoded - originalSize);
    decoded = originalSize;
    member_.overran = true;
  }
  BitCursor after = cursor;
  after.window = window;
  after.windowBits = bits;
  after.packedPos = at;
  input_.SetCursor(after);
  ringPos_ = pos;
  decodedCount_ = decoded;
  blockCodesLeft_ = static_cast<std::uint16_t>(left);
}

void DecoderState::FillPositionEntries(std::uint32_t* positions) {
  const unsigned positionCodes = static_cast<unsigned>(positionCodeCount_);
  for (int i = 0; i < (1 << kAuxTableWidth); ++i) {
    const unsigned j = auxTable_[i];
    positions[i] = j < positionCodes ? PositionEntry(j, auxLengths_.Get()) : 0;
  }
}

template void DecoderState::DecodeFast<false>(std::int64_t originalSize,
                                              const std::uint32_t* positions);
#ifndef LZH_PROGRAM_CORE
// The program's build does without the loop up to the ring's end.
template void DecoderState::DecodeFast<true>(std::int64_t originalSize,
                                             const std::uint32_t* positions);
#endif

}  // namespace lzh::lh5
