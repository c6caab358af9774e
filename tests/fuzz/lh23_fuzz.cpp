// The -lh2- and -lh3- decoders on arbitrary packed bytes, each held against
// its step-by-step reference decoder: the same writes, CRC and finding of
// a last match past the member's size. Input: four bytes of original size
// (little-endian, signed; positive sizes are capped, below, so that a
// thousand inputs a second are checked), one flags byte, then the packed
// bytes. Flags: bits 0-3 the largest read (0: any), bit 4 the method (-lh2-,
// -lh3-), bits 5-6 packedLeft (exact, short by a third, far beyond the data,
// 0).
//
// An input that starts with a -lh2- or -lh3- member header ("-lh2-" at
// offset 2) is read as an archive instead: the method and size from the
// header, the packed bytes from the end of the header on. So the corpus
// archives serve as seeds as they are.
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/decoder.h"
#include "support/lh2_reference.h"
#include "support/lh3_reference.h"
#include "support/memory_file_system.h"

namespace {

// Bytes of output per input: up to 8 KiB, or 40 KiB (past an output block
// and the dictionary) when the size is a multiple of 16.
constexpr std::int32_t kSmallSize = 8 << 10;
constexpr std::int32_t kLargeSize = 40 << 10;

struct Outcome {
  std::vector<std::uint8_t> bytes;
  std::uint32_t crc = 0;
  int writes = 0;
  bool overran = false;
  bool operator==(const Outcome&) const = default;
};

Outcome Run(const std::vector<std::uint8_t>& packed, std::int32_t packedLeft, std::int32_t original,
            int readChunk, char digit, bool reference) {
  lzhtest::MemoryFileSystem fs;
  fs.AddFile("p", packed);
  fs.readChunk = readChunk;
  lzh::MemberStream member{fs,         fs.OpenRead("p"), fs.CreateOutput("out"),
                           packedLeft, original,         lzh::LhMethodId(digit)};
  if (reference && digit == '2') {
    lzhtest::lh2::ReferenceDecoder(member).Run();
  } else if (reference) {
    lzhtest::lh3::ReferenceDecoder(member).Run();
  } else {
    lzh::ToolDecoders().Decode(member);
  }
  return Outcome{fs.Find("out")->bytes, member.runningCrc, fs.writes, member.overran};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static lzh::CrcTableScope crcTable;
  if (size < 5) return 0;
  auto le32 = [](const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return static_cast<std::int32_t>(v);
  };
  std::int32_t original = le32(data);
  const std::uint8_t flags = data[4];
  int readChunk = flags & 15;
  char digit = (flags & 0x10) != 0 ? '3' : '2';
  int packedLeftForm = flags >> 5 & 3;
  std::size_t start = 5;
  if (size >= 22 && std::memcmp(data + 2, "-lh", 3) == 0 && (data[5] == '2' || data[5] == '3') &&
      data[6] == '-') {
    original = le32(data + 11);
    digit = static_cast<char>(data[5]);
    readChunk = 0;
    packedLeftForm = 0;
    start = data[20] == 2 ? (data[0] | data[1] << 8) : data[0] + 2u;
    if (start > size) start = size;
  }
  if (original > 0) original %= (original % 16 == 0 ? kLargeSize : kSmallSize) + 1;
  const std::vector<std::uint8_t> packed(data + start, data + size);
  auto packedLeft = static_cast<std::int32_t>(packed.size());
  if (packedLeftForm == 1) packedLeft = packedLeft * 2 / 3;
  if (packedLeftForm == 2) packedLeft = 0x7FFFFFF0;
  if (packedLeftForm == 3) packedLeft = 0;
  const Outcome got = Run(packed, packedLeft, original, readChunk, digit, false);
  const Outcome want = Run(packed, packedLeft, original, readChunk, digit, true);
  if (!(got == want)) __builtin_trap();
  // Nothing is written past originalSize.
  if (got.bytes.size() > static_cast<std::size_t>(original < 0 ? 0 : original)) __builtin_trap();
  return 0;
}
