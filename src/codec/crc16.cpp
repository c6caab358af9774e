#include "codec/crc16.h"

#include "platform/heap.h"

namespace lzh {

std::uint16_t* CrcTable = nullptr;

void BuildCrcTable() {
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = 0, d = i;
    for (int bit = 0; bit < 8; ++bit) {
      crc = ((crc ^ d) & 1) != 0 ? (crc >> 1) ^ CrcPolynomial : crc >> 1;
      d >>= 1;
    }
    CrcTable[i] = static_cast<std::uint16_t>(crc);
  }
}

void CrcUpdate(const std::uint8_t* bytes, std::int32_t count, std::uint32_t& crc) {
  std::uint32_t c = crc;
  const std::uint16_t* table = CrcTable;
  for (std::int32_t i = 0; i < count; ++i) c = table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  crc = c;
}

CrcTableScope::CrcTableScope() {
  if (CrcTable == nullptr) {
    CrcTable = static_cast<std::uint16_t*>(AllocateBlock(kCrcTableBytes));
    BuildCrcTable();
    owns_ = true;
  }
}

CrcTableScope::~CrcTableScope() {
  if (!owns_) return;
  ReleaseBlock(CrcTable);
  CrcTable = nullptr;
}

}  // namespace lzh
