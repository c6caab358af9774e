// -lh3-: LZ77 over an 8 KiB dictionary with static Huffman codes sent in
// blocks, an early form of the -lh5- format.
//
// Format notes. The bit stream is that of -lh5- (static_huffman_input.h). A
// block opens with a 16-bit count of codes, then the lengths of the
// literal/length code: for each of its 286 symbols a 1 bit and 4 bits (the
// length less 1), or a 0 bit (no code). Where the first three lengths read
// are all 1, an over-full code that no encoder writes, the code is instead
// the one symbol in the next 9 bits, which takes no bits to decode. Then
// one bit: 1 means the 128 lengths of the position code follow, 4 bits each,
// with the same escape after the third (the symbol in 7 bits); 0 means the
// fixed position code below. Codes are canonical, as in -lh5-. Symbols
// 0..255 are bytes, 256..284 matches of 3..31 bytes, and 285 is followed by
// 8 plain bits e: a match of 32 + e bytes, up to 287. A match's position
// code j is followed by 6 plain bits: position 64 j + bits, and the match
// starts position + 1 bytes back. Before the member's first byte the
// dictionary holds spaces.
//
// The end of data is that of -lh5- (decoder.h): a block count of 0 ends the
// member short, and past the packed bytes the stream reads as zero bits.
// The output gathers behind the dictionary's 8 KiB and is written in
// blocks of 32 KiB and the rest at the end.
#include <cstring>

#include "codec/decoder.h"
#include "codec/huffman_table.h"
#include "codec/match_copy.h"
#include "codec/static_huffman_input.h"
#include "platform/heap.h"

namespace lzh {

namespace {

constexpr int kCodeCount = 286;      // 256 bytes, 29 short match lengths, 285
constexpr int kLongMatchCode = 285;  // followed by 8 plain bits
constexpr int kLongMatchBits = 8;
constexpr int kSingleCodeBits = 9;  // the one symbol of a code without lengths
constexpr int kCodeLengthBits = 4;
constexpr int kCodeTableWidth = 12;  // bits
constexpr int kPositionCodeCount = 128;
constexpr int kSinglePositionBits = 7;
constexpr int kPositionLowBits = 6;
constexpr int kPositionTableWidth = 8;  // bits
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 287;
constexpr int kDictionaryBytes = 8192;
constexpr int kOutputBlockBytes = 32768;

// The fixed position code: its lengths rise with the symbol, from 2 bits
// for code 0 to 9 bits for codes 78..127 (a complete code; no code has 3).
struct FixedPositionLengths {
  std::uint8_t lengths[kPositionCodeCount];
};

constexpr FixedPositionLengths MakeFixedPositionLengths() {
  // From each of these codes on, the codes are one bit longer.
  constexpr int kLongerFrom[] = {1, 1, 3, 6, 13, 31, 78};
  FixedPositionLengths fixed{};
  for (int j = 0; j < kPositionCodeCount; ++j) {
    int length = 2;
    for (int from : kLongerFrom) length += j >= from ? 1 : 0;
    fixed.lengths[j] = static_cast<std::uint8_t>(length);
  }
  return fixed;
}

constexpr FixedPositionLengths kFixedPosition = MakeFixedPositionLengths();
static_assert(kFixedPosition.lengths[0] == 2 && kFixedPosition.lengths[2] == 4 &&
              kFixedPosition.lengths[3] == 5 && kFixedPosition.lengths[30] == 7 &&
              kFixedPosition.lengths[77] == 8 && kFixedPosition.lengths[127] == 9);

// Working storage of one member, one heap block.
struct Lh3Storage {
  std::uint8_t packedBlock[kPackedBlockBytes];
  std::uint16_t codeTable[1 << kCodeTableWidth];
  std::uint16_t positionTable[1 << kPositionTableWidth];
  // Each code its own branch nodes, whatever lengths the other's hold.
  std::uint16_t codeLeft[kTreeNodes], codeRight[kTreeNodes];
  std::uint16_t positionLeft[kTreeNodes], positionRight[kTreeNodes];
  std::uint8_t codeLengths[kCodeCount];
  std::uint8_t positionLengths[kPositionCodeCount];
  // kDictionaryBytes of history, then the output block; the slack takes a
  // match that starts at the block's last byte and the bytes its copy may
  // write past the match (match_copy.h).
  std::uint8_t window[kDictionaryBytes + kOutputBlockBytes + kMaxMatch + 32];
};

class Lh3Decoder {
 public:
  Lh3Decoder(MemberStream& member, Lh3Storage& s)
      : member_(member),
        s_(s),
        input_(member, s.packedBlock),
        codeTrees_{s.codeLeft, s.codeRight},
        positionTrees_{s.positionLeft, s.positionRight} {}

  void Run();

 private:
  bool StartBlock();
  void ReadCodeLengths();
  void ReadPositionLengths();
  unsigned DecodeCode();
  unsigned DecodePosition();

