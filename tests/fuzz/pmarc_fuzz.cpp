// The -pm1- and -pm2- decoders on arbitrary packed bytes, each held against
// the step-by-step reference of support/pmarc_reference.h: the same bytes,
// CRC and finding of a last copy past the member's size; no more than the
// member's packed bytes read and no more than its size written.
//
// Two forms of input:
//  - an archive whose first member is -pm1- or -pm2- (the corpus archives
//    seed this form): the size and the packed bytes from its level-0
//    header;
//  - otherwise one flags byte, originalSize (4 bytes, little-endian), then
//    the packed bytes. Flags: bit 0 the method (-pm1-, -pm2-), bits 1-3 the
//    most a read delivers (0: any).
// A positive size is capped so that a thousand inputs a second are checked:
// up to 6 KiB, or 40 KiB (past an output block and several table reads)
// when it is a multiple of 16.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codec/crc16.h"
#include "codec/decoder.h"
#include "support/memory_file_system.h"
#include "support/pmarc_reference.h"

namespace {
constexpr std::int32_t kSmallSize = 6 << 10;   // bytes
constexpr std::int32_t kLargeSize = 40 << 10;  // bytes
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  auto le32 = [](const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
  };
  bool pm1 = (data[0] & 1) == 0;
  int readChunk = data[0] >> 1 & 7;
  std::int32_t original = le32(data + 1);
  std::size_t start = 5;
  if (size >= 22 && data[2] == '-' && data[3] == 'p' && data[4] == 'm' && data[6] == '-') {
    pm1 = data[5] == '1';
    original = le32(data + 11);
    readChunk = 0;
    start = data[0] + 2u;
    if (start > size) start = size;
  }
  if (original > 0) original %= (original % 16 == 0 ? kLargeSize : kSmallSize) + 1;
  std::vector<std::uint8_t> packed(data + start, data + size);

  static lzh::CrcTableScope table;
  lzhtest::MemoryFileSystem fs;
  fs.AddFile("a.lzh", packed);
  fs.readChunk = readChunk;
  lzh::FileHandle archive = fs.OpenRead("a.lzh");
  lzh::FileHandle output = fs.CreateOutput("out");
  const auto packedSize = static_cast<std::int32_t>(packed.size());
  lzh::MemberStream member{fs,         archive,  output,
                           packedSize, original, lzh::MethodIdOf(pm1 ? "-pm1-" : "-pm2-")};
  (pm1 ? lzh::DecodePm1 : lzh::DecodePm2)(member);
  fs.Close(archive);
  fs.Close(output);
  const std::vector<std::uint8_t>& got = fs.Find("out")->bytes;

  if (member.packedLeft < 0 ||
      static_cast<std::int64_t>(got.size()) > (original > 0 ? original : 0))
    std::abort();
  std::uint32_t crc = 0;
  lzh::CrcUpdate(got.data(), static_cast<std::int32_t>(got.size()), crc);
  if (crc != member.runningCrc) std::abort();
  const lzhtest::pmarc::Decoded want = pm1 ? lzhtest::pmarc::ReferencePm1(packed, original)
                                           : lzhtest::pmarc::ReferencePm2(packed, original);
  if (want.bytes != got || want.overran != member.overran) std::abort();
  return 0;
}
