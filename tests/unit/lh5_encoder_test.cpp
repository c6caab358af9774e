// The static-Huffman encoder: every method, effort and kind of input packs
// to a stream that both decoders turn back into the input, byte for byte.
#include "encoder/lh5_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "archive_writer/thread_pair_runner.h"
#include "codec/decoder.h"
#include "codec/static_huffman_format.h"
#include "support/byte_streams.h"
#include "support/lh5_harness.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using lzhtest::VectorSink;
using lzhtest::VectorSource;

Bytes RandomBytes(std::size_t n, std::uint32_t seed, int alphabet = 256) {
  std::mt19937 random(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(random() % static_cast<unsigned>(alphabet));
  return out;
}

// Words drawn from a small vocabulary: text-like, with matches near and far.
Bytes Text(std::size_t n, std::uint32_t seed) {
  static const char* kWords[] = {"the ",      "archive ",    "member ", "header ", "of ",
                                 "and ",      "decoder ",    "block\n", "code ",   "length ",
                                 "position ", "dictionary ", "a ",      "is ",     "in ",
                                 "Huffman, ", "LZ77. "};
  std::mt19937 random(seed);
  Bytes out;
  while (out.size() < n) {
    const char* w = kWords[random() % (sizeof(kWords) / sizeof(kWords[0]))];
    out.insert(out.end(), w, w + std::char_traits<char>::length(w));
  }
  out.resize(n);
  return out;
}

// Distinct bytes at the start, then a copy from exactly `distance` back:
// the farthest match a method may send, and one byte beyond it.
Bytes RepeatAt(std::size_t distance) {
  Bytes out = RandomBytes(distance, 7);
  Bytes again(out.begin(), out.begin() + 600);
  out.insert(out.end(), again.begin(), again.end());
  return out;
}

struct Input {
  const char* name;
  Bytes bytes;
  const char* methods = "4567";  // the method digits it matters for
};

std::vector<Input> Inputs() {
  std::vector<Input> inputs;
  for (std::size_t n : {0, 1, 2, 3, 4, 257}) inputs.push_back({"short", RandomBytes(n, 1, 4)});
  inputs.push_back({"run of one byte", Bytes(150000, 'a')});
  inputs.push_back({"random", RandomBytes(70000, 2)});
  inputs.push_back({"two symbols", RandomBytes(20000, 3, 2)});
  inputs.push_back({"text", Text(100000, 4)});
  // Around the block sizes: 16,384 codes for the lower efforts (random
  // bytes are mostly literals), stretches of 65,023 bytes for 8 and of
  // 130,046 for 9, whose blocks the splitter must keep to 65,535 codes.
  for (std::size_t n : {16383, 16384, 16385, 65023, 65024, 130046, 130047}) {
    inputs.push_back(
        {"random, around a block", RandomBytes(n, static_cast<std::uint32_t>(n)), "5"});
  }
  // Around each dictionary, and a copy from exactly its size back.
  const struct {
    std::size_t bytes;
    const char* methods;
  } kDictionaries[] = {{4096, "4"}, {8192, "5"}, {32768, "6"}, {65536, "7"}};
  for (const auto& d : kDictionaries) {
    for (std::size_t n : {d.bytes - 1, d.bytes, d.bytes + 1}) {
      inputs.push_back({"random, around the dictionary",
                        RandomBytes(n, static_cast<std::uint32_t>(n)), d.methods});
    }
    inputs.push_back({"repeat at the distance", RepeatAt(d.bytes), d.methods});
  }
  return inputs;
}

Bytes Encode(const Bytes& input, int dictionaryBits, int effort, int readChunk = 0,
             std::uint32_t segmentBytes = 0, lzh::PairRunner* runner = nullptr) {
  VectorSource source(input, readChunk);
  VectorSink sink;
  lzh::EncoderOptions options;
  options.dictionaryBits = dictionaryBits;
  options.effort = effort;
  options.segmentBytes = segmentBytes;
  options.runner = runner;
  lzh::EncodeResult result = lzh::EncodeStaticHuffman(source, sink, options);
  EXPECT_EQ(result.status, lzh::EncodeStatus::Done);
  EXPECT_EQ(result.originalBytes, static_cast<std::int64_t>(input.size()));
  EXPECT_EQ(result.packedBytes, static_cast<std::int64_t>(sink.bytes.size()));
  return sink.bytes;
}

TEST(Lh5Encoder, RoundTripsEveryMethodEffortAndInput) {
  lzh::CrcTableScope table;
  const std::vector<Input> inputs = Inputs();
  for (char digit : {'4', '5', '6', '7'}) {
    const int bits = lzh::DictionaryBitsForMethod(digit);
    const bool ours = lzh::ToolDecoders().Takes(lzh::LhMethodId(digit));
    // Efforts 2, 4 and 6 differ from their neighbours in depths alone.
    for (int effort : {1, 3, 5, 7, 8, 9}) {
      for (const Input& input : inputs) {
        if (std::strchr(input.methods, digit) == nullptr) continue;
        SCOPED_TRACE(std::string("-lh") + digit + "- effort " + std::to_string(effort) + ", " +
                     input.name + ", " + std::to_string(input.bytes.size()) + " bytes");
        // Odd read sizes on some cells: the window refills mid-way.
        const Bytes packed = Encode(input.bytes, bits, effort, effort % 3 == 0 ? 1000 : 0);
        const auto size = static_cast<std::int32_t>(input.bytes.size());
        lzhtest::lh5::DecodeOptions reference;
        reference.digit = digit;
        reference.reference = true;
        ASSERT_EQ(lzhtest::lh5::DecodeMember(packed, size, reference).bytes, input.bytes);
        if (ours) {
          lzhtest::lh5::DecodeOptions optimised;
          optimised.digit = digit;
          ASSERT_EQ(lzhtest::lh5::DecodeMember(packed, size, optimised).bytes, input.bytes);
        }
      }
    }
  }
}

// Runs a pair one after the other on the caller's thread: the paired
// path (four windows) without threads, where nothing may wait.
class InTurnRunner : public lzh::PairRunner {
 public:
  void RunPair(lzh::Work& first, lzh::Work& second) override {
    first.Run();
    second.Run();
  }
  void Lock() override {}
  void Unlock() override {}
  void Sleep() override {
    std::fprintf(stderr, "a lane waits for work that nothing will do\n");
    std::abort();
  }
  void WakeAll() override {}
};

// Segments packed alone, in pairs one after the other, or in pairs on two
// threads make the same stream, and it decodes. Each segment here repeats the one
// before: matches reach back across the seam, so only the first costs.
TEST(Lh5Encoder, SegmentsPackTheSameAloneOrTwoAtOnce) {
  lzh::CrcTableScope table;
  InTurnRunner inTurn;
  lzhwrite::ThreadPairRunner threads;
  for (auto [digit, effort, segment] :
       {std::tuple{'5', 1, 5000u}, {'5', 5, 8192u}, {'7', 3, 25000u}, {'5', 9, 6000u}}) {
    SCOPED_TRACE(std::string("-lh") + digit + "- effort " + std::to_string(effort));
    const Bytes noise = RandomBytes(segment, segment);
    Bytes input;
    for (int copy = 0; copy < 4; ++copy) input.insert(input.end(), noise.begin(), noise.end());
    input.resize(input.size() + 1000, 'x');  // and a segment of its own
    const int bits = lzh::DictionaryBitsForMethod(digit);
    const Bytes alone = Encode(input, bits, effort, 0, segment);
    EXPECT_EQ(Encode(input, bits, effort, 0, segment, &inTurn), alone);
    EXPECT_EQ(Encode(input, bits, effort, 0, segment, &threads), alone);
    EXPECT_LT(alone.size(), segment + segment / 4);
    lzhtest::lh5::DecodeOptions decode;
    decode.digit = digit;
    decode.reference = !lzh::ProgramDecoders().Takes(lzh::LhMethodId(digit));
    EXPECT_EQ(
        lzhtest::lh5::DecodeMember(alone, static_cast<std::int32_t>(input.size()), decode).bytes,
        input);
  }
}

// Bounded random inputs of random lengths and alphabets, through both
// decoders, at random efforts and methods.
TEST(Lh5Encoder, RandomInputsRoundTrip) {
  lzh::CrcTableScope table;
  std::mt19937 random(20261208);
  for (int round = 0; round < 60; ++round) {
    const std::size_t n = random() % 20000;
    const int alphabet = 1 + static_cast<int>(random() % 256);
    Bytes input = RandomBytes(n, random(), alphabet);
    // Sprinkle copies so that matches of every length and distance occur.
    for (std::size_t k = 0; k + 600 < n && k < 20; ++k) {
      std::size_t from = random() % (n - 300), to = random() % (n - 300), len = random() % 300;
      if (from + len < n && to + len < n)
        std::copy_n(input.begin() + from, len, input.begin() + to);
    }
    const char digit = "4567"[random() % 4];
    const int effort = 1 + static_cast<int>(random() % 9);
    SCOPED_TRACE("round " + std::to_string(round));
    const Bytes packed = Encode(input, lzh::DictionaryBitsForMethod(digit), effort);
    lzhtest::lh5::DecodeOptions reference;
    reference.digit = digit;
    reference.reference = true;
    ASSERT_EQ(lzhtest::lh5::DecodeMember(packed, static_cast<std::int32_t>(n), reference).bytes,
              input);
  }
}

// Higher efforts never pack worse than the fastest on compressible data,
// nor the smallest worse than the default on a run of one byte; data that
// cannot shrink grows by little more than the block headers (under 1%; the
// archive writer stores such members).
TEST(Lh5Encoder, EffortPaysAndRandomBytesBarelyGrow) {
  const Bytes text = Text(300000, 9);
  const std::size_t fastest = Encode(text, 13, 1).size();
  const std::size_t balanced = Encode(text, 13, lzh::kDefaultEffort).size();
  const std::size_t smallest = Encode(text, 13, 9).size();
  EXPECT_LT(balanced, fastest);
  EXPECT_LT(smallest, balanced);
  const Bytes noise = RandomBytes(200000, 11);
  for (int effort : {1, lzh::kDefaultEffort, 9})
    EXPECT_LT(Encode(noise, 13, effort).size(), noise.size() + noise.size() / 100);
  // A long run of one byte: codes that cost no bits, so block headers are
  // all there is, and the smallest effort must not write more of them.
  const Bytes run(4u << 20, 0);
  EXPECT_LE(Encode(run, 13, 9, 0, 256u << 10).size(),
            Encode(run, 13, lzh::kDefaultEffort, 0, 256u << 10).size());
}

TEST(Lh5Encoder, ReportsFailuresAndTheLimit) {
  const Bytes text = Text(100000, 5);
  lzh::EncoderOptions options;
  // Also in small segments on two threads: the read ahead of the next
  // segment fails.
  lzhwrite::ThreadPairRunner threads;
  for (auto [segment, runner] :
       {std::pair<std::uint32_t, lzh::PairRunner*>{0, nullptr}, {15000, &threads}}) {
    VectorSource source(text);
    source.failAt = 20000;
    VectorSink sink;
    options.segmentBytes = segment;
    options.runner = runner;
    EXPECT_EQ(lzh::EncodeStaticHuffman(source, sink, options).status,
              lzh::EncodeStatus::ReadFailed);
  }
  options = lzh::EncoderOptions();
  {
    VectorSource source(text);
    VectorSink sink;
    sink.budget = 100;
    EXPECT_EQ(lzh::EncodeStaticHuffman(source, sink, options).status,
              lzh::EncodeStatus::WriteFailed);
  }
  // Past a packed size, or having read enough that has not shrunk; also
  // in segments on two threads, where only the stream's end of a segment
  // shows that the bytes so far did not shrink, and must stop the rest.
  for (auto [effort, limit, giveUpAfter, segment] : {std::tuple{1, 100000, 0, 0u},
                                                     {9, 100000, 0, 0u},
                                                     {5, -1, 50000, 0u},
                                                     {9, -1, 50000, 0u},
                                                     {5, -1, 50000, 15000u}}) {
    const Bytes noise = RandomBytes(300000, 6);
    VectorSource source(noise);
    VectorSink sink;
    options.effort = effort;
    options.packedLimit = limit;
    options.giveUpAfter = giveUpAfter;
    options.segmentBytes = segment;
    options.runner = segment != 0 ? &threads : nullptr;
    lzh::EncodeResult result = lzh::EncodeStaticHuffman(source, sink, options);
    EXPECT_EQ(result.status, lzh::EncodeStatus::LimitReached);
    // It stopped early: in segments, each of the four in flight judges by
    // what was sent up to four segments before it, however late the
    // machine lets the appending lane run.
    EXPECT_LT(result.originalBytes, segment != 0 ? giveUpAfter + 4 * segment + 10000 : 300000);
  }
  options = lzh::EncoderOptions();
  for (auto [bits, effort, segment] :
       {std::tuple{11, 5, 0u}, {17, 5, 0u}, {13, 0, 0u}, {13, 10, 0u}, {13, 5, (1u << 30) + 1}}) {
    VectorSource source(text);
    VectorSink sink;
    options.dictionaryBits = bits;
    options.effort = effort;
    options.segmentBytes = segment;
    EXPECT_EQ(lzh::EncodeStaticHuffman(source, sink, options).status,
              lzh::EncodeStatus::BadOptions);
  }
}

}  // namespace
