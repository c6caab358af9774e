#include "encoder/match_finder.h"

#include <cstdint>

namespace lzh {

MatchFinder::MatchFinder(int dictionaryBits)
    : dictionaryBytes_(1u << dictionaryBits),
      dictionaryMask_(dictionaryBytes_ - 1),
      latest3_(1u << kHash3Bits),
      head_(1u << kHashBits),
      links_(dictionaryBytes_) {}

// Every link is cleared too, though a walk never reaches a link from an
// earlier window: the result must depend on the window alone, not on what
// the finder did before.
void MatchFinder::Begin(const InputWindow& window) {
  std::memset(latest3_.Get(), 0, latest3_.Size() * sizeof(std::uint32_t));
  std::memset(head_.Get(), 0, head_.Size() * sizeof(std::uint32_t));
  std::memset(links_.Get(), 0, links_.Size() * sizeof(ChainLinks));
  bytes_ = window.Bytes();
  end_ = window.End();
  InsertRange(0, window.Start());
}

Match MatchFinder::FindCheapest(std::uint32_t position, int chainLimit, int niceLength,
                                int longerThan, const MatchPrices& prices) {
  Match best;
  std::uint32_t available = end_ - position;
  if (available < static_cast<std::uint32_t>(kMinMatch)) return best;
  const int limit =
      available < static_cast<std::uint32_t>(kMaxMatch) ? static_cast<int>(available) : kMaxMatch;
  if (niceLength > limit) niceLength = limit;
  int bestLength = longerThan < kMinMatch - 1 ? kMinMatch - 1 : longerThan;
  std::int32_t bestPrice = INT32_MAX;
  std::uint32_t latest3, entry;
  Enter(position, latest3, entry);
  if (bestLength >= limit) return best;
  const std::uint8_t* here = bytes_ + position;
  const std::uint32_t farthest = Farthest(position);
  // The nearest match of three bytes or more, then longer ones by the
  // chain (which often starts at the same place).
  std::uint32_t distance = position + 1 - latest3;
  if (latest3 != entry && distance <= farthest) {
    const std::uint8_t* there = here - distance;
    const int length = there[bestLength] == here[bestLength] ? MatchLength(here, there, limit) : 0;
    if (length > bestLength) {
      bestLength = length;
      bestPrice = prices.Of(length, static_cast<int>(distance));
      best = Match{length, static_cast<int>(distance)};
      if (length >= niceLength) return best;
    }
  }
  // A candidate must agree up to bestLength to beat the best: the four
  // bytes that end there (the first four at first: the chain only holds
  // positions of four bytes, and a walk only begins with four ahead) are
  // compared first.
  int tailAt = bestLength > 3 ? bestLength - 3 : 0;
  std::uint32_t tail = Load4At(here + tailAt);
  // The walk is the encoder's hottest loop: a step is one load of the
  // links of four candidates (see Link), the tables and the bound sit in
  // locals, and the step count is tested once a candidate. Candidates are
  // tried nearest first, as one by one.
  const ChainLinks* const links = links_.Get();
  const std::uint32_t mask = dictionaryMask_;
  const std::uint32_t chainEnd = ChainEnd(position);
  const std::uint8_t* const before = bytes_ - 1;  // before + at: the candidate at - 1
  // Whether the candidate at - 1 ends the walk (a match of niceLength).
  auto tryCandidate = [&](std::uint32_t at) {
    const std::uint8_t* there = before + at;
    if (Load4At(there + tailAt) != tail) return false;
    const int length = MatchLength(here, there, limit);
    if (length <= bestLength) return false;
    const auto distance = static_cast<int>(position + 1 - at);
    const std::int32_t price = prices.Of(length, distance);
    // A longer match that costs more leaves the best as it is; the walk
    // goes on for one longer still.
    if (price >= bestPrice) return false;
    bestLength = length;
    bestPrice = price;
    best = Match{length, distance};
    if (length >= niceLength) return true;
    tailAt = bestLength - 3;
    tail = Load4At(here + tailAt);
    return false;
  };
  std::uint32_t at = entry;
  if (chainLimit <= 0 || at < chainEnd) return best;
  while (true) {
    const ChainLinks next = links[at & mask];
    if (tryCandidate(at) || --chainLimit == 0) break;
    if (next.at[0] < chainEnd) break;
    if (tryCandidate(next.at[0]) || --chainLimit == 0) break;
    if (next.at[1] < chainEnd) break;
    if (tryCandidate(next.at[1]) || --chainLimit == 0) break;
    if (next.at[2] < chainEnd) break;
    if (tryCandidate(next.at[2]) || --chainLimit == 0) break;
    at = next.at[3];
    if (at < chainEnd) break;
  }
  return best;
}

int MatchFinder::FindAll(std::uint32_t position, int chainLimit, int niceLength, Match* out,
                         int capacity) {
  int found = 0;
  std::uint32_t available = end_ - position;
  if (available < static_cast<std::uint32_t>(kMinMatch)) return 0;
  const int limit =
      available < static_cast<std::uint32_t>(kMaxMatch) ? static_cast<int>(available) : kMaxMatch;
  if (niceLength > limit) niceLength = limit;
  std::uint32_t latest3, entry;
  Enter(position, latest3, entry);
  const std::uint8_t* here = bytes_ + position;
  const std::uint32_t farthest = Farthest(position);
  int bestLength = kMinMatch - 1;
  std::uint32_t distance = position + 1 - latest3;
  if (latest3 != entry && distance <= farthest) {
    const int length = MatchLength(here, here - distance, limit);
    if (length > bestLength) {
      bestLength = length;
      out[found++] = Match{length, static_cast<int>(distance)};
      if (length >= niceLength) return found;
    }
  }
  const std::uint32_t chainEnd = ChainEnd(position);
  for (std::uint32_t at = entry; chainLimit > 0 && at >= chainEnd && found < capacity;
       --chainLimit, at = links_[at & dictionaryMask_].at[0]) {
    distance = position + 1 - at;
    const std::uint8_t* there = here - distance;
    if (there[bestLength] == here[bestLength]) {
      const int length = MatchLength(here, there, limit);
      if (length > bestLength) {
        bestLength = length;
        out[found++] = Match{length, static_cast<int>(distance)};
        if (length >= niceLength) break;
      }
    }
  }
  return found;
}

}  // namespace lzh
