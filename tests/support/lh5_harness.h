// Runs the -lh4- to -lh7- decoder (with its fast loop, its careful path
// alone, or the step-by-step reference) on packed bytes held in an in-memory file, and
// collects what it wrote.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/decoder.h"
#include "support/lh5_reference.h"
#include "support/memory_file_system.h"

namespace lzhtest::lh5 {

struct Decoded {
  std::vector<std::uint8_t> bytes;  // what the writes stored
  std::uint32_t crc = 0;            // runningCrc afterwards
  int writes = 0;
  bool overran = false;
  bool operator==(const Decoded&) const = default;
};

struct DecodeOptions {
  char digit = '5';
  int readChunk = 0;              // a read delivers at most this many bytes (0: any)
  std::int64_t writeBudget = -1;  // bytes the writes may store (-1: any)
  std::int32_t packedLeft = -1;   // -1: the packed bytes' count
  bool reference = false;         // run the step-by-step decoder instead
  bool carefulPath = false;       // run DecodeLh5 (no fast loop) instead of DecodeLh5Fast
};

inline Decoded DecodeMember(const std::vector<std::uint8_t>& packed, std::int32_t originalSize,
                            const DecodeOptions& options = {}) {
  MemoryFileSystem fs;
  fs.AddFile("packed", packed);
  fs.readChunk = options.readChunk;
  fs.writeBudget = options.writeBudget;
  lzh::MemberStream member{
      fs,
      fs.OpenRead("packed"),
      fs.CreateOutput("out"),
      options.packedLeft >= 0 ? options.packedLeft : static_cast<std::int32_t>(packed.size()),
      originalSize,
      lzh::LhMethodId(options.digit)};
  if (options.reference) {
    ReferenceDecoder(member).Run();
  } else if (options.carefulPath) {
    lzh::DecodeLh5(member);
  } else {
    lzh::DecodeLh5Fast(member);
  }
  return Decoded{fs.Find("out")->bytes, member.runningCrc, fs.writes, member.overran};
}

}  // namespace lzhtest::lh5
