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
// count field of 4 bits up to -lh5- and of 5 bits from -lh6- on. -lhx-, a
// later extension, is the same with 19 dictionary bits (the tool's alone).
//
// The decoded bytes gather in a ring that is at once the dictionary and the
// output buffer: a full ring is written in one write. It holds 26,624 bytes
// for -lh4- and -lh5- (what the self-extracting program may spend) and 3.25
// dictionaries for the larger ones; the tool's write-behind lends one of its
// own, written out in parts as they fill. It starts as spaces, so a match
// reaching back before the member's first byte copies spaces, as the
// format's own tools do. A member ends when originalSize bytes are
// produced; a last match past it is cut (decoder.h).
#include <cstring>
#include <type_traits>

#include "codec/lh5_decoder_state.h"
#include "codec/match_copy.h"

namespace lzh::lh5 {

namespace {

constexpr int kNoSpecialIndex = -1;

// The ring starts as spaces; they are written only for a match that reaches
// back before the member's first byte (which valid streams never do), from
// the first position not yet written on. Matches may have copied a few
// bytes past it; no match reaches them before they are written.
void FillUnwritten(std::uint8_t* ring, int from, int ringBytes) {
  std::memset(ring + from, ' ', static_cast<std::size_t>(ringBytes - from));
}

// The careful path: one code at a time, every case; in DecodeLh5Fast it
// hands the common case to the fast loop where it may.
class Lh5Decoder : public DecoderState {
 public:
  using DecoderState::DecoderState;
  // A match's position: below 2^16 up to -lh7-, below 2^19 for -lhx-.
  using Position = std::conditional_t<kProgramCore, std::uint16_t, std::uint32_t>;

  template <bool kFastLoop>
  void Run();

 private:
  void ReadAuxLengths(int symbolCount, int countBits, int specialIndex);
  void ReadCodeLengths();
  void StartBlock();
  std::uint16_t DecodeCode();
  Position DecodePosition();
  void CopyMatch(int length, int position);
  void CopyMatchAcrossRingEnd(int length, int src);
  void FlushRing();
  void WritePart();
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

inline Lh5Decoder::Position Lh5Decoder::DecodePosition() {
  std::uint16_t v =
      LookUpSymbol(auxTable_.Get(), positionCodeCount_, kAuxTableWidth, input_.LookAhead(), trees_);
  input_.ShiftBits(auxLengths_[v]);
  if (v == 0) return 0;
  if constexpr (!kProgramCore) {
    // -lhx-'s farthest codes have up to 18 plain bits: the highest come
    // first.
    if (v > 17) {
      const Position high = input_.TakeBits(v - 17);
      return (Position{1} << (v - 1)) + (high << 16 | input_.TakeBits(16));
    }
  }
  return static_cast<Position>((1u << (v - 1)) + input_.TakeBits(v - 1));
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
    const int position = static_cast<int>(DecodePosition());
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

}  // namespace lzh::lh5

namespace lzh {

void DecodeLh5(MemberStream& member) {
  lh5::Lh5Decoder decoder(member, nullptr);
  decoder.Run<false>();
}

void DecodeLh5Fast(MemberStream& member) {
  lh5::Lh5Decoder decoder(member, member.lentRing);
  decoder.Run<true>();
}

}  // namespace lzh
