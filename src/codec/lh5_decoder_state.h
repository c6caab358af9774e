// The -lh4- to -lh7- decoder's state for one member, shared by its two
// files: the fast loop for the common case (lh5_fast_loop.cpp), which is a
// member of this class, and the careful path one code at a time
// (lh5_decoder.cpp), a class of that file built on this one. The careful
// path's steps stay in that file's class so that they keep internal
// linkage: only then does the compiler inline a step that is called once.
// Nothing else includes this; the decoders' interface is decoder.h.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/decoder.h"
#include "codec/huffman_table.h"
#include "codec/static_huffman_format.h"
#include "codec/static_huffman_input.h"
#include "platform/heap.h"

namespace lzh::lh5 {

inline constexpr int kSmallRingBytes = 26624;  // bytes of decoded output held up to -lh5-
// codeTable_ entries below kLiteralCodeCount also carry their symbol's code
// length from bit 10 up, so that a literal costs one lookup; the tree walks
// work on the plain values (symbols and node numbers, all below 1,024).
inline constexpr int kValueBits = 10;
inline constexpr std::uint16_t kValueMask = (1u << kValueBits) - 1;

// Decoders are handed only the methods of the format; anything else reads as
// -lh5-. The program, handed -lh4- and -lh5- alone, holds no -lhx-.
inline int DictionaryBits(char methodDigit) {
  const int bits =
      kProgramCore ? NumberedDictionaryBits(methodDigit) : DictionaryBitsForMethod(methodDigit);
  return bits != 0 ? bits : 13;
}

inline int RingBytes(int dictionaryBits) {
  return dictionaryBits <= 13 ? kSmallRingBytes : 26 << (dictionaryBits - 3);
}

// auxLengths_ holds the 19 lengths of the length code and those of the
// position code.
static_assert(PositionCodeCount(kLhxDictionaryBits) <= 20);

class DecoderState {
 public:
  DecoderState(MemberStream& member, const LentRing* lent)
      : member_(member),
        dictionaryBits_(DictionaryBits(MethodDigit(member.method))),
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

 protected:
  template <bool kRingEnd>
  void DecodeFast(std::int64_t originalSize, const std::uint32_t* positions);
  void FillPositionEntries(std::uint32_t* positions);

  // The state both halves of the decoder work on, named as the members of
  // one class (the careful path's class derives from this one only so that
  // its steps stay internal to its file).
  // NOLINTBEGIN(readability-identifier-naming)
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
  // NOLINTEND(readability-identifier-naming)
};

}  // namespace lzh::lh5