  MemberStream& member_;
  Lh3Storage& s_;
  StaticHuffmanInput input_;
  BranchTrees codeTrees_;
  BranchTrees positionTrees_;
  std::uint16_t blockCodesLeft_ = 0;
};

// Three lengths of 1 cannot open a code: they announce a code of one symbol.
void Lh3Decoder::ReadCodeLengths() {
  std::uint8_t* lengths = s_.codeLengths;
  for (int i = 0; i < kCodeCount; ++i) {
    lengths[i] = input_.TakeBits(1) != 0
                     ? static_cast<std::uint8_t>(input_.TakeBits(kCodeLengthBits) + 1)
                     : 0;
    if (i == 2 && lengths[0] == 1 && lengths[1] == 1 && lengths[2] == 1) {
      const std::uint16_t only = input_.TakeBits(kSingleCodeBits);
      std::memset(lengths, 0, kCodeCount);
      for (std::uint16_t& entry : s_.codeTable) entry = only;
      return;
    }
  }
  BuildDecodeTable(kCodeCount, lengths, kCodeTableWidth, s_.codeTable, codeTrees_);
}

void Lh3Decoder::ReadPositionLengths() {
  std::uint8_t* lengths = s_.positionLengths;
  if (input_.TakeBits(1) == 0) {
    std::memcpy(lengths, kFixedPosition.lengths, kPositionCodeCount);
  } else {
    for (int i = 0; i < kPositionCodeCount; ++i) {
      lengths[i] = static_cast<std::uint8_t>(input_.TakeBits(kCodeLengthBits));
      if (i == 2 && lengths[0] == 1 && lengths[1] == 1 && lengths[2] == 1) {
        const std::uint16_t only = input_.TakeBits(kSinglePositionBits);
        std::memset(lengths, 0, kPositionCodeCount);
        for (std::uint16_t& entry : s_.positionTable) entry = only;
        return;
      }
    }
  }
  BuildDecodeTable(kPositionCodeCount, lengths, kPositionTableWidth, s_.positionTable,
                   positionTrees_);
}

// False at a count of 0, the end of the member's data.
bool Lh3Decoder::StartBlock() {
  blockCodesLeft_ = input_.TakeBits(16);
  if (blockCodesLeft_ == 0) return false;
  ReadCodeLengths();
  ReadPositionLengths();
  return true;
}

inline unsigned Lh3Decoder::DecodeCode() {
  const std::uint16_t v =
      LookUpSymbol(s_.codeTable, kCodeCount, kCodeTableWidth, input_.LookAhead(), codeTrees_);
  input_.ShiftBits(s_.codeLengths[v]);
  if (v == kLongMatchCode) return v + input_.TakeBits(kLongMatchBits);
  return v;
}

inline unsigned Lh3Decoder::DecodePosition() {
  const std::uint16_t j = LookUpSymbol(s_.positionTable, kPositionCodeCount, kPositionTableWidth,
                                       input_.LookAhead(), positionTrees_);
  input_.ShiftBits(s_.positionLengths[j]);
  return static_cast<unsigned>(j) << kPositionLowBits | input_.TakeBits(kPositionLowBits);
}

void Lh3Decoder::Run() {
  input_.ShiftBits(16);
  std::uint8_t* const window = s_.window;
  std::memset(window, ' ', kDictionaryBytes);
  int pos = kDictionaryBytes;
  // Bytes still to decode once those before pos are written.
  std::int64_t left = member_.originalSize;
  while (left > pos - kDictionaryBytes) {
    if (blockCodesLeft_ == 0 && !StartBlock()) break;
    --blockCodesLeft_;
    const unsigned c = DecodeCode();
    if (c < 256) {
      window[pos++] = static_cast<std::uint8_t>(c);
    } else {
      int length = static_cast<int>(c) - 256 + kMinMatch;
      const int distance = static_cast<int>(DecodePosition()) + 1;
      if (length > left - (pos - kDictionaryBytes)) {
        length = static_cast<int>(left - (pos - kDictionaryBytes));
        member_.overran = true;
      }
      CopyForward(window + pos, window + pos - distance, length);
      pos += length;
    }
    if (pos >= kDictionaryBytes + kOutputBlockBytes) {
      member_.WriteOutput(window + kDictionaryBytes, kOutputBlockBytes);
      left -= kOutputBlockBytes;
      // The last 8 KiB become the history, with what passed the block.
      pos -= kOutputBlockBytes;
      std::memmove(window, window + kOutputBlockBytes, static_cast<std::size_t>(pos));
    }
  }
  if (pos > kDictionaryBytes)
    member_.WriteOutput(window + kDictionaryBytes, pos - kDictionaryBytes);
}

}  // namespace

void DecodeLh3(MemberStream& member) {
  HeapArray<Lh3Storage> storage(1);
  // Over-full lengths can make the table builder meet entries and nodes
  // before this member wrote them: they read as 0.
  Lh3Storage& s = storage[0];
  std::memset(s.codeTable, 0, sizeof s.codeTable);
  std::memset(s.positionTable, 0, sizeof s.positionTable);
  std::memset(s.codeLeft, 0, sizeof s.codeLeft);
  std::memset(s.codeRight, 0, sizeof s.codeRight);
  std::memset(s.positionLeft, 0, sizeof s.positionLeft);
  std::memset(s.positionRight, 0, sizeof s.positionRight);
  Lh3Decoder(member, s).Run();
}

}  // namespace lzh
