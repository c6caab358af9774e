#include "encoder/optimal_parser.h"

#include <cmath>

#include "codec/huffman_table.h"

namespace lzh {

namespace {

// Bytes per stretch: without block splitting its tokens must fit one
// block; with it, the splitter cuts a longer stretch where that pays, and
// fewer blocks end only because a stretch does.
constexpr int kOneBlockStretch = 65535 - 2 * kMaxMatch;
constexpr int kSplitStretch = 2 * kOneBlockStretch;
constexpr int kStretchCapacity = kSplitStretch + kMaxMatch;
constexpr int kMatchesPerByte = 24;
constexpr int kMatchPool = kStretchCapacity * 6;
constexpr int kSplitStep = 512;  // tokens between candidate block boundaries
constexpr int kMaxBlocks = kStretchCapacity / kSplitStep + 2;
constexpr std::uint32_t kPriceScale = 16;  // prices count 1/16 bits
constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
constexpr int kBlockParses = 5;  // of each block by its own codes

void Count(const Token* tokens, int count, BlockFrequencies& frequencies) {
  frequencies.Clear();
  for (int t = 0; t < count; ++t) frequencies.Add(tokens[t]);
}

}  // namespace

OptimalParser::OptimalParser(const OptimalSettings& settings, MatchFinder& finder,
                             const BlockEncoder& blocks)
    : settings_(settings),
      finder_(finder),
      blocks_(blocks),
      stretchLimit_(settings.splitBlocks ? kSplitStretch : kOneBlockStretch),
      bytes_(kStretchCapacity),
      firstMatch_(kStretchCapacity + 1),
      matches_(kMatchPool),
      cost_(kStretchCapacity + 1),
      choice_(kStretchCapacity + 1),
      tokens_(kStretchCapacity),
      blockTokens_(kStretchCapacity),
      bestTokens_(kStretchCapacity),
      prefix_(kStretchCapacity / kSplitStep + 2),
      heldBlock_(blocks) {
  carry_.Clear();
}

// Every match at every byte of the stretch. A match of niceLength or more
// is taken as it stands: the bytes it covers are only entered in the
// chains, which keeps long runs of one byte fast. Such a match may carry
// the stretch past stretchLimit_.
void OptimalParser::CollectMatches(std::uint32_t start) {
  int used = 0;
  int i = 0;
  int skipUntil = 0;
  while (true) {
    const std::uint32_t position = start + static_cast<std::uint32_t>(i);
    if (finder_.Available(position) == 0) break;
    if (i >= skipUntil && (i >= stretchLimit_ || used + kMatchesPerByte > kMatchPool)) break;
    bytes_[static_cast<std::size_t>(i)] = finder_.ByteAt(position);
    firstMatch_[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(used);
    if (i < skipUntil) {
      finder_.Insert(position);
    } else {
      int found = finder_.FindAll(position, settings_.chainLimit, settings_.niceLength,
                                  &matches_[static_cast<std::size_t>(used)], kMatchesPerByte);
      used += found;
      if (found > 0 && matches_[static_cast<std::size_t>(used - 1)].length >= settings_.niceLength)
        skipUntil = i + matches_[static_cast<std::size_t>(used - 1)].length;
    }
    ++i;
  }
  firstMatch_[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(used);
  stretchBytes_ = i;
}

// Prices in 1/16 bits: the information content of each symbol by the
// frequencies, which steers the next parse more smoothly than whole code
// lengths; a symbol not seen is priced as rarer than any seen.
void OptimalParser::PriceFrom(const BlockFrequencies& frequencies) {
  const int positions = blocks_.PositionCodeCount();
  double total = 0;
  for (int s = 0; s < kLiteralCodeCount; ++s) total += frequencies.literal[s];
  double positionTotal = 0;
  for (int j = 0; j < positions; ++j) positionTotal += frequencies.position[j];
  auto price = [](double count, double all) {
    double bits = -std::log2((count > 0 ? count : 0.5) / (all > 0 ? all : 1));
    if (bits < 0.5) bits = 0.5;
    if (bits > kMaxCodeLength) bits = kMaxCodeLength;
    return static_cast<std::uint32_t>(std::lround(bits * kPriceScale));
  };
  for (int s = 0; s < kLiteralCodeCount; ++s)
    literalPrice_[s] = price(frequencies.literal[s], total);
  for (int j = 0; j < positions; ++j) {
    positionPrice_[j] = price(frequencies.position[j], positionTotal) +
                        static_cast<std::uint32_t>(PositionExtraBits(j) * kPriceScale);
  }
}

// A first price model: the frequencies of taking the longest match
// wherever there is one.
void OptimalParser::PriceGreedy(int from, int to) {
  BlockFrequencies frequencies;
  frequencies.Clear();
  for (int i = from; i < to;) {
    const std::uint32_t first = firstMatch_[static_cast<std::size_t>(i)];
    const std::uint32_t last = firstMatch_[static_cast<std::size_t>(i) + 1];
    if (first == last) {
      frequencies.Add(LiteralToken(bytes_[static_cast<std::size_t>(i)]));
      ++i;
      continue;
    }
    Match m = matches_[last - 1];
    int length = m.length < to - i ? m.length : to - i;
    if (length < kMinMatch) {
      frequencies.Add(LiteralToken(bytes_[static_cast<std::size_t>(i)]));
      ++i;
      continue;
    }
    frequencies.Add(MatchToken(length, m.distance));
    i += length;
  }
  PriceFrom(frequencies);
}

// The cheapest tokens for bytes [from, to) by the current prices; returns
// their count. choice_ holds, for each byte reached, the token that reaches
// it: a literal, or a match ending there.
int OptimalParser::Parse(int from, int to, Token* tokens) {
  for (int i = from + 1; i <= to; ++i) cost_[static_cast<std::size_t>(i)] = kInfinite;
  cost_[static_cast<std::size_t>(from)] = 0;
  for (int i = from; i < to; ++i) {
    const std::uint32_t here = cost_[static_cast<std::size_t>(i)];
    const std::uint8_t byte = bytes_[static_cast<std::size_t>(i)];
    if (here + literalPrice_[byte] < cost_[static_cast<std::size_t>(i) + 1]) {
      cost_[static_cast<std::size_t>(i) + 1] = here + literalPrice_[byte];
      choice_[static_cast<std::size_t>(i) + 1] = LiteralToken(byte);
    }
    int shorter = kMinMatch - 1;
    const std::uint32_t last = firstMatch_[static_cast<std::size_t>(i) + 1];
    for (std::uint32_t k = firstMatch_[static_cast<std::size_t>(i)]; k < last; ++k) {
      const Match m = matches_[k];
      const std::uint32_t base =
          here + positionPrice_[PositionCode(static_cast<std::uint32_t>(m.distance - 1))];
      const int longest = m.length < to - i ? m.length : to - i;
      for (int length = shorter + 1; length <= longest; ++length) {
        const std::uint32_t price = base + literalPrice_[256 + length - kMinMatch];
        const auto at = static_cast<std::size_t>(i) + static_cast<std::size_t>(length);
        if (price < cost_[at]) {
          cost_[at] = price;
          choice_[at] = MatchToken(length, m.distance);
        }
      }
      shorter = longest;
    }
  }
  // Walk back from the end, then turn the tokens round.
  int count = 0;
  for (int i = to; i > from;) {
    const Token token = choice_[static_cast<std::size_t>(i)];
    tokens[count++] = token;
    i -= (token & 0xFFFF) < 256 ? 1 : static_cast<int>(token & 0xFFFF) - 256 + kMinMatch;
  }
  for (int a = 0, b = count - 1; a < b; ++a, --b) {
    const Token t = tokens[a];
    tokens[a] = tokens[b];
    tokens[b] = t;
  }
  return count;
}

std::int64_t OptimalParser::RangeBits(int from, int to) {
  BlockFrequencies frequencies = prefix_[static_cast<std::size_t>(to)];
  frequencies.Subtract(prefix_[static_cast<std::size_t>(from)]);
  return blocks_.BlockBits(frequencies);
}

// Splits candidates [from, to) in two where that saves the most bits, and
// each half again, while splitting saves any.
void OptimalParser::SplitRange(int from, int to, int* ends, int& count) {
  std::int64_t whole = RangeBits(from, to);
  int bestAt = -1;
  std::int64_t best = whole;
  for (int at = from + 1; at < to; ++at) {
    std::int64_t bits = RangeBits(from, at) + RangeBits(at, to);
    if (bits < best) {
      best = bits;
      bestAt = at;
    }
  }
  if (bestAt < 0 && (to - from) * kSplitStep > kMaxBlockCodes) {
    // Too many codes for one block: split anyway, at the cheapest place.
    best = -1;
    for (int at = from + 1; at < to; ++at) {
      std::int64_t bits = RangeBits(from, at) + RangeBits(at, to);
      if (best < 0 || bits < best) {
        best = bits;
        bestAt = at;
      }
    }
  }
  if (bestAt < 0) {
    ends[count++] = to;
    return;
  }
  SplitRange(from, bestAt, ends, count);
  SplitRange(bestAt, to, ends, count);
}

// Block ends, as token counts, for the stretch's tokens_.
int OptimalParser::SplitBlocks(int tokenCount, int* ends) {
  const int candidates = (tokenCount + kSplitStep - 1) / kSplitStep;
  BlockFrequencies running;
  running.Clear();
  prefix_[0] = running;
  for (int c = 0; c < candidates; ++c) {
    const int end = (c + 1) * kSplitStep < tokenCount ? (c + 1) * kSplitStep : tokenCount;
    for (int t = c * kSplitStep; t < end; ++t) running.Add(tokens_[static_cast<std::size_t>(t)]);
    prefix_[static_cast<std::size_t>(c) + 1] = running;
  }
  int count = 0;
  SplitRange(0, candidates, ends, count);
  for (int b = 0; b < count; ++b)
    ends[b] = ends[b] * kSplitStep < tokenCount ? ends[b] * kSplitStep : tokenCount;
  return count;
}

std::uint32_t OptimalParser::Encode(std::uint32_t start, BitOutput& out,
                                    const ParseLimits& limits) {
  const std::int64_t startBits = out.BitCount();
  std::uint32_t position = start;
  carried_ = false;
  while (finder_.Available(position) > 0) {
    const std::int64_t bits = out.BitCount() + heldBlock_.Bits();
    if (limits.Reached(bits, bits - startBits, position - start)) break;
    EncodeStretch(position, out);
  }
  heldBlock_.Send(out);
  return position;
}

// The first prices of a stretch are the codes of the block before (a
// guess from the longest matches at a segment's start).
void OptimalParser::EncodeStretch(std::uint32_t& position, BitOutput& out) {
  CollectMatches(position);
  const int n = stretchBytes_;
  if (carried_) {
    PriceFrom(carry_);
  } else {
    PriceGreedy(0, n);
  }
  int tokenCount = 0;
  BlockFrequencies frequencies{};
  for (int pass = 0; pass < settings_.passes; ++pass) {
    tokenCount = Parse(0, n, tokens_.Get());
    Count(tokens_.Get(), tokenCount, frequencies);
    if (pass + 1 < settings_.passes) PriceFrom(frequencies);
  }
  position += static_cast<std::uint32_t>(n);
  if (!settings_.splitBlocks) {
    Send(tokens_.Get(), tokenCount, frequencies, out);
    return;
  }
  int ends[kMaxBlocks];
  const int blockCount = SplitBlocks(tokenCount, ends);
  int token = 0;
  int byte = 0;
  for (int b = 0; b < blockCount; ++b) {
    const int fromToken = token;
    const int fromByte = byte;
    for (; token < ends[b]; ++token) {
      const Token t = tokens_[static_cast<std::size_t>(token)];
      byte += (t & 0xFFFF) < 256 ? 1 : static_cast<int>(t & 0xFFFF) - 256 + kMinMatch;
    }
    EncodeBlock(fromByte, byte, &tokens_[static_cast<std::size_t>(fromToken)], token - fromToken,
                out);
  }
}

// Bytes [from, to) in one block: parsed again by the prices of the codes
// its tokens make, kBlockParses times, the last by the codes' whole-bit
// lengths; the cheapest version, header included, goes out.
void OptimalParser::EncodeBlock(int from, int to, const Token* tokens, int count, BitOutput& out) {
  BlockFrequencies frequencies{};
  Count(tokens, count, frequencies);
  const Token* best = tokens;
  int bestCount = count;
  BlockFrequencies bestFrequencies = frequencies;
  std::int64_t bestBits = blocks_.BlockBits(frequencies);
  // Trials take turns between two buffers, never the one holding the best.
  Token* const first = blockTokens_.Get();
  Token* const second = bestTokens_.Get();
  Token* trial = first;
  for (int parse = 0; parse < kBlockParses; ++parse) {
    if (parse + 1 < kBlockParses) {
      PriceFrom(frequencies);
    } else {
      PriceByCodes(frequencies);
    }
    const int trialCount = Parse(from, to, trial);
    Count(trial, trialCount, frequencies);
    const std::int64_t bits = blocks_.BlockBits(frequencies);
    // A block of many bytes might be parsed into more codes than it holds.
    if (bits < bestBits && trialCount <= kMaxBlockCodes) {
      bestBits = bits;
      bestCount = trialCount;
      bestFrequencies = frequencies;
      best = trial;
      trial = trial == first ? second : first;
    }
  }
  Send(best, bestCount, bestFrequencies, out);
}

// The block goes to the one held (a long run of one byte fills a stretch
// with a few hundred codes that cost no bits but a header each); its
// frequencies price the next stretch's first parse.
void OptimalParser::Send(const Token* tokens, int count, const BlockFrequencies& frequencies,
                         BitOutput& out) {
  carry_ = frequencies;
  carried_ = true;
  BlockCodes codes;
  blocks_.BuildCodes(frequencies, codes);
  heldBlock_.Add(tokens, count, frequencies, codes, out);
}

// Prices in whole bits: the lengths of the codes built from the
// frequencies, what the block will really cost (a symbol left out of the
// codes at the longest length, a one-symbol code at none).
void OptimalParser::PriceByCodes(const BlockFrequencies& frequencies) {
  BlockCodes codes;
  blocks_.BuildCodes(frequencies, codes);
  auto price = [](std::uint8_t length, int used) {
    const int bits = length != 0 ? length : used < 2 ? 0 : kMaxCodeLength;
    return static_cast<std::uint32_t>(bits) * kPriceScale;
  };
  for (int s = 0; s < kLiteralCodeCount; ++s)
    literalPrice_[s] = price(codes.literalLengths[s], codes.literalUsed);
  for (int j = 0; j < blocks_.PositionCodeCount(); ++j) {
    positionPrice_[j] = price(codes.positionLengths[j], codes.positionUsed) +
                        static_cast<std::uint32_t>(PositionExtraBits(j)) * kPriceScale;
  }
}

}  // namespace lzh
