// The command-line tool's CRC-16: sixteen bytes per step through sixteen
// tables, slice k giving the CRC of a byte followed by k zero bytes. The
// sixteen lookups of a step are independent of each other, where the
// byte-wise rule waits on each lookup in turn. The program keeps the
// byte-wise rule and its 514-byte table; this file is linked only where
// UseSlicedCrc is called.
#include "codec/crc16.h"

namespace lzh {

namespace {

constexpr int kSlices = 16;
std::uint16_t slices[kSlices][256];

// Folds count bytes, a multiple of 16, into crc. Format notes: the CRC is
// 16 bits wide and bit-reflected, so it meets only the first two bytes of a
// step.
void FoldSliced(const std::uint8_t* bytes, std::int32_t count, std::uint32_t& crc) {
  std::uint32_t c = crc;
  for (const std::uint8_t* end = bytes + count; bytes != end; bytes += kSlices) {
    c = slices[15][(bytes[0] ^ c) & 0xFF] ^ slices[14][bytes[1] ^ (c >> 8)] ^ slices[13][bytes[2]] ^
        slices[12][bytes[3]] ^ slices[11][bytes[4]] ^ slices[10][bytes[5]] ^ slices[9][bytes[6]] ^
        slices[8][bytes[7]] ^ slices[7][bytes[8]] ^ slices[6][bytes[9]] ^ slices[5][bytes[10]] ^
        slices[4][bytes[11]] ^ slices[3][bytes[12]] ^ slices[2][bytes[13]] ^ slices[1][bytes[14]] ^
        slices[0][bytes[15]];
  }
  crc = c;
}

}  // namespace

void UseSlicedCrc(bool use) {
  if (!use) {
    crcSlicedFold = nullptr;
    return;
  }
  for (int b = 0; b < 256; ++b) slices[0][b] = crcTable[b];
  for (int k = 1; k < kSlices; ++k) {
    for (int b = 0; b < 256; ++b) {
      unsigned previous = slices[k - 1][b];
      slices[k][b] = static_cast<std::uint16_t>(crcTable[previous & 0xFF] ^ (previous >> 8));
    }
  }
  crcSlicedFold = FoldSliced;
}

}  // namespace lzh
