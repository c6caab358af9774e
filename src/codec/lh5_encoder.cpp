// The driver of the static-Huffman encoder: options, the parse of the
// lower efforts (greedy, then lazy: a match is put off by one byte when the
// next byte starts a longer one), and the blocks.
#include "codec/lh5_encoder.h"

#include "codec/bit_output.h"
#include "codec/block_encoder.h"
#include "codec/match_finder.h"
#include "codec/optimal_parser.h"
#include "codec/static_huffman_format.h"

namespace lzh {

namespace {

struct Effort {
  int chainLimit;  // earlier positions tried per match search
  int niceLength;  // a match this long ends the search
  int goodLength;  // a held match this long cuts the next search to a quarter
  int passes;      // of the optimal parse
  bool lazy;
  bool optimal;  // efforts 8 and 9: OptimalParser
  bool splitBlocks;
};

constexpr Effort kEfforts[kMaxEffort + 1] = {
    {0, 0, 0, 0, false, false, false},       // unused
    {4, 16, 0, 0, false, false, false},      // 1
    {8, 32, 0, 0, false, false, false},      // 2
    {6, 32, 8, 0, true, false, false},       // 3
    {12, 64, 16, 0, true, false, false},     // 4
    {32, 128, 32, 0, true, false, false},    // 5
    {64, 256, 32, 0, true, false, false},    // 6
    {256, 256, 256, 0, true, false, false},  // 7
    {64, 128, 0, 2, false, true, false},     // 8
    {256, 256, 0, 3, false, true, true},     // 9
};

// The larger dictionaries of -lh6- and -lh7- hold more candidates: the
// lazy efforts search twice as deep there.
Effort EffortFor(const EncoderOptions& options) {
  Effort effort = kEfforts[options.effort];
  if (options.dictionaryBits > 13 && effort.lazy) {
    effort.chainLimit *= 2;
    effort.niceLength = effort.niceLength * 2 > kMaxMatch ? kMaxMatch : effort.niceLength * 2;
  }
  return effort;
}

// Codes per block of the lower efforts: large enough that the header is
// cheap, small enough that the codes follow the data.
constexpr int kBlockCodes = 16384;
// Matches up to this long are weighed against their literals by the
// prices of the block before; longer ones always pay.
constexpr int kWeighedMatch = 5;
constexpr std::uint8_t kUnusedBits = 12;  // assumed for a symbol the codes lack

class Lh5Encoder {
 public:
  Lh5Encoder(ByteSource& source, ByteSink& sink, const EncoderOptions& options)
      : options_(options),
        effort_(EffortFor(options)),
        finder_(source, options.dictionaryBits),
        blocks_(options.dictionaryBits),
        out_(sink),
        tokens_(kBlockCodes) {
    frequencies_.Clear();
    // Before the first block: bytes of 8 bits, short matches and near
    // positions cheap, far ones dearer.
    for (int s = 0; s < kLiteralCodeCount; ++s)
      prices_.literalLengths[s] = static_cast<std::uint8_t>(s < 256 ? 8 : s < 256 + 8 ? 7 : 10);
    for (int j = 0; j < kMaxPositionCodeCount; ++j)
      prices_.positionLengths[j] = static_cast<std::uint8_t>(j < 6 ? 4 : 5);
  }

  EncodeResult Run();

 private:
  bool ParseLazy();
  bool ParseOptimal();
  void Emit(Token token) {
    tokens_[static_cast<std::size_t>(count_++)] = token;
    frequencies_.Add(token);
    if (count_ == kBlockCodes) FlushBlock();
  }
  void FlushBlock() {
    if (count_ > 0) {
      blocks_.WriteBlock(tokens_.Get(), count_, frequencies_, out_, &prices_);
      if (prices_.literalUsed < 2) prices_.literalLengths[prices_.onlyLiteral] = 1;
      for (auto& bits : prices_.literalLengths)
        if (bits == 0) bits = kUnusedBits;
      for (auto& bits : prices_.positionLengths)
        if (bits == 0) bits = 1;
    }
    count_ = 0;
    frequencies_.Clear();
  }
  bool OverLimit(std::uint32_t position) const {
    const std::int64_t bits = out_.BitCount();
    if (options_.packedLimit >= 0 && bits > options_.packedLimit * 8) return true;
    const std::int64_t read = position;
    return options_.giveUpAfter > 0 && read >= options_.giveUpAfter && bits / 8 > read - read / 64;
  }
  Match Find(std::uint32_t position, int longerThan) {
    int chain = effort_.chainLimit;
    if (longerThan >= effort_.goodLength && effort_.goodLength > 0) chain >>= 2;
    Match m = finder_.FindLongest(position, chain, effort_.niceLength, longerThan);
    if (m.length >= kMinMatch && m.length <= kWeighedMatch && !Pays(position, m)) m.length = 0;
    return m;
  }
  // Whether a short match costs fewer bits than its bytes as literals.
  bool Pays(std::uint32_t position, const Match& m) const {
    const int j = PositionCode(static_cast<std::uint32_t>(m.distance - 1));
    int matchBits = prices_.literalLengths[256 + m.length - kMinMatch] +
                    prices_.positionLengths[j] + PositionExtraBits(j);
    int literalBits = 0;
    for (int i = 0; i < m.length; ++i)
      literalBits +=
          prices_.literalLengths[finder_.ByteAt(position + static_cast<std::uint32_t>(i))];
    return matchBits < literalBits;
  }

