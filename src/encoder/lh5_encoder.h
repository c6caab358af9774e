// The encoder of the static-Huffman methods -lh5-, -lh6- and -lh7- (and
// -lh4-): LZ77 over a dictionary of 8, 32 or 64 KiB, sent in blocks of
// static Huffman codes that the decoders read.
//
// It streams: it reads the source a segment (1 MiB by default) at a time
// and writes the sink a buffer at a time, holding a segment and the
// dictionary before it, never the whole input. Each segment is parsed on
// its own, so that a runner with two threads can pack two at once (then
// up to four segments are held, read ahead or parsed ahead, the packed
// bits of those whose turn to go out has not come); the packed stream is the same
// with a runner or without (unless a limit is reached: then it is cut
// short, and only the status counts).
#pragma once

#include <cstdint>

#include "encoder/byte_stream.h"
#include "encoder/pair_runner.h"

namespace lzh {

inline constexpr int kMinEffort = 1;
inline constexpr int kMaxEffort = 9;
inline constexpr int kDefaultEffort = 5;
// Bytes per segment by default: each starts its codes afresh and ends in a
// block of its own, so a segment is large against a block.
inline constexpr std::uint32_t kDefaultSegmentBytes = 1u << 20;

struct EncoderOptions {
  int dictionaryBits = 13;      // 12 to 16: see DictionaryBitsForMethod
  int effort = kDefaultEffort;  // 1 fastest .. 9 smallest output
  // Stop once the packed stream would exceed this many bytes (-1: never);
  // a member that will not shrink can then be stored without packing it all.
  std::int64_t packedLimit = -1;
  // Give up as at packedLimit once this many bytes are packed (0: never)
  // and their bits are not a 64th fewer: data that will not shrink is
  // found after a short look. Checked between blocks, for a segment's own
  // bytes with the whole stream's up to four segments before it.
  std::int64_t giveUpAfter = 0;
  PairRunner* runner = nullptr;  // packs two segments at once; null: one after the other
  // Bytes per segment, 1 to 2^30 (0: 1 MiB). Each segment starts its codes
  // afresh: smaller ones pack a little worse in a little less memory.
  std::uint32_t segmentBytes = 0;
};

enum class EncodeStatus {
  Done,          // the whole input is packed
  ReadFailed,    // the source reported a failure
  WriteFailed,   // the sink refused bytes
  LimitReached,  // the packed stream passed packedLimit, or gave up (giveUpAfter)
  BadOptions,    // dictionary bits, effort or segment size outside their ranges
};

struct EncodeResult {
  EncodeStatus status = EncodeStatus::Done;
  std::int64_t originalBytes = 0;  // bytes packed: all the source's unless the limit was reached
  std::int64_t packedBytes = 0;    // bytes handed to the sink
};

// Packs the whole source into the sink.
EncodeResult EncodeStaticHuffman(ByteSource& source, ByteSink& sink, const EncoderOptions& options);

}  // namespace lzh
