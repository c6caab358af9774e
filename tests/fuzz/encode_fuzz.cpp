// Arbitrary bytes through the static-Huffman encoder, then back through the
// tool's decoder: the same bytes and CRC, and never a stream past the limit
// the encoder was given.
//
// Input: a settings byte, a segment byte, then the bytes to pack. Settings:
// bits 0-3 the effort (1 to 9), bits 4-5 the dictionary (-lh4- to -lh7-),
// bit 6 a limit of half the input's size. Segment: 0 the encoder's own
// size, otherwise that many 64-byte units, so that short inputs cross
// segment boundaries and blocks are joined and cut as in long ones.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/crc16.h"
#include "codec/decoder.h"
#include "encoder/lh5_encoder.h"
#include "support/byte_streams.h"
#include "support/memory_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static lzh::CrcTableScope crcTable;
  if (size < 2) return 0;
  const std::uint8_t settings = data[0];
  const std::uint8_t segment = data[1];
  const std::vector<std::uint8_t> input(data + 2, data + size);
  static const int kDictionaryBits[] = {12, 13, 15, 16};
  static const char kDigits[] = "4567";
  lzh::EncoderOptions options;
  options.effort = settings % 16 % 9 + 1;
  options.dictionaryBits = kDictionaryBits[settings >> 4 & 3];
  options.segmentBytes = static_cast<std::uint32_t>(segment) * 64;
  if ((settings & 0x40) != 0) options.packedLimit = static_cast<std::int64_t>(input.size() / 2);
  lzhtest::VectorSource source(input);
  lzhtest::VectorSink sink;
  const lzh::EncodeResult result = lzh::EncodeStaticHuffman(source, sink, options);
  if (result.status == lzh::EncodeStatus::LimitReached) return 0;
  if (result.status != lzh::EncodeStatus::Done) __builtin_trap();
  if (result.packedBytes != static_cast<std::int64_t>(sink.bytes.size())) __builtin_trap();
  if (options.packedLimit >= 0 && result.packedBytes > options.packedLimit) __builtin_trap();

  lzhtest::MemoryFileSystem fs;
  fs.AddFile("p", sink.bytes);
  lzh::MemberStream member{fs,
                           fs.OpenRead("p"),
                           fs.CreateOutput("out"),
                           static_cast<lzh::FileOffset>(sink.bytes.size()),
                           static_cast<lzh::FileOffset>(input.size()),
                           lzh::LhMethodId(kDigits[settings >> 4 & 3])};
  lzh::DecodeLh5Fast(member);
  const std::vector<std::uint8_t>& out = fs.Find("out")->bytes;
  std::uint32_t crc = 0;
  lzh::CrcUpdate(input.data(), static_cast<std::int32_t>(input.size()), crc);
  if (member.overran || member.runningCrc != crc || out != input) __builtin_trap();
  return 0;
}
