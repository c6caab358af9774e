// The checksum field of a PE file's optional header. Windows checks it only
// for drivers and some system DLLs, but signing tools and scanners read a
// wrong one as the mark of a file changed after it was linked.
//
// Format notes. The checksum is the sum of the file's 16-bit little-endian
// words, each carry out of bit 15 added back in (so the sum stays 16 bits),
// with the checksum field itself counted as zero, plus the file's length in
// bytes. An odd last byte counts as a word whose high byte is zero. The
// field lies 64 bytes into the optional header, in PE32 and PE32+ alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lzh::sfx {

// The file offset of the checksum field of the PE file that head starts.
// False, with the reason in error, when head is not a PE file's start.
bool FindChecksumField(const std::vector<std::uint8_t>& head, std::uint32_t& offset,
                       std::string& error);

// The checksum over a file handed in as chunks of any size, in order.
class PeChecksum {
 public:
  explicit PeChecksum(std::uint32_t fieldOffset) : fieldOffset_(fieldOffset) {}

  void Add(const std::uint8_t* bytes, std::size_t count);
  std::uint32_t Finish() const;

 private:
  std::uint32_t fieldOffset_;
  std::uint64_t length_ = 0;
  std::uint32_t sum_ = 0;
  std::uint8_t lowByte_ = 0;  // of a word whose high byte has not come yet
};

// Computes the checksum of exe, the whole file, and writes it into its field.
bool WritePeChecksum(std::vector<std::uint8_t>& exe, std::string& error);

}  // namespace lzh::sfx
