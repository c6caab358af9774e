// Small files packed ahead of their turn, into memory, two at once: a file
// within one of the encoder's segments is packed on one thread, so a folder
// of small files would keep one core idle. The archive writer then adds
// each from memory as it would have added it from the file: the same
// bytes, the same member.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/lh5_encoder.h"
#include "encoder/pair_runner.h"

namespace lzhwrite {

// Files larger are left to the writer, which packs them by segments.
inline constexpr std::uint64_t kLargestPackedAhead = lzh::kDefaultSegmentBytes - 1;

// The encoder's options for a file of size bytes, from those of the archive.
lzh::EncoderOptions MemberEncoderOptions(const lzh::EncoderOptions& base, std::uint64_t size);

// One file as it was found and packed. Failures are kept in the order the
// writer meets them: the file's size first, then (after the header) its
// opening and reading.
struct PackedFile {
  enum class Failure {
    None,
    NoSize,      // its size could not be had
    CannotOpen,  // it could not be opened
    ReadFailed,  // reading it failed
    ChangedWhileRead,
  };
  std::string sourcePath;
  Failure failure = Failure::None;
  int systemError = 0;
  std::uint64_t size = 0;            // as the file system gave it, before reading
  std::vector<std::uint8_t> bytes;   // the file's bytes
  std::vector<std::uint8_t> packed;  // the packed stream, where it came out shorter
  bool shrank = false;
  std::uint16_t crc = 0;
  bool read = false;  // bytes, crc, packed and shrank hold the whole file

  // Whether the writer takes the file from here: read whole, or failed.
  bool Ready() const { return read || failure != Failure::None; }
};

// Reads and packs each file whose size is at most largest (the others keep
// only their size) with options, two at once where runner is given.
// Each file's stream is the one the writer packs from the file itself.
void PackFiles(std::vector<PackedFile>& files, const lzh::EncoderOptions& options,
               std::uint64_t largest, lzh::PairRunner* runner);

}  // namespace lzhwrite
