// Arbitrary packed bytes and header fields through both paths of the
// static-Huffman decoder (DecodeLh5Fast, with its fast loop, and DecodeLh5,
// the careful path alone), each checked against the step-by-step reference
// decoder: same writes, same CRC, same finding of a last match past the
// member's size. The fast path runs a second time in a ring lent by its
// output, as the write-behind lends one: the same bytes, CRC and finding,
// each write taking the bytes where the last one ended, and the decoder
// changing nothing the writes handed over but the ring's next part and a
// little more (the write-behind's thread reads the rest meanwhile).
//
// Two forms of input:
//  - an archive whose first member is -lh4- to -lh7- or -lhx- (the corpus
//    archives seed this form): the header reader finds the member's fields
//    and the decoder starts at its first packed byte, as in the walk;
//  - otherwise one flags byte, originalSize (4 bytes, little-endian), then
//    the packed bytes. Flags: bits 0 and 6 the method (-lh4- to -lh7-; with
//    bit 7, -lhx- on the tool's build), bits 1-2 packedLeft (exact, short by
//    a third, far beyond the data, 0), bits 3-4 the most a read delivers
//    (any, 1, 7, 100), bit 5 a write budget that cuts the output.
// A positive originalSize, from either form, is capped (CapOriginalSize) so
// that a thousand inputs a second are checked. Writes stop storing past 8 MiB.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/header_cursor.h"
#include "codec/crc16.h"
#include "codec/decoder.h"
#include "codec/static_huffman_format.h"
#include "support/lh5_reference.h"
#include "support/memory_file_system.h"

namespace {

struct Outcome {
  std::vector<std::uint8_t> bytes;
  std::uint32_t crc = 0;
  int writes = 0;
  bool overran = false;
  bool operator==(const Outcome&) const = default;
};

// What one input may decode: up to 8 KiB, which the reference decoder
// checks quickly; when originalSize is a multiple of 16, up to 32 KiB, past
// one flush of the 26 KiB output ring. Negative sizes pass unchanged.
constexpr std::int32_t kSmallSize = 8 << 10;   // bytes
constexpr std::int32_t kLargeSize = 32 << 10;  // bytes

std::int32_t CapOriginalSize(std::int32_t size) {
  if (size <= 0) return size;
  return size % ((size % 16 == 0 ? kLargeSize : kSmallSize) + 1);
}

enum class Path { Fast, Careful, Reference, Lent };

// Memory that lends its ring in parts of 1 KiB and checks how it is used.
class LendingFileSystem final : public lzhtest::MemoryFileSystem {
 public:
  static constexpr std::int32_t kPartBytes = 1024;
  // What a decoder writes past the part it fills, at most: a match started
  // below the part's end, its copy's spare bytes, a code more.
  static constexpr std::size_t kSpareBytes = 1024;

  lzh::LentRing Lend(char digit) {
    const int bits = lzh::DictionaryBitsForMethod(digit);
    // The ring keeps what earlier inputs left in it, as the write-behind's
    // keeps an earlier member's bytes (and -lhx-'s 1.6 MiB is not cleared
    // for each input).
    static std::vector<std::uint8_t> ring, seen;
    size_ = bits <= 13 ? 26 * kPartBytes : 13u << (bits - 2);
    if (ring.size() < size_) {
      ring.resize(size_);
      seen.resize(size_);
    }
    ring_ = ring.data();
    seen_ = seen.data();
    return {ring_, static_cast<std::int32_t>(size_), kPartBytes};
  }

  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override {
    if (ring_ != nullptr) {
      const std::size_t size = size_;
      if (buffer != ring_ + at_ || at_ + static_cast<std::size_t>(count) > size) __builtin_trap();
      // Unchanged since the last write: the bytes from the end of the part
      // after it round to it, but before the first lap ends, those not yet
      // handed over.
      const std::size_t from = at_ + kPartBytes + kSpareBytes;
      Same(from < size ? 0 : from - size, at_);
      if (handed_ >= size && from < size) Same(from, size);
      handed_ += static_cast<std::size_t>(count);
      at_ = (at_ + static_cast<std::size_t>(count)) % size;
      // Within the first lap the next write compares the bytes below at_
      // alone: the large rings of -lh7- and -lhx- are not copied whole.
      std::memcpy(seen_, ring_, handed_ < size ? at_ : size);
    }
    return MemoryFileSystem::Write(file, buffer, count);
  }

 private:
  void Same(std::size_t from, std::size_t to) const {
    if (from < to && std::memcmp(ring_ + from, seen_ + from, to - from) != 0) __builtin_trap();
  }

