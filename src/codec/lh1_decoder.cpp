// -lh1-: LZSS over a 4,096-byte window. Literals and match lengths share the
// adaptive Huffman code of adaptive_huffman.h; a match's offset follows its
// length symbol as a fixed prefix code for the offset's upper six bits and
// then its six low bits verbatim.
//
// Format notes. Bits are taken from each packed byte most significant bit
// first. An offset d copies from d + 1 bytes back: offset 0 with length 60
// repeats the last byte 60 times. Before the member's first byte the window
// holds 4,096 spaces, so a match reaching back past that byte copies
// spaces. The stream carries no end marker: decoding stops when the
// member's original size has been produced, or earlier when a symbol needs
// bits beyond the member's packed bytes (a stream cut short).
//
// The packed bytes are read in blocks of up to 10,240 bytes, never past
// packedLeft, so the next member's header is never taken for data. The
// output is written in blocks of 10,240 bytes and the rest at the end, each
// write folded into the CRC as far as it reports written (decoder.h).
#include <cstring>

#include "codec/adaptive_huffman.h"
#include "codec/decoder.h"
#include "codec/match_copy.h"
#include "platform/heap.h"

namespace lzh {

namespace {

using lh1::AdaptiveHuffman;
using lh1::kNodeCount;

constexpr std::int32_t kBlockSize = 10240;  // bytes per archive read and per output write
constexpr int kWindowSize = 4096;           // bytes
constexpr int kMaxMatch = 60;               // bytes; the shortest match is 3
constexpr int kMatchBase = 253;             // length = symbol - 253
constexpr int kLiteralCount = 256;
constexpr int kOffsetLowBits = 6;
constexpr int kMaxOffsetCodeBits = 8 + kOffsetLowBits;  // bits

// The prefix code for an offset's upper six bits, indexed by the first eight
// bits of an offset code. Values are assigned in increasing order with these
// code lengths: 0 gets 3 bits, 1..3 get 4, 4..11 get 5, 12..23 get 6, 24..47
// get 7 and 48..63 get 8.
struct OffsetTables {
  std::uint8_t highBits[256];
  std::uint8_t codeLength[256];
};

constexpr OffsetTables MakeOffsetTables() {
  constexpr int kValuesUpTo[] = {1, 4, 12, 24, 48, 64};  // first value of the next length
  OffsetTables t{};
  int index = 0, value = 0;
  for (int length = 3; length <= 8; ++length) {
    for (; value < kValuesUpTo[length - 3]; ++value) {
      for (int e = 0; e < 1 << (8 - length); ++e) {
        t.highBits[index] = static_cast<std::uint8_t>(value);
        t.codeLength[index] = static_cast<std::uint8_t>(length);
        ++index;
      }
    }
  }
  return t;
}

constexpr OffsetTables kOffsetTables = MakeOffsetTables();
constexpr const std::uint8_t* kOffsetHighBits = kOffsetTables.highBits;
constexpr const std::uint8_t* kOffsetCodeLength = kOffsetTables.codeLength;
static_assert(kOffsetTables.highBits[0x50] == 4 && kOffsetTables.codeLength[0x50] == 5);
static_assert(kOffsetTables.highBits[0xFF] == 63 && kOffsetTables.codeLength[0xFF] == 8);
static_assert(kOffsetTables.highBits[0xEF] == 47 && kOffsetTables.codeLength[0xEF] == 7);

// Working storage of one member, one heap block.
struct Lh1Storage {
  AdaptiveHuffman model;
  std::uint8_t inputBlock[kBlockSize];
  // kWindowSize bytes of history, then the output block; the slack takes the
  // overrun of the last match of a block and the bytes its copy may write
  // past the match (match_copy.h).
  std::uint8_t window[kWindowSize + kBlockSize + kMaxMatch + 32];
};

constexpr int kOutputStart = kWindowSize;  // index of the first byte of the output block

// kTool: the command-line tool's decoder, whose model rebuilds its tree
// faster (the same tree).
template <bool kTool>
class Lh1Decoder {
 public:
  Lh1Decoder(MemberStream& member, Lh1Storage& storage)
      : member_(member), s_(storage), model_(storage.model) {}

  void Run();