  EncoderOptions options_;
  Effort effort_;
  MatchFinder finder_;
  BlockEncoder blocks_;
  BitOutput out_;
  HeapArray<Token> tokens_;
  BlockFrequencies frequencies_;
  BlockCodes prices_;  // code lengths of the block before, as prices
  int count_ = 0;
  std::uint32_t position_ = 0;
  bool limitReached_ = false;
};

// Greedy when not lazy. Lazy: the match found at a byte is held while the
// next byte is searched, and sent only if that finds nothing longer;
// otherwise the held byte goes out as a literal.
bool Lh5Encoder::ParseLazy() {
  std::uint32_t pos = 0;
  Match held;
  bool holding = false;  // the byte before pos is not sent yet
  while (true) {
    if (!finder_.Prepare(pos)) return false;
    if (finder_.AtEnd(pos)) break;
    if (count_ == 0 && OverLimit(pos)) {
      limitReached_ = true;
      position_ = pos;
      return true;
    }
    Match m = Find(pos, holding ? held.length : 0);
    if (!effort_.lazy) {
      if (m.length >= kMinMatch) {
        Emit(MatchToken(m.length, m.distance));
        finder_.InsertRange(pos + 1, pos + static_cast<std::uint32_t>(m.length));
        pos += static_cast<std::uint32_t>(m.length);
      } else {
        Emit(LiteralToken(finder_.ByteAt(pos)));
        ++pos;
      }
      continue;
    }
    if (holding && held.length >= kMinMatch && m.length <= held.length) {
      // The held match starts at pos - 1; pos is in the chains already.
      Emit(MatchToken(held.length, held.distance));
      const std::uint32_t end = pos - 1 + static_cast<std::uint32_t>(held.length);
      finder_.InsertRange(pos + 1, end);
      pos = end;
      holding = false;
      continue;
    }
    if (holding) Emit(LiteralToken(finder_.ByteAt(pos - 1)));
    if (m.length >= effort_.goodLength * 2) {
      // Long enough that a longer one at the next byte is not worth a look.
      Emit(MatchToken(m.length, m.distance));
      const std::uint32_t end = pos + static_cast<std::uint32_t>(m.length);
      finder_.InsertRange(pos + 1, end);
      pos = end;
      holding = false;
      continue;
    }
    held = m;
    holding = true;
    ++pos;
  }
  if (holding) {
    if (held.length >= kMinMatch)
      Emit(MatchToken(held.length, held.distance));
    else
      Emit(LiteralToken(finder_.ByteAt(pos - 1)));
  }
  position_ = pos;
  return true;
}

bool Lh5Encoder::ParseOptimal() {
  OptimalParser parser(
      finder_, blocks_,
      OptimalSettings{effort_.chainLimit, effort_.niceLength, effort_.passes, effort_.splitBlocks});
  std::uint32_t pos = 0;
  while (true) {
    if (!finder_.Prepare(pos)) return false;
    if (finder_.AtEnd(pos)) break;
    if (OverLimit(pos)) {
      limitReached_ = true;
      break;
    }
    if (!parser.EncodeStretch(pos, out_)) return false;
  }
  position_ = pos;
  return true;
}

EncodeResult Lh5Encoder::Run() {
  EncodeResult result;
  bool ok = effort_.optimal ? ParseOptimal() : ParseLazy();
  if (ok && !limitReached_) FlushBlock();
  out_.Finish();
  result.originalBytes = position_;
  result.packedBytes = out_.BitCount() / 8;
  if (!ok) {
    result.status = EncodeStatus::ReadFailed;
  } else if (out_.Failed()) {
    result.status = EncodeStatus::WriteFailed;
  } else if (limitReached_ ||
             (options_.packedLimit >= 0 && out_.BitCount() > options_.packedLimit * 8)) {
    result.status = EncodeStatus::LimitReached;
  }
  return result;
}

}  // namespace

EncodeResult EncodeStaticHuffman(ByteSource& source, ByteSink& sink,
                                 const EncoderOptions& options) {
  if (options.dictionaryBits < 12 || options.dictionaryBits > kMaxDictionaryBits ||
      options.effort < kMinEffort || options.effort > kMaxEffort) {
    EncodeResult bad;
    bad.status = EncodeStatus::BadOptions;
    return bad;
  }
  Lh5Encoder encoder(source, sink, options);
  return encoder.Run();
}

}  // namespace lzh
