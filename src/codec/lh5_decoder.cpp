// -lh4- to -lh7-: LZ77 over static Huffman codes sent in blocks.
//
// Format notes. A block opens with a 16-bit count of codes (0 ends the
// member early), then the code lengths of the length code, of the
// literal/length code (symbols 0..255 are bytes, 256..509 matches of 3..256
// bytes) and of the position code. A match's position code j > 0 is followed
// by j - 1 plain bits: position 2^(j-1) + bits, and the match starts
// position + 1 bytes back. The methods differ in the dictionary alone: with
// b dictionary bits (12, 13, 15, 16 for -lh4- to -lh7-) there are b + 1
// position codes (distances up to 2^b bytes), whose lengths open with a
// count field of 4 bits up to -lh5- and of 5 bits from -lh6- on.
//
// The decoded bytes gather in a ring that is at once the dictionary and the
// output buffer: a full ring is written in one write. It holds 26,624 bytes
// for -lh4- and -lh5- (what the self-extracting program may spend) and 3.25
// dictionaries for the larger two; the tool's write-behind lends one of its
// own, written out in parts as they fill. It starts as spaces, so a match
// reaching back before the member's first byte copies spaces, as the
// format's own tools do. A member ends when originalSize bytes are
// produced; a last match past it is cut (decoder.h).
#include <cstring>

#include "codec/decoder.h"
#include "codec/huffman_table.h"
#include "codec/match_copy.h"
#include "codec/static_huffman_format.h"
#include "codec/static_huffman_input.h"
#include "platform/heap.h"

namespace lzh {

namespace {

constexpr int kSmallRingBytes = 26624;  // bytes of decoded output held up to -lh5-
constexpr int kNoSpecialIndex = -1;
// codeTable_ entries below kLiteralCodeCount also carry their symbol's code
// length from bit 10 up, so that a literal costs one lookup; the tree walks
// work on the plain values (symbols and node numbers, all below 1,024).
constexpr int kValueBits = 10;
constexpr std::uint16_t kValueMask = (1u << kValueBits) - 1;

// Decoders are handed only the four digits; anything else reads as -lh5-.
int DictionaryBits(char methodDigit) {
  const int bits = DictionaryBitsForMethod(methodDigit);
  return bits != 0 ? bits : 13;
}

int RingBytes(int dictionaryBits) {
  return dictionaryBits <= 13 ? kSmallRingBytes : 26 << (dictionaryBits - 3);
}

class Lh5Decoder {
 public:
  Lh5Decoder(MemberStream& member, const LentRing* lent)
      : member_(member),
        dictionaryBits_(DictionaryBits(member.methodDigit)),
        ringBytes_(lent != nullptr ? lent->ringBytes : RingBytes(dictionaryBits_)),
        fastMatchLimit_(ringBytes_ - 256 - 32),
        packedBlock_(kPackedBlockBytes),
        outputRing_(lent != nullptr ? 1 : static_cast<std::size_t>(ringBytes_) + 1),
        codeLengths_(kLiteralCodeCount + 1),
        auxLengths_(20),
        auxTable_(1 << kAuxTableWidth),
        treeLeft_(kTreeNodes),
        treeRight_(kTreeNodes),
        codeTable_((1 << kCodeTableWidth) + 1),
        input_(member, packedBlock_.Get()),
        trees_{treeLeft_.Get(), treeRight_.Get()},
        ring_(lent != nullptr ? lent->bytes : outputRing_.Get()),
        partBytes_(lent != nullptr ? lent->partBytes : ringBytes_),
        partEnd_(partBytes_) {
    // Over-full lengths can make the builder meet table entries and nodes
    // before this member wrote them (long codes wrapping into entries that
    // short codes fill later); they read as 0, not as old heap contents.
    std::memset(auxTable_.Get(), 0, auxTable_.Size() * sizeof(std::uint16_t));
    std::memset(treeLeft_.Get(), 0, kTreeNodes * sizeof(std::uint16_t));
    std::memset(treeRight_.Get(), 0, kTreeNodes * sizeof(std::uint16_t));
    std::memset(codeTable_.Get(), 0, codeTable_.Size() * sizeof(std::uint16_t));
  }

  template <bool kFastLoop>
  void Run();

