// DecodeLarc on arbitrary packed bytes, held against the step-by-step
// reference decoder. Input: four bytes of original size (little-endian,
// signed; positive sizes are capped, below, so that every input is quick),
// one byte whose low bit picks the method (0: -lzs-, 1: -lz5-) and whose next
// four bits give the largest read (0: whole blocks), then the packed bytes,
// which are the whole archive.
//
// An input that starts with a level-0 or level-1 member header ("-lz?-" at
// offset 2) is read as an archive instead: method and size from the header,
// the packed bytes from the end of the header on. So the corpus archives
// serve as seeds as they are.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codec/decoder.h"
#include "support/larc_reference.h"
#include "support/memory_file_system.h"

namespace {
// Bytes of output per input: up to 8 KiB, or 64 KiB (past the first output
// block) when the size is a multiple of 16.
constexpr std::int32_t kSmallSize = 8 << 10;
constexpr std::int32_t kLargeSize = 64 << 10;

struct Outcome {
  std::vector<std::uint8_t> output;
  std::uint32_t crc;
  bool overran;
  lzh::FileOffset packedLeft;
};

template <typename Decode>
Outcome Run(Decode decode, const std::vector<std::uint8_t>& packed, std::int32_t original,
            lzh::MethodId method, int readChunk) {
  lzhtest::MemoryFileSystem fs;
  fs.AddFile("a.lzh", packed);
  fs.readChunk = readChunk;
  lzh::FileHandle archive = fs.OpenRead("a.lzh");
  lzh::FileHandle output = fs.CreateOutput("out");
  lzh::MemberStream member{fs,       archive, output, static_cast<std::int32_t>(packed.size()),
                           original, method};
  decode(member);
  fs.Close(archive);
  fs.Close(output);
  return {fs.Find("out")->bytes, member.runningCrc, member.overran, member.packedLeft};
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  auto le32 = [](const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
  };
  std::int32_t original = le32(data);
  lzh::MethodId method = data[4] & 1 ? lzh::MethodIdOf("-lz5-") : lzh::MethodIdOf("-lzs-");
  int readChunk = (data[4] >> 1) & 15;
  std::size_t start = 5;
  if (size >= 22 && data[2] == '-' && data[3] == 'l' && data[4] == 'z' && data[6] == '-') {
    original = le32(data + 11);
    method = data[5] == 's' ? lzh::MethodIdOf("-lzs-") : lzh::MethodIdOf("-lz5-");
    readChunk = 0;
    start = data[0] + 2u;
    if (start > size) start = size;
  }
  if (original > 0) original %= (original % 16 == 0 ? kLargeSize : kSmallSize) + 1;
  std::vector<std::uint8_t> packed(data + start, data + size);

  static lzh::CrcTableScope table;
  const Outcome got = Run(lzh::DecodeLarc, packed, original, method, readChunk);
  const Outcome expected =
      Run([](lzh::MemberStream& m) { lzhtest::larc::ReferenceDecoder(m).Run(); }, packed, original,
          method, 0);
  if (got.output != expected.output || got.crc != expected.crc || got.overran != expected.overran)
    std::abort();
  // Never a byte past the member's packed bytes.
  if (got.packedLeft < 0) std::abort();
  return 0;
}
