// The command-line tool's CRC-16: sixteen bytes per step through sixteen
// tables, slice k giving the CRC of a byte followed by k zero bytes. The
// sixteen lookups of a step are independent of each other, where the
// byte-wise rule waits on each lookup in turn. Where the processor
// multiplies without carries (x86's PCLMULQDQ), long runs are folded
// sixty-four bytes a step instead. The program keeps the byte-wise rule and
// its 514-byte table; this file is linked only where UseSlicedCrc is called.
#include "codec/crc16.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LZH_CARRYLESS 1
#endif

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

#ifdef LZH_CARRYLESS

// Format notes: the CRC is the remainder of the message, each byte's bit 0
// first, times x^16, divided by P = x^16 + x^15 + x^2 + 1 (0x8005 before
// reflection). Sixteen bytes of the message are taken as one polynomial of
// degree below 128, its first bit the highest, and a run of them is
// replaced, step by step, by a 16-byte polynomial that leaves the same
// remainder: A followed by B, T bits later, is A x^T + B, and the two
// 64-bit halves of A times x^T are carry-less products with x^(T+64) mod P
// and x^T mod P, each below 80 bits. The last such polynomial, taken back to
// bytes, is folded by the tables from 0: leading zeros change no CRC.

// x^n mod P.
constexpr std::uint64_t PowerModP(int n) {
  std::uint32_t r = 1;
  for (int i = 0; i < n; ++i) {
    r <<= 1;
    if ((r & 0x10000) != 0) r ^= 0x18005;
  }
  return r;
}

// What moves sixteen bytes by `bits`: x^(bits+64) mod P for the high half,
// x^bits mod P for the low.
struct FoldBy {
  std::uint64_t high, low;
  explicit constexpr FoldBy(int bits) : high(PowerModP(bits + 64)), low(PowerModP(bits)) {}
};
constexpr FoldBy kBy128(128), kBy256(256), kBy384(384), kBy512(512);

// Sixteen bytes as a polynomial, the first byte's bit 0 highest (and back:
// the same shuffle undoes itself).
[[gnu::target("pclmul,ssse3")]] inline __m128i Reflect(__m128i bytes) {
  const __m128i nibble = _mm_set1_epi8(0x0F);
  // Each nibble reversed, for the high and the low half of a byte.
  const __m128i reversedHigh = _mm_setr_epi8(0x00, 0x80, 0x40, 0xC0, 0x20, 0xA0, 0x60, 0xE0, 0x10,
                                             0x90, 0x50, 0xD0, 0x30, 0xB0, 0x70, 0xF0);
  const __m128i reversedLow =
      _mm_setr_epi8(0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF);
  const __m128i low = _mm_and_si128(bytes, nibble);
  const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble);
  const __m128i reversed =
      _mm_or_si128(_mm_shuffle_epi8(reversedHigh, low), _mm_shuffle_epi8(reversedLow, high));
  return _mm_shuffle_epi8(reversed,
                          _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0));
}

[[gnu::target("pclmul,ssse3")]] inline __m128i Load(const std::uint8_t* bytes) {
  return Reflect(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
}

[[gnu::target("pclmul,ssse3")]] inline __m128i Fold(__m128i a, FoldBy by) {
  const __m128i constants =
      _mm_set_epi64x(static_cast<long long>(by.high), static_cast<long long>(by.low));
  return _mm_xor_si128(_mm_clmulepi64_si128(a, constants, 0x11),
                       _mm_clmulepi64_si128(a, constants, 0x00));
}

// Folds count bytes, a multiple of 16, into crc. (32-bit Windows keeps its
// stack to 4 bytes, which 16-byte values spilled to it need realigned.)
[[gnu::target("pclmul,ssse3"), gnu::force_align_arg_pointer]] void FoldCarryless(
    const std::uint8_t* bytes, std::int32_t count, std::uint32_t& crc) {
  if (count < 64) {
    FoldSliced(bytes, count, crc);
    return;
  }
  // The running CRC enters as the first two bytes of the message would.
  __m128i x0 = Reflect(_mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)),
                                     _mm_cvtsi32_si128(static_cast<int>(crc & 0xFFFF))));
  __m128i x1 = Load(bytes + 16), x2 = Load(bytes + 32), x3 = Load(bytes + 48);
  const std::uint8_t* at = bytes + 64;
  const std::uint8_t* const end = bytes + count;
  for (; end - at >= 64; at += 64) {
    x0 = _mm_xor_si128(Fold(x0, kBy512), Load(at));
    x1 = _mm_xor_si128(Fold(x1, kBy512), Load(at + 16));
    x2 = _mm_xor_si128(Fold(x2, kBy512), Load(at + 32));
    x3 = _mm_xor_si128(Fold(x3, kBy512), Load(at + 48));
  }
  __m128i x = _mm_xor_si128(_mm_xor_si128(Fold(x0, kBy384), Fold(x1, kBy256)),
                            _mm_xor_si128(Fold(x2, kBy128), x3));
  for (; at != end; at += 16) x = _mm_xor_si128(Fold(x, kBy128), Load(at));
  alignas(16) std::uint8_t last[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(last), Reflect(x));
  std::uint32_t c = 0;
  FoldSliced(last, 16, c);
  crc = c;
}

bool MultipliesWithoutCarries() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
}

#endif

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
#ifdef LZH_CARRYLESS
  if (MultipliesWithoutCarries()) crcSlicedFold = FoldCarryless;
#endif
}

}  // namespace lzh