  std::uint8_t* ring_ = nullptr;
  std::uint8_t* seen_ = nullptr;
  std::size_t size_ = 0;
  std::size_t at_ = 0, handed_ = 0;
};

void Decode(LendingFileSystem& fs, lzh::MemberStream& member, Path path) {
  if (path == Path::Lent) {
    const lzh::LentRing ring = fs.Lend(lzh::MethodDigit(member.method));
    member.lentRing = &ring;
    lzh::DecodeLh5Fast(member);
  } else if (path == Path::Reference) {
    lzhtest::lh5::ReferenceDecoder(member).Run();
  } else if (path == Path::Careful) {
    lzh::DecodeLh5(member);
  } else {
    lzh::DecodeLh5Fast(member);
  }
}

// The method digits the build under test decodes: the program's has no
// -lhx-.
bool Decoded(std::uint8_t digit) {
  return (digit >= '4' && digit <= '7') || (digit == 'x' && !lzh::kProgramCore);
}

bool LooksLikeArchive(const std::uint8_t* data, std::size_t size) {
  return size >= lzh::kFixedHeaderBytes && std::memcmp(data + 2, "-lh", 3) == 0 &&
         Decoded(data[5]) && data[6] == '-';
}

// Returns false when the header reader finds no member.
bool RunArchive(const std::uint8_t* data, std::size_t size, Path path, Outcome& out) {
  LendingFileSystem fs;
  fs.AddFile("a.lzh", std::vector<std::uint8_t>(data, data + size));
  fs.writeBudget = 8 << 20;
  lzh::ArchiveReader archive{fs, fs.OpenRead("a.lzh"), 0, {}};
  lzh::HeaderCursor cursor(archive);
  cursor.Seek(0);
  if (!cursor.Read()) return false;
  const lzh::MemberHeader& h = cursor.Member();
  if (!Decoded(static_cast<std::uint8_t>(h.method[3]))) return false;
  lzh::MemberStream member{
      fs,           archive.archiveHandle,           fs.CreateOutput("out"),
      h.DataSize(), CapOriginalSize(h.originalSize), lzh::MethodIdOf(h.method)};
  Decode(fs, member, path);
  out = Outcome{fs.Find("out")->bytes, member.runningCrc, fs.writes, member.overran};
  return true;
}

Outcome RunPacked(const std::uint8_t* data, std::size_t size, Path path) {
  const std::uint8_t flags = data[0];
  std::uint32_t raw;
  std::memcpy(&raw, data + 1, 4);
  const std::uint8_t* packed = data + 5;
  size -= 5;
  LendingFileSystem fs;
  fs.AddFile("p", std::vector<std::uint8_t>(packed, packed + size));
  static const int kChunks[] = {0, 1, 7, 100};
  fs.readChunk = kChunks[(flags >> 3) & 3];
  // The write-behind takes every byte it is given: no budget in its ring.
  fs.writeBudget = (flags & 0x20) != 0 && path != Path::Lent
                       ? static_cast<std::int64_t>(size) * 37 % 70000
                       : 8 << 20;
  std::int32_t packedLeft = static_cast<std::int32_t>(size);
  switch ((flags >> 1) & 3) {
    case 1:
      packedLeft = packedLeft * 2 / 3;
      break;
    case 2:
      packedLeft = 0x7FFFFFF0;
      break;
    case 3:
      packedLeft = 0;
      break;
  }
  lzh::MemberStream member{fs,
                           fs.OpenRead("p"),
                           fs.CreateOutput("out"),
                           packedLeft,
                           CapOriginalSize(static_cast<std::int32_t>(raw)),
                           lzh::LhMethodId((flags & 0x80) != 0 && !lzh::kProgramCore
                                               ? 'x'
                                               : "4567"[(flags & 1) | (flags >> 5 & 2)])};
  Decode(fs, member, path);
  return Outcome{fs.Find("out")->bytes, member.runningCrc, fs.writes, member.overran};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static lzh::CrcTableScope crcTable;
  Outcome fast, careful, slow, lent;
  std::int64_t originalSize = -1;
  if (LooksLikeArchive(data, size)) {
    if (!RunArchive(data, size, Path::Fast, fast)) return 0;
    RunArchive(data, size, Path::Careful, careful);
    RunArchive(data, size, Path::Reference, slow);
    RunArchive(data, size, Path::Lent, lent);
  } else {
    if (size < 5) return 0;
    fast = RunPacked(data, size, Path::Fast);
    careful = RunPacked(data, size, Path::Careful);
    slow = RunPacked(data, size, Path::Reference);
    lent = RunPacked(data, size, Path::Lent);
    std::uint32_t raw;
    std::memcpy(&raw, data + 1, 4);
    originalSize = CapOriginalSize(static_cast<std::int32_t>(raw));
  }
  if (!(fast == slow) || !(careful == slow)) __builtin_trap();
  // The lent ring is written out in more, smaller writes, and whole.
  lent.writes = slow.writes;
  if (originalSize < 0 || (data[0] & 0x20) == 0) {
    if (!(lent == slow)) __builtin_trap();
  } else if (lent.bytes.size() < slow.bytes.size() ||
             !std::equal(slow.bytes.begin(), slow.bytes.end(), lent.bytes.begin())) {
    __builtin_trap();
  }
  // Nothing is written past originalSize.
  if (originalSize >= 0 && fast.bytes.size() > static_cast<std::size_t>(originalSize))
    __builtin_trap();
  return 0;
}
