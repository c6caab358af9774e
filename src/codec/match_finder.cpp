#include "codec/match_finder.h"

namespace lzh {

namespace {
// Spare bytes behind the data, read (and ignored) by 8-byte comparisons.
constexpr std::uint32_t kSlackBytes = 8;
// The window holds at least this much beyond the dictionary, so that a
// refill reads a good stretch at once.
constexpr std::uint32_t kMinReadAhead = 32768;
}  // namespace

MatchFinder::MatchFinder(ByteSource& source, int dictionaryBits)
    : source_(source),
      dictionaryBytes_(1u << dictionaryBits),
      dictionaryMask_(dictionaryBytes_ - 1),
      capacity_(dictionaryBytes_ +
                (dictionaryBytes_ > kMinReadAhead ? dictionaryBytes_ : kMinReadAhead) + kMaxMatch),
      buffer_(capacity_ + kSlackBytes),
      latest3_(1u << kHash3Bits),
      head_(1u << kHashBits),
      prev_(dictionaryBytes_) {
  // Comparisons may look at bytes behind the data; they must be defined.
  std::memset(buffer_.Get(), 0, buffer_.Size());
  std::memset(latest3_.Get(), 0, latest3_.Size() * sizeof(std::uint32_t));
  std::memset(head_.Get(), 0, head_.Size() * sizeof(std::uint32_t));
  std::memset(prev_.Get(), 0, prev_.Size() * sizeof(std::uint32_t));
}

bool MatchFinder::Refill(std::uint32_t position) {
  if (failed_) return false;
  // Keep the dictionary behind position; move the rest to the front.
  std::uint32_t keepFrom = position > dictionaryBytes_ ? position - dictionaryBytes_ : 0;
  if (keepFrom > base_ && end_ - base_ >= capacity_) {
    std::memmove(buffer_.Get(), buffer_.Get() + (keepFrom - base_), end_ - keepFrom);
    base_ = keepFrom;
  }
  while (!atEnd_ && end_ - base_ < capacity_) {
    std::uint32_t room = capacity_ - (end_ - base_);
    std::int32_t got =
        source_.Read(buffer_.Get() + (end_ - base_), static_cast<std::int32_t>(room));
    if (got < 0) {
      failed_ = true;
      return false;
    }
    if (got == 0) atEnd_ = true;
    end_ += static_cast<std::uint32_t>(got);
  }
  return true;
}

Match MatchFinder::FindLongest(std::uint32_t position, int chainLimit, int niceLength,
                               int longerThan) {
  Match best;
  std::uint32_t available = end_ - position;
  if (available < static_cast<std::uint32_t>(kMinMatch)) return best;
  const int limit =
      available < static_cast<std::uint32_t>(kMaxMatch) ? static_cast<int>(available) : kMaxMatch;
  if (niceLength > limit) niceLength = limit;
  int bestLength = longerThan < kMinMatch - 1 ? kMinMatch - 1 : longerThan;
  std::uint32_t latest3, entry;
  Enter(position, latest3, entry);
  if (bestLength >= limit) return best;
  const std::uint8_t* here = &buffer_[position - base_];
  // The nearest match of three bytes or more, then longer ones by the
  // chain (which often starts at the same place).
  if (latest3 != 0 && latest3 != entry && position - (latest3 - 1) <= dictionaryBytes_) {
    const std::uint8_t* there = &buffer_[latest3 - 1 - base_];
    const int length = there[bestLength] == here[bestLength] ? MatchLength(here, there, limit) : 0;
    if (length > bestLength) {
      bestLength = length;
      best = Match{length, static_cast<int>(position - (latest3 - 1))};
      if (length >= niceLength) return best;
    }
  }
  while (entry != 0 && chainLimit-- > 0) {
    const std::uint32_t candidate = entry - 1;
    const std::uint32_t distance = position - candidate;
    if (distance > dictionaryBytes_) break;
    const std::uint8_t* there = &buffer_[candidate - base_];
    if (there[bestLength] == here[bestLength]) {
      int length = MatchLength(here, there, limit);
      if (length > bestLength) {
        bestLength = length;
        best = Match{length, static_cast<int>(distance)};
        if (length >= niceLength) break;
      }
    }
    const std::uint32_t next = prev_[candidate & dictionaryMask_];
    if (next >= entry) break;  // a slot reused by a later position
    entry = next;
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
  const std::uint8_t* here = &buffer_[position - base_];
  int bestLength = kMinMatch - 1;
  if (latest3 != 0 && latest3 != entry && position - (latest3 - 1) <= dictionaryBytes_) {
    int length = MatchLength(here, &buffer_[latest3 - 1 - base_], limit);
    if (length > bestLength) {
      bestLength = length;
      out[found++] = Match{length, static_cast<int>(position - (latest3 - 1))};
      if (length >= niceLength) return found;
    }
  }
  while (entry != 0 && chainLimit-- > 0 && found < capacity) {
    const std::uint32_t candidate = entry - 1;
    const std::uint32_t distance = position - candidate;
    if (distance > dictionaryBytes_) break;
    const std::uint8_t* there = &buffer_[candidate - base_];
    if (there[bestLength] == here[bestLength]) {
      int length = MatchLength(here, there, limit);
      if (length > bestLength) {
        bestLength = length;
        out[found++] = Match{length, static_cast<int>(distance)};
        if (length >= niceLength) break;
      }
    }
    const std::uint32_t next = prev_[candidate & dictionaryMask_];
    if (next >= entry) break;
    entry = next;
  }
  return found;
}

}  // namespace lzh