 private:
  template <bool kRingEnd>
  void DecodeFast(std::int64_t originalSize, const std::uint32_t* positions);
  void FillPositionEntries(std::uint32_t* positions);
  void ReadAuxLengths(int symbolCount, int countBits, int specialIndex);
  void ReadCodeLengths();
  void StartBlock();
  std::uint16_t DecodeCode();
  std::uint16_t DecodePosition();
  void CopyMatch(int length, int position);
  void CopyMatchAcrossRingEnd(int length, int src);
  void FlushRing();
  void WritePart();

  MemberStream& member_;
  int dictionaryBits_;
  int positionCodeCount_ = PositionCodeCount(dictionaryBits_);
  int positionCountBits_ = PositionCountBits(dictionaryBits_);
  int ringBytes_;
  // A match that starts below this ring position ends well before the
  // ring's end even when its copy writes up to 31 bytes too many.
  int fastMatchLimit_;
  // The eight heap blocks, obtained in this order and released on every way
  // out. Each is one entry larger than its use where the format's tools
  // allocate it so.
  HeapArray<std::uint8_t> packedBlock_;
  HeapArray<std::uint8_t> outputRing_;
  HeapArray<std::uint8_t> codeLengths_;
  HeapArray<std::uint8_t> auxLengths_;
  HeapArray<std::uint16_t> auxTable_;
  HeapArray<std::uint16_t> treeLeft_;
  HeapArray<std::uint16_t> treeRight_;
  HeapArray<std::uint16_t> codeTable_;

