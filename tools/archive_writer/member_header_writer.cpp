#include "archive_writer/member_header_writer.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "codec/crc16.h"

namespace lzhwrite {

namespace {

constexpr std::uint8_t kAttributeFile = 0x20;
constexpr std::uint8_t kAttributeDirectory = 0x10;
constexpr std::uint8_t kOsId = 'M';
constexpr std::size_t kMaxSmallHeader = 255;     // levels 0 and 1: one size byte
constexpr std::size_t kMaxLevel2Header = 65535;  // two size bytes
constexpr std::uint64_t kMaxSizeField = 0xFFFFFFFF;
constexpr std::uint8_t kLargeSizesRecord = 0x42;
constexpr std::uint8_t kUnixModeRecord = 0x50;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put64(std::vector<std::uint8_t>& out, std::uint64_t v) {
  Put32(out, static_cast<std::uint32_t>(v));
  Put32(out, static_cast<std::uint32_t>(v >> 32));
}
void Set16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// Splits "a/b/c" into its directory "a/b" and name "c"; a directory entry
// is all directory.
void Split(const MemberFields& f, std::string& directory, std::string& name) {
  if (f.isDirectory) {
    directory = f.path;
    name.clear();
    return;
  }
  std::size_t slash = f.path.rfind('/');
  directory = slash == std::string::npos ? std::string() : f.path.substr(0, slash);
  name = slash == std::string::npos ? f.path : f.path.substr(slash + 1);
}
void Split16(const MemberFields& f, std::u16string& directory, std::u16string& name) {
  if (f.isDirectory) {
    directory = f.utf16Path;
    name.clear();
    return;
  }
  std::size_t slash = f.utf16Path.rfind(u'/');
  directory = slash == std::u16string::npos ? std::u16string() : f.utf16Path.substr(0, slash);
  name = slash == std::u16string::npos ? f.utf16Path : f.utf16Path.substr(slash + 1);
}

// "a/b" as the directory record holds it: each component ended by 0xFF.
std::string DirectoryRecordText(const std::string& directory) {
  std::string text;
  if (directory.empty()) return text;
  for (char c : directory) text.push_back(c == '/' ? '\xFF' : c);
  text.push_back('\xFF');
  return text;
}

// The 22 bytes every level opens with; bytes 0, 1 and the level-2 fields
// are filled by the caller. Sizes past the fields keep their low 32 bits.
void PutCommon(const MemberFields& f, std::uint64_t packedSize, std::uint32_t time, int level,
               std::vector<std::uint8_t>& out) {
  out.assign(2, 0);
  out.insert(out.end(), f.method, f.method + 5);
  Put32(out, static_cast<std::uint32_t>(packedSize));
  Put32(out, static_cast<std::uint32_t>(f.originalSize));
  Put32(out, time);
  out.push_back(f.isDirectory ? kAttributeDirectory : kAttributeFile);
  out.push_back(static_cast<std::uint8_t>(level));
}

std::uint8_t Checksum(const std::vector<std::uint8_t>& header, std::size_t end) {
  unsigned sum = 0;
  for (std::size_t i = 2; i < end; ++i) sum += header[i];
  return static_cast<std::uint8_t>(sum);
}

HeaderError Level0(const MemberFields& f, std::vector<std::uint8_t>& out) {
  std::string name = f.path;
  for (char& c : name)
    if (c == '/') c = '\\';
  if (f.isDirectory) name.push_back('\\');
  if (22 + name.size() > kMaxSmallHeader) return HeaderError::NameTooLong;
  if (f.originalSize > kMaxSizeField || f.packedSize > kMaxSizeField)
    return HeaderError::SizeTooLarge;
  PutCommon(f, f.packedSize, DosTimeFromUnix(f.unixTime), 0, out);
  out.push_back(static_cast<std::uint8_t>(name.size()));
  out.insert(out.end(), name.begin(), name.end());
  Put16(out, f.crc);
  out[0] = static_cast<std::uint8_t>(out.size() - 2);
  out[1] = Checksum(out, out.size());
  return HeaderError::None;
}

HeaderError Level1(const MemberFields& f, std::vector<std::uint8_t>& out) {
  std::string directory, name;
  Split(f, directory, name);
  const std::string record = DirectoryRecordText(directory);
  if (25 + name.size() > kMaxSmallHeader || record.size() + 3 > 65535)
    return HeaderError::NameTooLong;
  // The records follow the base header, each as type, data and the next
  // one's size; the packed size counts them.
  std::vector<std::uint8_t> records;
  std::uint32_t firstSize = 0;
  auto add = [&](std::uint8_t type, const std::uint8_t* data, std::size_t size) {
    if (records.empty()) {
      firstSize = static_cast<std::uint32_t>(size + 3);
    } else {
      Set16(records, records.size() - 2, static_cast<std::uint32_t>(size + 3));
    }
    records.push_back(type);
    records.insert(records.end(), data, data + size);
    Put16(records, 0);
  };
  if (!record.empty())
    add(0x02, reinterpret_cast<const std::uint8_t*>(record.data()), record.size());
  if (f.unixMode != 0) {
    const std::uint8_t mode[2] = {static_cast<std::uint8_t>(f.unixMode),
                                  static_cast<std::uint8_t>(f.unixMode >> 8)};
    add(kUnixModeRecord, mode, sizeof mode);
  }
  const auto recordBytes = static_cast<std::uint32_t>(records.size());
  if (f.originalSize > kMaxSizeField || f.packedSize + recordBytes > kMaxSizeField)
    return HeaderError::SizeTooLarge;
  PutCommon(f, f.packedSize + recordBytes, DosTimeFromUnix(f.unixTime), 1, out);
  out.push_back(static_cast<std::uint8_t>(name.size()));
  out.insert(out.end(), name.begin(), name.end());
  Put16(out, f.crc);
  out.push_back(kOsId);
  Put16(out, firstSize);
  const std::size_t base = out.size();
  out[0] = static_cast<std::uint8_t>(base - 2);
  out[1] = Checksum(out, base);
  out.insert(out.end(), records.begin(), records.end());
  return HeaderError::None;
}

HeaderError Level2(const MemberFields& f, std::vector<std::uint8_t>& out) {
  std::string directory, name;
  Split(f, directory, name);
  const std::string record = DirectoryRecordText(directory);
  // Records: type, data; each preceded by its size (type, data and the
  // next size field).
  struct Record {
    std::uint8_t type;
    std::vector<std::uint8_t> data;
  };
  std::vector<Record> records;
  records.push_back({0x00, {0, 0}});
  records.push_back({0x01, std::vector<std::uint8_t>(name.begin(), name.end())});
  if (!record.empty())
    records.push_back({0x02, std::vector<std::uint8_t>(record.begin(), record.end())});
  if (f.originalSize > kMaxSizeField) {
    std::vector<std::uint8_t> sizes;
    Put64(sizes, f.packedSize);
    Put64(sizes, f.originalSize);
    records.push_back({kLargeSizesRecord, sizes});
  } else if (f.packedSize > kMaxSizeField) {
    return HeaderError::SizeTooLarge;
  }
  if (f.unixMode != 0) {
    std::vector<std::uint8_t> mode;
    Put16(mode, f.unixMode);
    records.push_back({kUnixModeRecord, mode});
  }
  if (!f.utf16Path.empty()) {
    std::u16string directory16, name16;
    Split16(f, directory16, name16);
    std::vector<std::uint8_t> bytes;
    for (char16_t c : name16) Put16(bytes, c);
    if (!bytes.empty()) records.push_back({0x44, bytes});
    bytes.clear();
    for (char16_t c : directory16) Put16(bytes, c == u'/' ? 0xFFFF : c);
    if (!directory16.empty()) {
      Put16(bytes, 0xFFFF);
      records.push_back({0x45, bytes});
    }
  }
  // Times before 1970 are stored as its first second: some readers take 0
  // for no time at all and give the file today's.
  const std::int64_t time =
      f.unixTime == 0 ? 0 : std::clamp<std::int64_t>(f.unixTime, 1, UINT32_MAX);
  PutCommon(f, f.packedSize, static_cast<std::uint32_t>(time), 2, out);
  Put16(out, f.crc);
  out.push_back(kOsId);
  std::size_t size = out.size() + 2;
  for (const Record& r : records) size += 3 + r.data.size();
  if ((size & 0xFF) == 0) {
    const std::uint8_t attribute = f.isDirectory ? kAttributeDirectory : kAttributeFile;
    records.push_back({0x40, {attribute, 0}});
  }
  std::size_t crcAt = 0;
  for (const Record& r : records) {
    if (r.data.size() + 3 > 65535) return HeaderError::NameTooLong;
    Put16(out, static_cast<std::uint32_t>(r.data.size() + 3));
    out.push_back(r.type);
    if (r.type == 0x00) crcAt = out.size();
    out.insert(out.end(), r.data.begin(), r.data.end());
  }
  Put16(out, 0);
  if (out.size() > kMaxLevel2Header) return HeaderError::NameTooLong;
  Set16(out, 0, static_cast<std::uint32_t>(out.size()));
  std::uint32_t crc = 0;
  lzh::CrcUpdate(out.data(), static_cast<std::int32_t>(out.size()), crc);
  Set16(out, crcAt, crc);
  return HeaderError::None;
}

constexpr int kFirstDosYear = 1980;
constexpr int kLastDosYear = 2107;

// The local time of unixTime; false when the system cannot tell it.
bool LocalTime(std::int64_t unixTime, std::tm& local) {
  std::time_t t = static_cast<std::time_t>(unixTime);
#ifdef _WIN32
  return localtime_s(&local, &t) == 0;
#else
  return localtime_r(&t, &local) != nullptr;
#endif
}

}  // namespace

HeaderError BuildMemberHeader(const MemberFields& fields, int level,
                              std::vector<std::uint8_t>& out) {
  switch (level) {
    case 0:
      return Level0(fields, out);
    case 1:
      return Level1(fields, out);
    case 2:
      return Level2(fields, out);
    default:
      return HeaderError::BadLevel;
  }
}

std::uint32_t DosTimeFromUnix(std::int64_t unixTime) {
  constexpr std::uint32_t kFirst = 0u << 25 | 1u << 21 | 1u << 16;  // 1980-01-01 00:00:00
  constexpr std::uint32_t kLast = 127u << 25 | 12u << 21 | 31u << 16 | 23u << 11 | 59u << 5 | 29u;
  std::tm local{};
  if (!LocalTime(unixTime, local)) return unixTime < 0 ? kFirst : kLast;
  int year = local.tm_year + 1900;
  if (year < kFirstDosYear) return kFirst;
  if (year > kLastDosYear) return kLast;
  std::uint32_t date = static_cast<std::uint32_t>((year - kFirstDosYear) << 9 |
                                                  (local.tm_mon + 1) << 5 | local.tm_mday);
  std::uint32_t time =
      static_cast<std::uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
  return date << 16 | time;
}

bool TimeFits(std::int64_t unixTime, int level) {
  if (level >= 2) return unixTime >= 0 && unixTime <= static_cast<std::int64_t>(UINT32_MAX);
  std::tm local{};
  if (!LocalTime(unixTime, local)) return false;
  const int year = local.tm_year + 1900;
  return year >= kFirstDosYear && year <= kLastDosYear;
}

bool Utf8ToUtf16(const std::string& utf8, std::u16string& out) {
  out.clear();
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    int extra = b < 0x80             ? 0
                : (b & 0xE0) == 0xC0 ? 1
                : (b & 0xF0) == 0xE0 ? 2
                : (b & 0xF8) == 0xF0 ? 3
                                     : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= utf8.size()) return false;
    std::uint32_t c = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      c = c << 6 | (next & 0x3F);
    }
    static constexpr std::uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
    if (c < kLeast[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
  return true;
}

}  // namespace lzhwrite
