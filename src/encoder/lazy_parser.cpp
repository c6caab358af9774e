#include "encoder/lazy_parser.h"

namespace lzh {

namespace {
// Matches up to this long are weighed against their literals by the
// prices of the block before; longer ones always pay.
constexpr int kWeighedMatch = 5;
constexpr std::uint8_t kUnusedBits = 12;  // assumed for a symbol the codes lack
// What a byte a match covers is worth, in 1/16 bits (5 bits): about what
// the bytes around it cost as literals. Measured, 4.5 to 5.5 bits pack
// smallest; fewer take near short matches over far long ones too often,
// more price only the length. Text packs smallest from 4.75 to 5 bits,
// executables from 5.25 (0.02% smaller there, 0.05% larger on text).
constexpr std::int32_t kByteWorth = 80;
}  // namespace

LazyParser::LazyParser(const LazySettings& settings, MatchFinder& finder,
                       const BlockEncoder& blocks)
    : settings_(settings),
      finder_(finder),
      blocks_(blocks),
      tokens_(settings.blockCodes),
      heldBlock_(blocks) {
  frequencies_.Clear();
  GuessPrices();
}

// Before the first block: bytes of 8 bits, short matches and near
// positions cheap, far ones dearer.
void LazyParser::GuessPrices() {
  for (int s = 0; s < kLiteralCodeCount; ++s)
    prices_.literalLengths[s] = static_cast<std::uint8_t>(s < 256 ? 8 : s < 256 + 8 ? 7 : 10);
  for (int j = 0; j < kMaxPositionCodeCount; ++j)
    prices_.positionLengths[j] = static_cast<std::uint8_t>(j < 6 ? 4 : 5);
  SetMatchPrices();
}

void LazyParser::SetMatchPrices() {
  for (int length = kMinMatch; length <= kMaxMatch; ++length) {
    matchPrices_.length[length] =
        16 * prices_.literalLengths[256 + length - kMinMatch] - length * kByteWorth;
  }
  for (int j = 0; j < kMaxPositionCodeCount; ++j)
    matchPrices_.position[j] = 16 * (prices_.positionLengths[j] + PositionExtraBits(j));
}

void LazyParser::FlushBlock(std::uint32_t reached) {
  blockCodes_ = settings_.blockCodes;
  if (count_ > 0) {
    BlockCodes codes;
    blocks_.BuildCodes(frequencies_, codes);
    heldBlock_.Add(tokens_.Get(), count_, frequencies_, codes, *out_);
    // The next codes are priced by those of the block held, which this one
    // joined or starts.
    prices_ = heldBlock_.Codes();
    if (prices_.literalUsed < 2) prices_.literalLengths[prices_.onlyLiteral] = 1;
    for (auto& bits : prices_.literalLengths)
      if (bits == 0) bits = kUnusedBits;
    for (auto& bits : prices_.positionLengths)
      if (bits == 0) bits = 1;
    SetMatchPrices();
    flushed_ = reached;
    const std::int64_t bits = out_->BitCount() + heldBlock_.Bits();
    stopped_ = limits_.Reached(bits, bits - startBits_, reached - start_);
  }
  count_ = 0;
  frequencies_.Clear();
}

Match LazyParser::Find(std::uint32_t position, int longerThan) {
  int chain = longerThan >= kMinMatch ? settings_.lazyChainLimit : settings_.chainLimit;
  if (longerThan >= settings_.goodLength && settings_.goodLength > 0) chain >>= 2;
  Match m = finder_.FindCheapest(position, chain, settings_.niceLength, longerThan, matchPrices_);
  if (m.length >= kMinMatch && m.length <= kWeighedMatch && !Pays(position, m)) m.length = 0;
  return m;
}

// Whether a short match costs fewer bits than its bytes as literals.
bool LazyParser::Pays(std::uint32_t position, const Match& m) const {
  const int j = PositionCode(static_cast<std::uint32_t>(m.distance - 1));
  int matchBits = prices_.literalLengths[256 + m.length - kMinMatch] + prices_.positionLengths[j] +
                  PositionExtraBits(j);
  int literalBits = 0;
  for (int i = 0; i < m.length; ++i)
    literalBits += prices_.literalLengths[finder_.ByteAt(position + static_cast<std::uint32_t>(i))];
  return matchBits < literalBits;
}

// Greedy when not lazy. Lazy: the match found at a byte is held while the
// next byte is searched, and sent only if that finds nothing longer and
// cheaper; otherwise the held byte goes out as a literal.
std::uint32_t LazyParser::Encode(std::uint32_t start, BitOutput& out, const ParseLimits& limits) {
  out_ = &out;
  limits_ = limits;
  start_ = flushed_ = start;
  startBits_ = out.BitCount();
  stopped_ = false;
  count_ = 0;
  blockCodes_ = settings_.blockCodes / 8;
  frequencies_.Clear();
  GuessPrices();

  std::uint32_t pos = start;
  Match held;
  bool holding = false;  // the byte before pos is not sent yet
  while (finder_.Available(pos) > 0 && !stopped_) {
    Match m = Find(pos, holding ? held.length : 0);
    if (!settings_.lazy) {
      if (m.length >= kMinMatch) {
        const std::uint32_t end = pos + static_cast<std::uint32_t>(m.length);
        Emit(MatchToken(m.length, m.distance), end);
        finder_.InsertRange(pos + 1, end);
        pos = end;
      } else {
        Emit(LiteralToken(finder_.ByteAt(pos)), pos + 1);
        ++pos;
      }
      continue;
    }
    // The held match goes out unless the byte as a literal and the longer
    // match from the next byte cost less, by what the bytes are worth.
    if (holding && held.length >= kMinMatch &&
        (m.length <= held.length || 16 * prices_.literalLengths[finder_.ByteAt(pos - 1)] -
                                            kByteWorth + matchPrices_.Of(m.length, m.distance) >=
                                        matchPrices_.Of(held.length, held.distance))) {
      // The held match starts at pos - 1; pos is in the chains already.
      const std::uint32_t end = pos - 1 + static_cast<std::uint32_t>(held.length);
      Emit(MatchToken(held.length, held.distance), end);
      finder_.InsertRange(pos + 1, end);
      pos = end;
      holding = false;
      continue;
    }
    if (holding) Emit(LiteralToken(finder_.ByteAt(pos - 1)), pos);
    if (m.length >= settings_.goodLength * 2) {
      // Long enough that a longer one at the next byte is not worth a look.
      const std::uint32_t end = pos + static_cast<std::uint32_t>(m.length);
      Emit(MatchToken(m.length, m.distance), end);
      finder_.InsertRange(pos + 1, end);
      pos = end;
      holding = false;
      continue;
    }
    held = m;
    holding = true;
    ++pos;
  }
  if (stopped_) {
    heldBlock_.Send(*out_);
    return flushed_;
  }
  if (holding) {
    if (held.length >= kMinMatch)
      Emit(MatchToken(held.length, held.distance),
           pos - 1 + static_cast<std::uint32_t>(held.length));
    else
      Emit(LiteralToken(finder_.ByteAt(pos - 1)), pos);
  }
  if (!stopped_) FlushBlock(pos);
  heldBlock_.Send(*out_);
  return flushed_;
}

}  // namespace lzh