  StaticHuffmanInput input_;
  BranchTrees trees_;
  std::uint16_t blockCodesLeft_ = 0;
  bool endOfData_ = false;
  int ringPos_ = 0;
  // Every ring position holds a byte: one of the member's, or a space of
  // the ring's start (filled in only when a match first reaches back there).
  bool ringWhole_ = false;
  // 64 bits so that a member of 2 GiB cannot wrap it.
  std::int64_t decodedCount_ = 0;
  std::uint8_t* ring_;
  // The ring is written out up to written_ (always 0 but in a lent ring),
  // in parts of partBytes_ (the whole ring but in a lent one).
  int partBytes_;
  int partEnd_;
  int written_ = 0;
};

// The lengths of the length code or of the position code: a count field,
// then one length per symbol as 3 bits, where 7 is followed by one 1 bit per
// unit above 7 and a closing 0 bit. A count of 0 means a code of a single
// symbol, given in the next count field, which takes no bits to decode. In
// the length code a 2-bit count of zero lengths follows the third length.
// Counts and runs may run past the lengths the array holds; their bits are
// read all the same.
void Lh5Decoder::ReadAuxLengths(int symbolCount, int countBits, int specialIndex) {
  std::uint8_t* lengths = auxLengths_.Get();
  const int capacity = static_cast<int>(auxLengths_.Size());
  int n = input_.TakeBits(countBits);
  if (n == 0) {
    std::uint16_t only = input_.TakeBits(countBits);
    std::memset(lengths, 0, static_cast<std::size_t>(symbolCount));
    for (int i = 0; i < (1 << kAuxTableWidth); ++i) auxTable_[i] = only;
    return;
  }
  int i = 0;
  while (i < n) {
    int length = input_.LookAhead() >> 13;
    if (length == 7) {
      for (unsigned mask = 1u << 12; (input_.LookAhead() & mask) != 0; mask >>= 1) ++length;
    }
    input_.ShiftBits(length < 7 ? 3 : length - 3);
    if (i < capacity) lengths[i] = static_cast<std::uint8_t>(length);
    ++i;
    if (i == specialIndex) {
      for (int zeros = input_.TakeBits(2); zeros > 0; --zeros, ++i) {
        if (i < capacity) lengths[i] = 0;
      }
    }
  }
  for (; i < symbolCount; ++i) lengths[i] = 0;
  BuildDecodeTable(symbolCount, lengths, kAuxTableWidth, auxTable_.Get(), trees_);
}

// The literal/length lengths, each a symbol of the length code: 0 is one
// zero length, 1 a run of 3..18 zero lengths (4 more bits), 2 a run of
// 20..531 (9 more bits), 3..18 the lengths 1..16. A count of 0 means a code
// of the one symbol in the next 9 bits.
void Lh5Decoder::ReadCodeLengths() {
  std::uint8_t* lengths = codeLengths_.Get();
  int n = input_.TakeBits(9);
  if (n == 0) {
    std::uint16_t only = input_.TakeBits(9);
    std::memset(lengths, 0, kLiteralCodeCount);
    // Every length is 0, so the entry carries none.
    for (int i = 0; i < (1 << kCodeTableWidth); ++i) codeTable_[i] = only;
    return;
  }
  int i = 0;
  while (i < n) {
    std::uint16_t c =
        LookUpSymbol(auxTable_.Get(), kLengthCodeCount, kAuxTableWidth, input_.LookAhead(), trees_);
    input_.ShiftBits(auxLengths_[c]);
    if (c > 2) {
      if (i < kLiteralCodeCount) lengths[i] = static_cast<std::uint8_t>(c - 2);
      ++i;
      continue;
    }
    int zeros = c == 0 ? 1 : c == 1 ? input_.TakeBits(4) + 3 : input_.TakeBits(9) + 20;
    for (; zeros > 0; --zeros, ++i) {
      if (i < kLiteralCodeCount) lengths[i] = 0;
    }
  }
  for (; i < kLiteralCodeCount; ++i) lengths[i] = 0;
  BuildDecodeTable(kLiteralCodeCount, lengths, kCodeTableWidth, codeTable_.Get(), trees_,
                   kValueBits);
}

void Lh5Decoder::StartBlock() {
  blockCodesLeft_ = input_.TakeBits(16);
  if (blockCodesLeft_ == 0) {
    endOfData_ = true;
    return;
  }
  ReadAuxLengths(kLengthCodeCount, kLengthCountBits, kLengthCodeZeroRunIndex);
  ReadCodeLengths();
  ReadAuxLengths(positionCodeCount_, positionCountBits_, kNoSpecialIndex);
}

inline std::uint16_t Lh5Decoder::DecodeCode() {
  if (blockCodesLeft_ == 0) {
    StartBlock();
    if (endOfData_) return 0;
  }
  --blockCodesLeft_;
  std::uint16_t entry = codeTable_[input_.LookAhead() >> (16 - kCodeTableWidth)];
  std::uint16_t v = entry & kValueMask;
  if (v >= kLiteralCodeCount) {
    v = WalkBranchTrees(v, kLiteralCodeCount, kCodeTableWidth, input_.LookAhead(), trees_);
    entry = static_cast<std::uint16_t>(codeLengths_[v] << kValueBits);
  }
  input_.ShiftBits(entry >> kValueBits);
  return v;
}

inline std::uint16_t Lh5Decoder::DecodePosition() {
  std::uint16_t v =
      LookUpSymbol(auxTable_.Get(), positionCodeCount_, kAuxTableWidth, input_.LookAhead(), trees_);
  input_.ShiftBits(auxLengths_[v]);
  if (v == 0) return 0;
  return static_cast<std::uint16_t>((1u << (v - 1)) + input_.TakeBits(v - 1));
}

// The ring starts as spaces; they are written only for a match that reaches
// back before the member's first byte (which valid streams never do), from
// the first position not yet written on. Matches may have copied a few
// bytes past it; no match reaches them before they are written.
void FillUnwritten(std::uint8_t* ring, int from, int ringBytes) {
  std::memset(ring + from, ' ', static_cast<std::size_t>(ringBytes - from));
}

inline std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
  std::uint64_t value;
  std::memcpy(&value, p, 8);
  return __builtin_bswap64(value);
}

// A position table entry of the fast loop for position code j: the bits
// of the code (bits 0-7), its plain bits (8-15), and how far back the match
// starts when the plain bits are 0 (16-31, never 0).
inline std::uint32_t PositionEntry(unsigned j, const std::uint8_t* auxLengths) {
  const unsigned plain = j > 1 ? j - 1 : 0;
  const unsigned back = (j != 0 ? 1u << (j - 1) : 0u) + 1;
  return auxLengths[j] | plain << 8 | back << 16;
}

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
[[gnu::noinline]] void Lh5Decoder::DecodeFast(std::int64_t originalSize,
                                              const std::uint32_t* positions) {
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
      // to 15.
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
      const int plain = static_cast<int>((position >> 8) & 0xFF);
      rest <<= codeBits;
      int src =
          pos - static_cast<int>(position >> 16) - static_cast<int>((rest >> 1) >> (63 - plain));
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

void Lh5Decoder::FillPositionEntries(std::uint32_t* positions) {
  const unsigned positionCodes = static_cast<unsigned>(positionCodeCount_);
  for (int i = 0; i < (1 << kAuxTableWidth); ++i) {
    const unsigned j = auxTable_[i];
    positions[i] = j < positionCodes ? PositionEntry(j, auxLengths_.Get()) : 0;
  }
}

void Lh5Decoder::FlushRing() {
  member_.WriteOutput(ring_ + written_, ringBytes_ - written_);
  ringPos_ = 0;
  written_ = 0;
  partEnd_ = partBytes_;
  ringWhole_ = true;
}

// A lent ring's part, once filled; the last part is the ring's flush.
void Lh5Decoder::WritePart() {
  member_.WriteOutput(ring_ + written_, partEnd_ - written_);
  written_ = partEnd_;
  partEnd_ += partBytes_;
}

// Copies length bytes from position + 1 bytes back, one byte after another
// in effect: a source that overlaps the destination repeats its bytes.
inline void Lh5Decoder::CopyMatch(int length, int position) {
  int src = ringPos_ - position - 1;
  std::uint8_t* ring = ring_;
  if (src >= 0 && ringPos_ < fastMatchLimit_) {
    CopyForward(ring + ringPos_, ring + src, length);
    ringPos_ += length;
    return;
  }
  if (src < 0) {
    if (!ringWhole_) {
      FillUnwritten(ring, ringPos_, ringBytes_);
      ringWhole_ = true;
    }
    src += ringBytes_;
  }
  CopyMatchAcrossRingEnd(length, src);
}

// The general copy: the source or the destination reaches the ring's end.
// The ring is written out when it fills, mid-match if need be, and both
// continue at its start.
void Lh5Decoder::CopyMatchAcrossRingEnd(int length, int src) {
  std::uint8_t* ring = ring_;
  while (length > 0) {
    int run = length;
    if (run > ringBytes_ - ringPos_) run = ringBytes_ - ringPos_;
    if (run > ringBytes_ - src) run = ringBytes_ - src;
    for (int i = 0; i < run; ++i) ring[ringPos_ + i] = ring[src + i];
    ringPos_ += run;
    src += run;
    length -= run;
    if (ringPos_ == ringBytes_) FlushRing();
    if (src == ringBytes_) src = 0;
  }
}

// One code at a time, with the fast loop taking the common case where
// there is one.
template <bool kFastLoop>
void Lh5Decoder::Run() {
  input_.ShiftBits(16);
  const std::int64_t originalSize = member_.originalSize;
  std::uint8_t* ring = ring_;
  // The fast loop's position entries of the current block.
  std::uint32_t positions[1 << kAuxTableWidth];
  while (decodedCount_ < originalSize) {
    if constexpr (kFastLoop) {
      // Below the ring's end, so this part is not its last.
      if (ringPos_ >= partEnd_) WritePart();
    }
    if (kFastLoop && blockCodesLeft_ != 0) {
      if (ringPos_ < fastMatchLimit_) {
        DecodeFast<false>(originalSize, positions);
      } else if constexpr (!kProgramCore) {
        DecodeFast<true>(originalSize, positions);
      }
      if (decodedCount_ >= originalSize) break;
      // The fast loops fill the ring up to its end, never past it.
      if (ringPos_ == ringBytes_) FlushRing();
    }
    [[maybe_unused]] const bool startsBlock = blockCodesLeft_ == 0;
    std::uint16_t c = DecodeCode();
    if constexpr (kFastLoop) {
      if (startsBlock && !endOfData_) FillPositionEntries(positions);
    }
    if (endOfData_) {
      // This write is folded in whole, whatever the write reports.
      if (ringPos_ > written_) {
        const int count = ringPos_ - written_;
        member_.fs.Write(member_.outputHandle, ring + written_, count);
        if (!member_.outputFoldsCrc) CrcUpdate(ring + written_, count, member_.runningCrc);
      }
      return;
    }
    if (c < 256) {
      ring[ringPos_++] = static_cast<std::uint8_t>(c);
      ++decodedCount_;
      if (ringPos_ == ringBytes_) FlushRing();
      continue;
    }
    int length = c - 256 + kMinMatch;
    const int position = DecodePosition();
    if (length > originalSize - decodedCount_) {
      length = static_cast<int>(originalSize - decodedCount_);
      member_.overran = true;
    }
    decodedCount_ += length;
    CopyMatch(length, position);
  }
  if (ringPos_ > written_) member_.WriteOutput(ring + written_, ringPos_ - written_);
}

}  // namespace

void DecodeLh5(MemberStream& member) {
  Lh5Decoder decoder(member, nullptr);
  decoder.Run<false>();
}

void DecodeLh5Fast(MemberStream& member) {
  Lh5Decoder decoder(member, member.lentRing);
  decoder.Run<true>();
}

}  // namespace lzh
