// The encoder of the static-Huffman methods -lh5-, -lh6- and -lh7- (and
// -lh4-): LZ77 over a dictionary of 8, 32 or 64 KiB, sent in blocks of
// static Huffman codes that the decoders read.
//
// It streams: it reads the source as it goes and writes the sink a buffer
// at a time, holding the dictionary and one block, never the whole input.
#pragma once

#include <cstdint>

#include "codec/byte_stream.h"

namespace lzh {

inline constexpr int kMinEffort = 1;
inline constexpr int kMaxEffort = 9;
inline constexpr int kDefaultEffort = 5;

struct EncoderOptions {
  int dictionaryBits = 13;      // 12 to 16: see DictionaryBitsForMethod
  int effort = kDefaultEffort;  // 1 fastest .. 9 smallest output
  // Stop once the packed stream would exceed this many bytes (-1: never);
  // a member that will not shrink can then be stored without packing it all.
  std::int64_t packedLimit = -1;
  // Give up as at packedLimit once this many bytes are read (0: never) and
  // the packed stream is not yet a 64th smaller than they are: data that
  // will not shrink is found after a short look. Checked between blocks.
  std::int64_t giveUpAfter = 0;
};

enum class EncodeStatus {
  Done,          // the whole input is packed
  ReadFailed,    // the source reported a failure
  WriteFailed,   // the sink refused bytes
  LimitReached,  // the packed stream passed packedLimit, or gave up (giveUpAfter)
  BadOptions,    // dictionary bits or effort outside their ranges
};

struct EncodeResult {
  EncodeStatus status = EncodeStatus::Done;
  std::int64_t originalBytes = 0;  // bytes read from the source
  std::int64_t packedBytes = 0;    // bytes handed to the sink
};

// Packs the whole source into the sink.
EncodeResult EncodeStaticHuffman(ByteSource& source, ByteSink& sink, const EncoderOptions& options);

}  // namespace lzh
