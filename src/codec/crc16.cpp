#include "codec/crc16.h"

#include "platform/heap.h"

namespace lzh {

std::uint16_t* crcTable = nullptr;
void (*crcSlicedFold)(const std::uint8_t*, std::int32_t, std::uint32_t&) = nullptr;

void BuildCrcTable() {
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = 0, d = i;
    for (int bit = 0; bit < 8; ++bit) {
      crc = ((crc ^ d) & 1) != 0 ? (crc >> 1) ^ kCrcPolynomial : crc >> 1;
      d >>= 1;
    }
    crcTable[i] = static_cast<std::uint16_t>(crc);
  }
}

namespace {

// a * b modulo the polynomial, both in the CRC's bit-reflected form (bit 15
// is the coefficient of x^0).
std::uint32_t MultiplyModPolynomial(std::uint32_t a, std::uint32_t b) {
  std::uint32_t product = 0;
  for (std::uint32_t m = 0x8000; m != 0; m >>= 1) {
    if ((a & m) != 0) product ^= b;
    b = (b & 1) != 0 ? (b >> 1) ^ kCrcPolynomial : b >> 1;
  }
  return product;
}

// x^(8 * bytes) modulo the polynomial: what running `bytes` zero bytes
// through the CRC multiplies its value by.
std::uint32_t ZeroBytesFactor(std::uint32_t bytes) {
  std::uint32_t factor = 0x8000, power = 0x0080;  // x^0 and x^8
  for (; bytes != 0; bytes >>= 1) {
    if ((bytes & 1) != 0) factor = MultiplyModPolynomial(factor, power);
    power = MultiplyModPolynomial(power, power);
  }
  return factor;
}

constexpr std::int32_t kInterleaveFrom = 256;  // bytes; shorter runs go byte by byte

}  // namespace

// Each byte's step waits for the previous one's table lookup, so a long run
// is cut into four quarters folded side by side from 0 (the first from crc)
// and joined after: the CRC of A then B is the CRC of A times x^(8 |B|),
// plus that of B. The result is the byte-by-byte one. Where the sliced
// tables are in use, they take the run's whole 16-byte steps instead.
void CrcUpdate(const std::uint8_t* bytes, std::int32_t count, std::uint32_t& crc) {
  std::int32_t i = 0;
  if (crcSlicedFold != nullptr && count >= 16) {
    i = count & ~15;
    crcSlicedFold(bytes, i, crc);
  }
  std::uint32_t c = crc;
  const std::uint16_t* table = crcTable;
  if (i == 0 && count >= kInterleaveFrom) {
    const std::int32_t quarter = count / 4;
    const std::uint8_t* q1 = bytes + quarter;
    const std::uint8_t* q2 = q1 + quarter;
    const std::uint8_t* q3 = q2 + quarter;
    std::uint32_t c1 = 0, c2 = 0, c3 = 0;
    for (std::int32_t k = 0; k < quarter; ++k) {
      c = table[(c ^ bytes[k]) & 0xFF] ^ (c >> 8);
      c1 = table[(c1 ^ q1[k]) & 0xFF] ^ (c1 >> 8);
      c2 = table[(c2 ^ q2[k]) & 0xFF] ^ (c2 >> 8);
      c3 = table[(c3 ^ q3[k]) & 0xFF] ^ (c3 >> 8);
    }
    const std::uint32_t shift = ZeroBytesFactor(static_cast<std::uint32_t>(quarter));
    c = MultiplyModPolynomial(c, shift) ^ c1;
    c = MultiplyModPolynomial(c, shift) ^ c2;
    c = MultiplyModPolynomial(c, shift) ^ c3;
    i = 4 * quarter;
  }
  for (; i < count; ++i) c = table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  crc = c;
}

CrcTableScope::CrcTableScope() {
  if (crcTable == nullptr) {
    crcTable = static_cast<std::uint16_t*>(AllocateBlock(kCrcTableBytes));
    BuildCrcTable();
    owns_ = true;
  }
}

CrcTableScope::~CrcTableScope() {
  if (!owns_) return;
  ReleaseBlock(crcTable);
  crcTable = nullptr;
}

}  // namespace lzh
