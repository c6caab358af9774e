// CRC-16/ARC of decoded member bytes: polynomial 0x8005 bit-reflected
// (0xA001), initial value 0, no final xor. Check value over "123456789" is
// 0xBB3D.
#pragma once

#include <cstdint>

namespace lzh {

inline constexpr std::uint16_t kCrcPolynomial = 0xA001;
inline constexpr int kCrcTableBytes = 514;  // 256 entries and two spare bytes

// The table of the running program: a 514-byte heap block, built once.
extern std::uint16_t* crcTable;

// Fills the 256 entries of crcTable (which must point at storage).
void BuildCrcTable();

// Folds count bytes into crc, in order. A count of 0 or less changes nothing.
void CrcUpdate(const std::uint8_t* bytes, std::int32_t count, std::uint32_t& crc);

// The command-line tool's faster rule for long runs (crc16_sliced.cpp), which
// spends 8 KiB of tables the program does without. UseSlicedCrc(true) builds
// them from crcTable (which must be built) and has CrcUpdate use them, or,
// where the processor multiplies without carries, a fold by such products;
// false returns to the byte-wise rule. The results are the same.
void UseSlicedCrc(bool use);
// Folds a multiple of 16 bytes; null unless UseSlicedCrc(true) was called.
extern void (*crcSlicedFold)(const std::uint8_t* bytes, std::int32_t count, std::uint32_t& crc);

// Owns crcTable for the lifetime of a program or test: obtains the block,
// builds it, and releases it at the end.
class CrcTableScope {
 public:
  CrcTableScope();
  ~CrcTableScope();
  CrcTableScope(const CrcTableScope&) = delete;
  CrcTableScope& operator=(const CrcTableScope&) = delete;

 private:
  bool owns_ = false;
};

}  // namespace lzh
