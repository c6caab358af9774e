#include "sfx/pe_resources.h"

#include <algorithm>

namespace lzh::sfx {

namespace {

constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kStringTableType = 6;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;
constexpr std::uint32_t kNamedEntryBit = 0x80000000u;
constexpr std::uint32_t kDirectoryHeaderBytes = 16;
constexpr std::uint32_t kDirectoryEntryBytes = 8;
constexpr std::uint32_t kSectionHeaderBytes = 40;

// Bounds-checked little-endian reads over the file image; any read past the
// end makes the reader fail for good, so callers check once at the end.
class Image {
 public:
  explicit Image(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

  bool Ok() const { return ok_; }
  bool Has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= bytes_.size() && count <= bytes_.size() - offset;
  }
  std::uint16_t U16(std::uint64_t offset) {
    if (!Has(offset, 2)) return Fail();
    return static_cast<std::uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
  }
  std::uint32_t U32(std::uint64_t offset) {
    if (!Has(offset, 4)) return Fail();
    return static_cast<std::uint32_t>(U16(offset)) | static_cast<std::uint32_t>(U16(offset + 2))
                                                         << 16;
  }

 private:
  std::uint16_t Fail() {
    ok_ = false;
    return 0;
  }
  const std::vector<std::uint8_t>& bytes_;
  bool ok_ = true;
};

struct Section {
  std::uint32_t virtualAddress;
  std::uint32_t virtualSize;
  std::uint32_t rawOffset;
  std::uint32_t rawSize;
};

// The PE facts the resource walk needs.
struct PeLayout {
  std::uint32_t resourceRva = 0;
  std::uint32_t sectionTable = 0;
  std::uint16_t sectionCount = 0;
};

bool ReadLayout(Image& image, PeLayout& layout, std::string& error) {
  if (image.U16(0) != 0x5A4D) {
    error = "not a Windows program (no MZ header)";
    return false;
  }
  std::uint32_t pe = image.U32(0x3C);
  if (!image.Ok() || image.U32(pe) != 0x00004550) {
    error = "not a Windows program (no PE signature)";
    return false;
  }
  std::uint64_t fileHeader = static_cast<std::uint64_t>(pe) + 4;
  layout.sectionCount = image.U16(fileHeader + 2);
  std::uint16_t optionalBytes = image.U16(fileHeader + 16);
  std::uint64_t optional = fileHeader + 20;
  std::uint16_t magic = image.U16(optional);
  std::uint64_t directories;
  std::uint32_t directoryCount;
  if (magic == 0x10B) {  // PE32
    directoryCount = image.U32(optional + 92);
    directories = optional + 96;
  } else if (magic == 0x20B) {  // PE32+
    directoryCount = image.U32(optional + 108);
    directories = optional + 112;
  } else {
    error = "unknown optional header in the program";
    return false;
  }
  if (!image.Ok() || directoryCount <= kResourceDirectoryIndex ||
      directories + 8 * (kResourceDirectoryIndex + 1) > optional + optionalBytes) {
    error = "the program has no resource directory";
    return false;
  }
  layout.resourceRva = image.U32(directories + 8 * kResourceDirectoryIndex);
  layout.sectionTable = static_cast<std::uint32_t>(optional + optionalBytes);
  if (!image.Ok() || layout.resourceRva == 0) {
    error = "the program has no resource directory";
    return false;
  }
  return true;
}

// Maps a virtual address to its file offset through the section table;
// false when no section's raw data holds it.
bool RvaToOffset(Image& image, const PeLayout& layout, std::uint32_t rva, std::uint32_t& offset) {
  for (std::uint32_t i = 0; i < layout.sectionCount; ++i) {
    std::uint64_t header =
        static_cast<std::uint64_t>(layout.sectionTable) + i * kSectionHeaderBytes;
    Section s{image.U32(header + 12), image.U32(header + 8), image.U32(header + 20),
              image.U32(header + 16)};
    if (!image.Ok()) return false;
    std::uint32_t extent = s.rawSize;
    if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
      offset = s.rawOffset + (rva - s.virtualAddress);
      return offset >= s.rawOffset;  // no wrap-around
    }
  }
  return false;
}

// Which entry of a resource directory to take: the first one, the one
// with a numeric id, or the one with a name (compared without regard to
// ASCII case, as the system does).
struct EntryKey {
  enum Kind { First, Id, Name } kind;
  std::uint32_t id = 0;
  std::string name;
};

bool NameMatches(Image& image, const std::vector<std::uint8_t>& bytes, std::uint64_t at,
                 const std::string& name) {
  std::uint16_t length = image.U16(at);
  if (!image.Ok() || length != name.size() || !image.Has(at + 2, 2ull * length)) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    std::uint32_t unit = bytes[at + 2 + 2 * i] | bytes[at + 3 + 2 * i] << 8;
    auto upper = [](std::uint32_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
    if (upper(unit) != upper(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

// The data field of the entry that key picks in the directory at
// directoryOffset (relative to the resource root). False when none.
bool FindEntry(Image& image, const std::vector<std::uint8_t>& bytes, std::uint32_t root,
               std::uint32_t directoryOffset, const EntryKey& key, std::uint32_t& target) {
  std::uint64_t directory = static_cast<std::uint64_t>(root) + directoryOffset;
  std::uint32_t named = image.U16(directory + 12);
  std::uint32_t ids = image.U16(directory + 14);
  for (std::uint32_t i = 0; i < named + ids; ++i) {
    std::uint64_t entry = directory + kDirectoryHeaderBytes + i * kDirectoryEntryBytes;
    std::uint32_t name = image.U32(entry);
    std::uint32_t data = image.U32(entry + 4);
    if (!image.Ok()) return false;
    bool isNamed = (name & kNamedEntryBit) != 0;
    bool match = key.kind == EntryKey::First ||
                 (key.kind == EntryKey::Id && !isNamed && name == key.id) ||
                 (key.kind == EntryKey::Name && isNamed &&
                  NameMatches(image, bytes,
                              root + static_cast<std::uint64_t>(name & ~kNamedEntryBit), key.name));
    if (match) {
      target = data;
      return true;
    }
  }
  return false;
}

// The file offset and size of the resource (type, name) in its first
// language.
bool FindResourceData(const std::vector<std::uint8_t>& exe, const EntryKey& type,
                      const EntryKey& name, std::uint32_t& offset, std::uint32_t& size,
                      std::string& error, std::uint64_t* dataEntryOffset = nullptr) {
  Image image(exe);
  PeLayout layout;
  if (!ReadLayout(image, layout, error)) return false;
  std::uint32_t root = 0;
  if (!RvaToOffset(image, layout, layout.resourceRva, root)) {
    error = "the resource directory lies outside the program's sections";
    return false;
  }
  // Type, then name, then the first language; the first two must be
  // subdirectories, the last a data entry.
  std::uint32_t names = 0, languages = 0, data = 0;
  if (!FindEntry(image, exe, root, 0, type, names) || (names & kSubdirectoryBit) == 0 ||
      !FindEntry(image, exe, root, names & ~kSubdirectoryBit, name, languages) ||
      (languages & kSubdirectoryBit) == 0 ||
      !FindEntry(image, exe, root, languages & ~kSubdirectoryBit, {EntryKey::First, 0, {}}, data) ||
      (data & kSubdirectoryBit) != 0) {
    error = "the program has no such resource";
    return false;
  }
  std::uint64_t dataEntry = static_cast<std::uint64_t>(root) + data;
  if (dataEntryOffset != nullptr) *dataEntryOffset = dataEntry;
  std::uint32_t rva = image.U32(dataEntry);
  size = image.U32(dataEntry + 4);
  if (!image.Ok() || !RvaToOffset(image, layout, rva, offset) || !image.Has(offset, size)) {
    error = "a resource lies outside the program";
    return false;
  }
  return true;
}

}  // namespace

bool FindResource(const std::vector<std::uint8_t>& exe, std::uint16_t type, const std::string& name,
                  std::uint32_t& offset, std::uint32_t& size, std::string& error) {
  return FindResourceData(exe, {EntryKey::Id, type, {}}, {EntryKey::Name, 0, name}, offset, size,
                          error);
}

bool FindResource(const std::vector<std::uint8_t>& exe, std::uint16_t type, std::uint16_t id,
                  std::uint32_t& offset, std::uint32_t& size, std::string& error) {
  return FindResourceData(exe, {EntryKey::Id, type, {}}, {EntryKey::Id, id, {}}, offset, size,
                          error);
}

bool FindString(const std::vector<std::uint8_t>& exe, std::uint16_t id, StringLocation& where,
                std::string& error) {
  Image image(exe);
  std::uint32_t blockOffset = 0, blockSize = 0;
  std::uint32_t block = static_cast<std::uint32_t>(id / 16 + 1);
  if (!FindResourceData(exe, {EntryKey::Id, kStringTableType, {}}, {EntryKey::Id, block, {}},
                        blockOffset, blockSize, error)) {
    error = "the program has no string " + std::to_string(id) + " (" + error + ")";
    return false;
  }

  std::uint64_t at = blockOffset;
  std::uint64_t end = static_cast<std::uint64_t>(blockOffset) + blockSize;
  for (std::uint32_t index = 0; index < static_cast<std::uint32_t>(id % 16); ++index) {
    if (at + 2 > end) break;
    at += 2 + 2 * static_cast<std::uint64_t>(image.U16(at));
  }
  std::uint16_t length = at + 2 <= end ? image.U16(at) : 0;
  if (!image.Ok() || at + 2 > end || at + 2 + 2 * static_cast<std::uint64_t>(length) > end ||
      length == 0) {
    error = "the program has no string " + std::to_string(id);
    return false;
  }
  where.fileOffset = static_cast<std::uint32_t>(at + 2);
  where.length = length;
  return true;
}

bool ReadString(const std::vector<std::uint8_t>& exe, std::uint16_t id, std::string& text,
                std::string& error) {
  StringLocation where;
  if (!FindString(exe, id, where, error)) return false;
  text.clear();
  for (std::uint32_t i = 0; i < where.length; ++i) {
    std::uint32_t unit = exe[where.fileOffset + 2 * i] | exe[where.fileOffset + 2 * i + 1] << 8;
    text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  }
  return true;
}

namespace {

void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}

std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

std::u16string StringUnits(const std::vector<std::uint8_t>& exe, std::uint16_t id) {
  StringLocation where;
  std::string error;
  std::u16string units;
  if (!FindString(exe, id, where, error)) return units;
  for (std::uint32_t i = 0; i < where.length; ++i)
    units.push_back(static_cast<char16_t>(exe[where.fileOffset + 2 * i] |
                                          exe[where.fileOffset + 2 * i + 1] << 8));
  return units;
}

}  // namespace

ProgramSettings ReadSettings(const std::vector<std::uint8_t>& exe) {
  return {StringUnits(exe, kTitleString), StringUnits(exe, kDefaultDirString),
          StringUnits(exe, kRunString)};
}

bool WriteSettings(std::vector<std::uint8_t>& exe, const ProgramSettings& settings,
                   std::string& error) {
  if (!settings.Any()) return true;
  for (const std::u16string* text : {&settings.title, &settings.defaultDir, &settings.run}) {
    if (text->size() > kSettingUnits) {
      error = "a setting of more than " + std::to_string(kSettingUnits) + " characters";
      return false;
    }
  }
  // The block as it stands: sixteen counted strings.
  std::uint32_t blockOffset = 0, blockSize = 0;
  std::uint64_t dataEntry = 0;
  if (!FindResourceData(exe, {EntryKey::Id, kStringTableType, {}}, {EntryKey::Id, 1, {}},
                        blockOffset, blockSize, error, &dataEntry))
    return false;
  Image image(exe);
  std::u16string strings[16];
  std::uint64_t at = blockOffset, end = static_cast<std::uint64_t>(blockOffset) + blockSize;
  for (auto& text : strings) {
    if (at + 2 > end) break;
    std::uint16_t length = image.U16(at);
    if (at + 2 + 2ull * length > end) break;
    for (std::uint16_t i = 0; i < length; ++i)
      text.push_back(static_cast<char16_t>(image.U16(at + 2 + 2 * i)));
    at += 2 + 2ull * length;
  }
  strings[kTitleString] = settings.title;
  strings[kDefaultDirString] = settings.defaultDir;
  strings[kRunString] = settings.run;
  std::vector<std::uint8_t> block;
  for (const auto& text : strings) {
    block.push_back(static_cast<std::uint8_t>(text.size()));
    block.push_back(static_cast<std::uint8_t>(text.size() >> 8));
    for (char16_t unit : text) {
      block.push_back(static_cast<std::uint8_t>(unit));
      block.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
  }

  // A section after the last one, in the file and in memory.
  PeLayout layout;
  if (!ReadLayout(image, layout, error)) return false;
  std::uint64_t optional = layout.sectionTable - image.U16(image.U32(0x3C) + 4 + 16);
  std::uint32_t sectionAlignment = image.U32(optional + 32);
  std::uint32_t fileAlignment = image.U32(optional + 36);
  std::uint32_t headersSize = image.U32(optional + 60);
  std::uint64_t newHeader =
      layout.sectionTable + static_cast<std::uint64_t>(layout.sectionCount) * kSectionHeaderBytes;
  std::uint32_t virtualEnd = 0, rawEnd = 0;
  for (std::uint32_t i = 0; i < layout.sectionCount; ++i) {
    std::uint64_t header =
        layout.sectionTable + static_cast<std::uint64_t>(i) * kSectionHeaderBytes;
    std::uint32_t size = std::max(image.U32(header + 8), image.U32(header + 16));
    virtualEnd = std::max(virtualEnd, image.U32(header + 12) + size);
    rawEnd = std::max(rawEnd, image.U32(header + 20) + image.U32(header + 16));
  }
  if (!image.Ok() || sectionAlignment == 0 || fileAlignment == 0 ||
      newHeader + kSectionHeaderBytes > headersSize || rawEnd != exe.size()) {
    error = "no room for the settings in the program (is it the bare stub?)";
    return false;
  }
  for (std::uint64_t i = newHeader; i < newHeader + kSectionHeaderBytes; ++i) {
    if (exe[i] != 0) {
      error = "no room for the settings in the program's section table";
      return false;
    }
  }
  std::uint32_t rva = AlignUp(virtualEnd, sectionAlignment);
  std::uint32_t rawSize = AlignUp(static_cast<std::uint32_t>(block.size()), fileAlignment);
  const char name[8] = {'.', 'l', 'z', 'h', 's', 'e', 't', 0};
  for (int i = 0; i < 8; ++i) exe[newHeader + i] = static_cast<std::uint8_t>(name[i]);
  Put32(exe, newHeader + 8, static_cast<std::uint32_t>(block.size()));
  Put32(exe, newHeader + 12, rva);
  Put32(exe, newHeader + 16, rawSize);
  Put32(exe, newHeader + 20, static_cast<std::uint32_t>(exe.size()));
  Put32(exe, newHeader + 36, 0x40000040u);  // initialised data, read only
  std::size_t fileHeader = image.U32(0x3C) + 4;
  Put16(exe, fileHeader + 2, layout.sectionCount + 1u);
  Put32(exe, optional + 56,
        AlignUp(rva + static_cast<std::uint32_t>(block.size()), sectionAlignment));
  Put32(exe, static_cast<std::size_t>(dataEntry), rva);
  Put32(exe, static_cast<std::size_t>(dataEntry) + 4, static_cast<std::uint32_t>(block.size()));
  block.resize(rawSize, 0);
  exe.insert(exe.end(), block.begin(), block.end());
  return true;
}

bool ReadArchiveOffset(const std::vector<std::uint8_t>& exe, std::uint32_t& offset) {
  std::string text, error;
  if (!ReadString(exe, kArchiveOffsetString, text, error)) return false;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu) return false;
  }
  offset = static_cast<std::uint32_t>(value);
  return true;
}

bool ImageEnd(const std::vector<std::uint8_t>& exe, std::uint32_t& end) {
  Image image(exe);
  if (image.U16(0) != 0x5A4D) return false;
  std::uint32_t pe = image.U32(0x3C);
  if (!image.Ok() || image.U32(pe) != 0x00004550) return false;
  std::uint64_t fileHeader = static_cast<std::uint64_t>(pe) + 4;
  PeLayout layout;
  layout.sectionCount = image.U16(fileHeader + 2);
  layout.sectionTable = static_cast<std::uint32_t>(fileHeader + 20 + image.U16(fileHeader + 16));
  std::uint64_t last = 0;
  for (std::uint32_t i = 0; i < layout.sectionCount; ++i) {
    std::uint64_t header =
        static_cast<std::uint64_t>(layout.sectionTable) + i * kSectionHeaderBytes;
    std::uint64_t sectionEnd =
        static_cast<std::uint64_t>(image.U32(header + 20)) + image.U32(header + 16);
    if (image.U32(header + 16) != 0 && sectionEnd > last) last = sectionEnd;
  }
  if (!image.Ok() || last == 0 || last > 0xFFFFFFFFu) return false;
  end = static_cast<std::uint32_t>(last);
  return true;
}

bool PatchArchiveOffset(std::vector<std::uint8_t>& exe, std::uint32_t offset, std::string& error) {
  if (offset > 0x7FFFFFFFu) {
    error = "the archive would start beyond 2 GiB, which the program cannot reach";
    return false;
  }
  StringLocation where;
  if (!FindString(exe, kArchiveOffsetString, where, error)) return false;
  bool placeholder = where.length == kArchiveOffsetDigits;
  for (int i = 0; placeholder && i < kArchiveOffsetDigits; ++i) {
    std::uint8_t low = exe[where.fileOffset + 2 * i];
    placeholder = exe[where.fileOffset + 2 * i + 1] == 0 && low >= '0' && low <= '9';
  }
  if (!placeholder) {
    error = "string 4 of the program is not a ten-digit placeholder";
    return false;
  }
  std::uint32_t rest = offset;
  for (int i = kArchiveOffsetDigits - 1; i >= 0; --i) {
    exe[where.fileOffset + 2 * i] = static_cast<std::uint8_t>('0' + rest % 10);
    exe[where.fileOffset + 2 * i + 1] = 0;
    rest /= 10;
  }
  return true;
}

}  // namespace lzh::sfx
