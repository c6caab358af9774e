// The facts of the static-Huffman block format (-lh4- to -lh7-) that its
// decoder and its encoder share.
//
// Format notes. A block opens with a 16-bit count of codes (0 ends the
// member), then three sets of code lengths: the length code (19 symbols,
// a 5-bit count field, and after the third length a 2-bit count of zero
// lengths), the literal/length code (510 symbols, a 9-bit count field, each
// length written as a symbol of the length code) and the position code
// (dictionary bits + 1 symbols). A count field of 0 means a code of one
// symbol, named in the next field of the same width, that takes no bits.
// Position code j > 0 is followed by j - 1 plain bits: position
// 2^(j-1) + bits, and the match starts position + 1 bytes back. The
// methods differ only in the dictionary: -lh4- 4 KiB, -lh5- 8 KiB, -lh6-
// 32 KiB, -lh7- 64 KiB and -lhx- (a later extension of the same format)
// 512 KiB; the position count field takes 4 bits up to 14 codes and 5 bits
// beyond.
#pragma once

namespace lzh {

inline constexpr int kLiteralCodeCount = 510;  // 256 bytes and 254 match lengths
inline constexpr int kLengthCodeCount = 19;    // symbols of the length code
inline constexpr int kLengthCountBits = 5;     // bits of its count field
inline constexpr int kLengthCodeZeroRunIndex = 3;
inline constexpr int kCodeCountBits = 9;    // bits of the literal/length count field
inline constexpr int kCodeTableWidth = 12;  // bits
inline constexpr int kAuxTableWidth = 8;    // bits
inline constexpr int kMinMatch = 3;         // bytes
inline constexpr int kMaxMatch = 256;       // bytes
inline constexpr int kMaxBlockCodes = 65535;
// The encoder's largest dictionary, -lh7-'s; the decoders also take -lhx-'s.
inline constexpr int kMaxDictionaryBits = 16;
inline constexpr int kMaxPositionCodeCount = kMaxDictionaryBits + 1;
inline constexpr int kLhxDictionaryBits = 19;

constexpr int PositionCodeCount(int dictionaryBits) { return dictionaryBits + 1; }
constexpr int PositionCountBits(int dictionaryBits) {
  return PositionCodeCount(dictionaryBits) > 15 ? 5 : 4;
}

// Dictionary bits of a numbered method's digit ('4' to '7'), 0 for any
// other.
constexpr int NumberedDictionaryBits(char digit) {
  switch (digit) {
    case '4':
      return 12;
    case '5':
      return 13;
    case '6':
      return 15;
    case '7':
      return 16;
    default:
      return 0;
  }
}

// The same for the byte at offset 3 of any method of the format ('x' of
// -lhx- too).
constexpr int DictionaryBitsForMethod(char digit) {
  return digit == 'x' ? kLhxDictionaryBits : NumberedDictionaryBits(digit);
}

}  // namespace lzh