 private:
  void ReadInputBlock();
  std::uint8_t FetchInputByte();
  void Refill(int wanted);
  void RefillByBytes(int wanted);
  void Consume(int bits) {
    bitBuffer_ <<= bits;
    bitCount_ -= bits;
  }
  unsigned DecodeSymbol();
  unsigned DecodeMatchOffset();
  void FlushOutput(int count);

  MemberStream& member_;
  Lh1Storage& s_;
  AdaptiveHuffman& model_;

  std::int32_t inputPos_ = 0;
  std::int32_t inputCount_ = 0;
  int phantomBits_ = 0;  // zero bits supplied after a read delivered nothing

  // Look-ahead bits, left-aligned: the next bit is bit 63.
  std::uint64_t bitBuffer_ = 0;
  int bitCount_ = 0;
};

// Reads stop at the member's own packed bytes: a valid stream needs no
// more (its one byte of look-ahead may be zero), and a small member that
// claims gigabytes then ends with its data instead of decoding whatever
// follows it in the archive.
template <bool kTool>
void Lh1Decoder<kTool>::ReadInputBlock() {
  inputPos_ = 0;
  std::int32_t want = member_.packedLeft < kBlockSize ? member_.packedLeft : kBlockSize;
  inputCount_ = want > 0 ? member_.ReadPacked(s_.inputBlock, want) : 0;
  if (inputCount_ < 0) inputCount_ = 0;
  member_.packedLeft -= inputCount_;
}

// The next block is read as soon as the last byte of this one is handed out.
// Once a read has delivered nothing, InputCount stays 0: zero bytes stand in
// and the archive is not read again. A valid stream uses them only as
// look-ahead.
template <bool kTool>
std::uint8_t Lh1Decoder<kTool>::FetchInputByte() {
  if (inputPos_ < inputCount_) {
    std::uint8_t b = s_.inputBlock[inputPos_++];
    if (inputPos_ == inputCount_) ReadInputBlock();
    return b;
  }
  phantomBits_ += 8;
  return 0;
}

// Brings the look-ahead to at least `wanted` (at most 56) bits. Where the
// block holds enough bytes, eight are loaded at once, but the block's last
// byte is always left to FetchInputByte so that the next read is issued as
// soon as that byte is handed out and never earlier.
template <bool kTool>
inline void Lh1Decoder<kTool>::Refill(int wanted) {
  if (inputCount_ - inputPos_ > 8) {
    std::uint64_t next;
    std::memcpy(&next, s_.inputBlock + inputPos_, 8);
    bitBuffer_ |= __builtin_bswap64(next) >> bitCount_;
    int bytes = (63 - bitCount_) >> 3;
    inputPos_ += bytes;
    bitCount_ += bytes * 8;
  } else {
    RefillByBytes(wanted);
  }
}

template <bool kTool>
void Lh1Decoder<kTool>::RefillByBytes(int wanted) {
  while (bitCount_ < wanted) {
    bitBuffer_ |= std::uint64_t{FetchInputByte()} << (56 - bitCount_);
    bitCount_ += 8;
  }
}

// Walks from the root, a 0 bit to the lower child of the pair and a 1 bit to
// the higher, then counts the symbol.
template <bool kTool>
unsigned Lh1Decoder<kTool>::DecodeSymbol() {
  if (bitCount_ < 32) Refill(9);
  static_assert(AdaptiveHuffman::kTopBits <= 9, "a refill guarantees nine bits");
  const unsigned index = static_cast<unsigned>(bitBuffer_ >> (64 - AdaptiveHuffman::kTopBits));
  const AdaptiveHuffman::TopEntry top =
      kTool ? model_.TopTableFast()[index] : model_.TopTable()[index];
  const std::uint16_t* child = model_.child;
  int used = top.bits;
  unsigned depth = static_cast<unsigned>(used);  // the leaf's, once the walk ends
  std::uint64_t bits = bitBuffer_ << used;
  unsigned node = top.node;
  unsigned c = child[node];
  if constexpr (kTool) {
    if (c < kNodeCount && top.bits < AdaptiveHuffman::kTopBits) {
      // An entry that an exchange cut back.
      const AdaptiveHuffman::TopEntry reached = model_.RegrowTop(top, index);
      used = reached.bits;
      depth = static_cast<unsigned>(used);
      bits = bitBuffer_ << used;
      node = reached.node;
      c = child[node];
    }
  }
  while (c < kNodeCount) {
    if (used == bitCount_) {
      Consume(used);
      Refill(9);
      bits = bitBuffer_;
      used = 0;
    }
    unsigned next = c + static_cast<unsigned>(bits >> 63);
    if constexpr (kTool) node = next;  // the tool counts from the leaf
    c = child[next];
    bits <<= 1;
    ++used;
    ++depth;
  }
  Consume(used);
  unsigned symbol = c - kNodeCount;
  if constexpr (kTool) {
    model_.CountLeafFast(node, depth);
  } else {
    model_.CountSymbol(symbol);
  }
  return symbol;
}

// Format notes: of the first eight bits, kOffsetCodeLength[b] belong to the
// upper-bits code and the rest to the six low bits, which the following bits
// complete.
template <bool kTool>
unsigned Lh1Decoder<kTool>::DecodeMatchOffset() {
  if (bitCount_ < kMaxOffsetCodeBits) Refill(kMaxOffsetCodeBits);
  unsigned b = static_cast<unsigned>(bitBuffer_ >> 56);
  int length = kOffsetCodeLength[b];
  int bits = length + kOffsetLowBits;
  unsigned code = static_cast<unsigned>(bitBuffer_ >> (64 - bits));
  Consume(bits);
  return static_cast<unsigned>(kOffsetHighBits[b]) << kOffsetLowBits | (code & 63u);
}

template <bool kTool>
void Lh1Decoder<kTool>::FlushOutput(int count) {
  member_.WriteOutput(s_.window + kOutputStart, count);
}

// Format notes: the produced count is compared with the original size only
// before each symbol, as the encoder stops; a match that a corrupt stream
// runs past the end is cut at the original size (decoder.h). A stream that
// needs bits beyond the member's packed bytes (or the archive's end) is
// truncated: decoding stops there instead of inventing the rest of the
// member from zero bits.
template <bool kTool>
void Lh1Decoder<kTool>::Run() {
  if (member_.originalSize <= 0) return;
  ReadInputBlock();
  model_.ResetModel();
  std::uint8_t* window = s_.window;
  // The window holds every byte of the last 4,096 positions, so the bytes
  // before the first output (all of the initial window) are spaces.
  std::memset(window, ' ', kWindowSize);
  int pos = kOutputStart;
  // Where the member's last byte goes, in the window's positions: moved
  // back with every block written. Unsigned, as it lies up to 4,096 past
  // the largest signed size.
  FileSize end = kOutputStart + static_cast<FileSize>(member_.originalSize);
  while (static_cast<FileSize>(pos) < end) {
    unsigned symbol = DecodeSymbol();
    if (symbol < kLiteralCount) {
      if (phantomBits_ > bitCount_) break;
      window[pos++] = static_cast<std::uint8_t>(symbol);
    } else {
      int distance = static_cast<int>(DecodeMatchOffset()) + 1;
      if (phantomBits_ > bitCount_) break;
      int length = static_cast<int>(symbol) - kMatchBase;
      if (static_cast<FileSize>(length) > end - static_cast<FileSize>(pos)) {
        length = static_cast<int>(end - static_cast<FileSize>(pos));
        member_.overran = true;
      }
      CopyForward(window + pos, window + pos - distance, length);
      pos += length;
    }
    if (pos >= kOutputStart + kBlockSize) {
      FlushOutput(kBlockSize);
      // Keep the last kWindowSize bytes of history and the overrun.
      int keep = pos - kBlockSize;
      std::memmove(window, window + kBlockSize, static_cast<std::size_t>(keep));
      pos = keep;
      end -= kBlockSize;
    }
  }
  if (pos > kOutputStart) FlushOutput(pos - kOutputStart);
}

}  // namespace

void DecodeLh1(MemberStream& member) {
  HeapArray<Lh1Storage> storage(1);
  Lh1Decoder<false>(member, storage[0]).Run();
}

void DecodeLh1Fast(MemberStream& member) {
  HeapArray<Lh1Storage> storage(1);
  Lh1Decoder<true>(member, storage[0]).Run();
}

}  // namespace lzh
