#include "sfx/pe_checksum.h"

namespace lzh::sfx {

namespace {

constexpr std::uint32_t kFileHeaderBytes = 20;
constexpr std::uint32_t kChecksumInOptionalHeader = 64;

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16) |
         static_cast<std::uint32_t>(b[at + 3]) << 24;
}

}  // namespace

bool FindChecksumField(const std::vector<std::uint8_t>& head, std::uint32_t& offset,
                       std::string& error) {
  if (head.size() < 0x40 || head[0] != 'M' || head[1] != 'Z') {
    error = "not a Windows program (no MZ header)";
    return false;
  }
  std::uint64_t pe = Le32(head, 0x3C);
  std::uint64_t optional = pe + 4 + kFileHeaderBytes;
  if (pe + 4 > head.size() || Le32(head, pe) != 0x00004550) {
    error = "not a Windows program (no PE signature)";
    return false;
  }
  if (optional + kChecksumInOptionalHeader + 4 > head.size() ||
      (head[pe + 20] | head[pe + 21] << 8) < static_cast<int>(kChecksumInOptionalHeader + 4)) {
    error = "the program's optional header is too short";
    return false;
  }
  offset = static_cast<std::uint32_t>(optional + kChecksumInOptionalHeader);
  return true;
}

void PeChecksum::Add(const std::uint8_t* bytes, std::size_t count) {
  std::size_t i = 0;
  // Whole words past the field, summed wide and folded once: an archive of
  // a hundred megabytes goes through here.
  if ((length_ & 1) == 0 && length_ >= fieldOffset_ + 4) {
    std::uint64_t wide = sum_;
    for (; i + 2 <= count; i += 2) wide += static_cast<std::uint32_t>(bytes[i] | bytes[i + 1] << 8);
    length_ += i;
    while (wide >> 16) wide = (wide & 0xFFFF) + (wide >> 16);
    sum_ = static_cast<std::uint32_t>(wide);
  }
  for (; i < count; ++i, ++length_) {
    std::uint8_t byte = length_ - fieldOffset_ < 4 ? 0 : bytes[i];
    if ((length_ & 1) == 0) {
      lowByte_ = byte;
      continue;
    }
    sum_ += static_cast<std::uint32_t>(lowByte_ | byte << 8);
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
  }
}

std::uint32_t PeChecksum::Finish() const {
  std::uint32_t sum = sum_;
  if ((length_ & 1) != 0) {
    sum += lowByte_;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum + static_cast<std::uint32_t>(length_);
}

bool WritePeChecksum(std::vector<std::uint8_t>& exe, std::string& error) {
  std::uint32_t field = 0;
  if (!FindChecksumField(exe, field, error)) return false;
  PeChecksum checksum(field);
  checksum.Add(exe.data(), exe.size());
  std::uint32_t value = checksum.Finish();
  for (int i = 0; i < 4; ++i) exe[field + i] = static_cast<std::uint8_t>(value >> (8 * i));
  return true;
}

}  // namespace lzh::sfx
