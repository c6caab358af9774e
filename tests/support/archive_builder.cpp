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
// type, data, size of the next: 2 bytes, or 4 (level 3).
Bytes RecordChain(const std::vector<Record>& records, std::uint32_t& firstSize, int sizeBytes = 2) {
  Bytes out;
  auto sizeOf = [&](std::size_t i) {
    return static_cast<std::uint32_t>(records[i].data.size() + 1 + sizeBytes);
  };
  firstSize = records.empty() ? 0 : sizeOf(0);
  for (std::size_t i = 0; i < records.size(); ++i) {
    out.push_back(records[i].type);
    out.insert(out.end(), records[i].data.begin(), records[i].data.end());
    const std::uint32_t next = i + 1 < records.size() ? sizeOf(i + 1) : 0;
    if (sizeBytes == 4) {
      Put32(out, next);
    } else {
      Put16(out, next);
    }
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

Bytes MemberBytes(const MemberPlan& plan) {
  Bytes h;
  std::uint32_t original =
      static_cast<std::uint32_t>(plan.originalSize < 0 ? plan.packed.size() : plan.originalSize);
  if (plan.level >= 2) {
    // Level 3: 4-byte sizes, the header's own after the OS id.
    const bool wide = plan.level == 3;
    std::uint32_t firstSize = 0;
    std::vector<Record> records = plan.records;
    if (!plan.name.empty()) records.insert(records.begin(), Record{1, ToBytes(plan.name)});
    Bytes chain = RecordChain(records, firstSize, wide ? 4 : 2);
    std::uint32_t headerSize = (wide ? 32 : 26) + static_cast<std::uint32_t>(chain.size());
    Put16(h, wide ? 4 : headerSize);
    h.insert(h.end(), plan.method.begin(), plan.method.end());
    Put32(h, plan.packedSizeOverride >= 0 ? static_cast<std::uint32_t>(plan.packedSizeOverride)
                                          : static_cast<std::uint32_t>(plan.packed.size()));
    Put32(h, original);
    Put32(h, plan.timeStamp);
    h.push_back(0x20);
    h.push_back(static_cast<std::uint8_t>(plan.level));
    Put16(h, plan.crc);
    h.push_back('U');
    if (wide) {
      Put32(h, headerSize);
      Put32(h, firstSize);
    } else {
      Put16(h, firstSize);
    }
    h.insert(h.end(), chain.begin(), chain.end());
  } else {
    std::uint32_t firstSize = 0;
    Bytes chain = plan.level == 1 ? RecordChain(plan.records, firstSize) : Bytes();
    Bytes tail;  // what follows the CRC inside headerSize
    if (plan.level == 1) {
      tail.push_back('M');
      Put16(tail, firstSize);
    } else {
      tail = plan.osArea;
    }
    std::uint32_t packedSize = static_cast<std::uint32_t>(plan.packed.size() + chain.size());
    if (plan.packedSizeOverride >= 0)
      packedSize = static_cast<std::uint32_t>(plan.packedSizeOverride);
    const int crcBytes = plan.noCrc ? 0 : 2;
    h.push_back(static_cast<std::uint8_t>(20 + crcBytes + plan.name.size() + tail.size()));
    h.push_back(0);  // the checksum, below
    h.insert(h.end(), plan.method.begin(), plan.method.end());
    Put32(h, packedSize);
    Put32(h, original);
    Put32(h, plan.timeStamp);
    h.push_back(0x20);
    h.push_back(static_cast<std::uint8_t>(plan.level));
    h.push_back(static_cast<std::uint8_t>(plan.name.size()));
    h.insert(h.end(), plan.name.begin(), plan.name.end());
    if (!plan.noCrc) Put16(h, plan.crc);
    h.insert(h.end(), tail.begin(), tail.end());
    std::uint8_t sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i) sum = static_cast<std::uint8_t>(sum + h[i]);
    h[1] = sum;
    h.insert(h.end(), chain.begin(), chain.end());
  }
  h.insert(h.end(), plan.packed.begin(), plan.packed.end());
  return h;
}

Bytes ArchiveBytes(const std::vector<MemberPlan>& members, bool endMarker) {
  Bytes out;
  for (const auto& m : members) {
    Bytes b = MemberBytes(m);
    out.insert(out.end(), b.begin(), b.end());
  }
  if (endMarker) out.push_back(0);
  return out;
}

MemberPlan StoredMember(const std::string& name, const std::string& content, int level) {
  MemberPlan plan;
  plan.name = name;
  plan.packed = ToBytes(content);
  plan.crc = Crc16(plan.packed);
  plan.level = level;
  return plan;
}

}  // namespace lzhtest
