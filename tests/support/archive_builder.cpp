#include "support/archive_builder.h"

namespace lzhtest {

namespace {

void Put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// Records laid out as "size of this one" (in the previous field), then
// type, data, size of the next.
Bytes RecordChain(const std::vector<Record>& records, std::uint16_t& firstSize) {
  Bytes out;
  firstSize = records.empty() ? 0 : static_cast<std::uint16_t>(records[0].data.size() + 3);
  for (std::size_t i = 0; i < records.size(); ++i) {
    out.push_back(records[i].type);
    out.insert(out.end(), records[i].data.begin(), records[i].data.end());
    Put16(out, i + 1 < records.size() ? records[i + 1].data.size() + 3 : 0);
  }
  return out;
}

}  // namespace

std::uint16_t Crc16(const Bytes& bytes) {
  std::uint32_t crc = 0;
  for (std::uint8_t b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return static_cast<std::uint16_t>(crc);
}

Bytes DirectoryRecordData(const std::string& slashSeparated, bool closingFF) {
  Bytes out;
  for (char c : slashSeparated) out.push_back(c == '/' ? 0xFF : static_cast<std::uint8_t>(c));
  if (closingFF) out.push_back(0xFF);
  return out;
}

Bytes MemberBytes(const MemberSpec& spec) {
  Bytes h;
  std::uint32_t original =
      static_cast<std::uint32_t>(spec.originalSize < 0 ? spec.packed.size() : spec.originalSize);
  if (spec.level == 2) {
    std::uint16_t firstSize = 0;
    std::vector<Record> records = spec.records;
    if (!spec.name.empty()) records.insert(records.begin(), Record{1, ToBytes(spec.name)});
    Bytes chain = RecordChain(records, firstSize);
    std::uint32_t headerSize = 26 + static_cast<std::uint32_t>(chain.size());
    Put16(h, headerSize);
    h.insert(h.end(), spec.method.begin(), spec.method.end());
    Put32(h, spec.packedSizeOverride >= 0 ? static_cast<std::uint32_t>(spec.packedSizeOverride)
                                          : static_cast<std::uint32_t>(spec.packed.size()));
    Put32(h, original);
    Put32(h, spec.timeStamp);
    h.push_back(0x20);
    h.push_back(2);
    Put16(h, spec.crc);
    h.push_back('U');
    Put16(h, firstSize);
    h.insert(h.end(), chain.begin(), chain.end());
  } else {
    std::uint16_t firstSize = 0;
    Bytes chain = spec.level == 1 ? RecordChain(spec.records, firstSize) : Bytes();
    Bytes tail;  // what follows the CRC inside HeaderSize
    if (spec.level == 1) {
      tail.push_back('M');
      Put16(tail, firstSize);
    } else {
      tail = spec.osArea;
    }
    std::uint32_t packedSize = static_cast<std::uint32_t>(spec.packed.size() + chain.size());
    if (spec.packedSizeOverride >= 0)
      packedSize = static_cast<std::uint32_t>(spec.packedSizeOverride);
    h.push_back(static_cast<std::uint8_t>(22 + spec.name.size() + tail.size()));
    h.push_back(0);  // checksum, never verified
    h.insert(h.end(), spec.method.begin(), spec.method.end());
    Put32(h, packedSize);
    Put32(h, original);
    Put32(h, spec.timeStamp);
    h.push_back(0x20);
    h.push_back(static_cast<std::uint8_t>(spec.level));
    h.push_back(static_cast<std::uint8_t>(spec.name.size()));
    h.insert(h.end(), spec.name.begin(), spec.name.end());
    Put16(h, spec.crc);
    h.insert(h.end(), tail.begin(), tail.end());
    h.insert(h.end(), chain.begin(), chain.end());
  }
  h.insert(h.end(), spec.packed.begin(), spec.packed.end());
  return h;
}

Bytes ArchiveBytes(const std::vector<MemberSpec>& members, bool endMarker) {
  Bytes out;
  for (const auto& m : members) {
    Bytes b = MemberBytes(m);
    out.insert(out.end(), b.begin(), b.end());
  }
  if (endMarker) out.push_back(0);
  return out;
}

MemberSpec StoredMember(const std::string& name, const std::string& content, int level) {
  MemberSpec spec;
  spec.name = name;
  spec.packed = ToBytes(content);
  spec.crc = Crc16(spec.packed);
  spec.level = level;
  return spec;
}

}  // namespace lzhtest
