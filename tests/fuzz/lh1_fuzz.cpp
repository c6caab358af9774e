// DecodeLh1 on arbitrary packed bytes, held against the plain decoder of the
// tests for the smaller sizes, and the tool's DecodeLh1Fast against it. Input: four bytes of
// original size (little-endian, signed; positive sizes are capped, below, so that every input is
// quick), one byte whose low four bits give the largest read (0: whole blocks), then the packed
// bytes, which are the whole archive.
//
// An input that starts with a member header ("-lh?-" at offset 2) is read as
// an archive instead: the size from the header, the packed bytes from the
// end of the header on. So the corpus archives serve as seeds as they are.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codec/decoder.h"
#include "support/lh1_bit_writer.h"
#include "support/memory_file_system.h"

namespace {
// Bytes of output per input: up to 8 KiB, or 32 KiB (three output blocks)
// when the size is a multiple of 16. The plain decoder, slow on flat trees,
// checks up to 16 KiB.
constexpr std::int32_t kSmallSize = 8 << 10;
constexpr std::int32_t kLargeSize = 32 << 10;
constexpr std::int32_t kCompareSize = 16 << 10;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  auto le32 = [](const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
  };
  std::int32_t original = le32(data);
  int readChunk = data[4] & 15;
  std::size_t start = 5;
  if (size >= 22 && data[2] == '-' && data[3] == 'l' && data[4] == 'h' && data[6] == '-') {
    original = le32(data + 11);
    readChunk = 0;
    start = data[20] == 2 ? (data[0] | data[1] << 8) : data[0] + 2u;
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
  auto packedSize = static_cast<std::int32_t>(packed.size());
  lzh::MemberStream member{fs, archive, output, packedSize, original, lzh::MethodIdOf("-lh1-")};
  lzh::DecodeLh1(member);
  fs.Close(archive);
  fs.Close(output);
  const std::vector<std::uint8_t>& got = fs.Find("out")->bytes;

  lzhtest::MemoryFileSystem toolFs;
  toolFs.AddFile("a.lzh", packed);
  toolFs.readChunk = readChunk;
  lzh::FileHandle toolOutput = toolFs.CreateOutput("out");
  lzh::MemberStream tool{toolFs,   toolFs.OpenRead("a.lzh"), toolOutput, packedSize,
                         original, lzh::MethodIdOf("-lh1-")};
  lzh::DecodeLh1Fast(tool);
  if (toolFs.Find("out")->bytes != got || tool.runningCrc != member.runningCrc ||
      tool.overran != member.overran || tool.packedLeft != member.packedLeft ||
      toolFs.reads != fs.reads)
    std::abort();

  if (original <= 0 && (fs.reads != 0 || !got.empty())) std::abort();
  if (static_cast<std::int64_t>(got.size()) > (original > 0 ? original : 0)) std::abort();
  std::uint32_t crc = 0;
  lzh::CrcUpdate(got.data(), static_cast<std::int32_t>(got.size()), crc);
  if (crc != member.runningCrc) std::abort();
  if (original <= kCompareSize && lzhtest::lh1::ReferenceDecode(packed, original) != got)
    std::abort();
  return 0;
}
