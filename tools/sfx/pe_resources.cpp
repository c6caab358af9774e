#include "sfx/pe_resources.h"

namespace lzh::sfx {

namespace {

constexpr std::uint32_t kStringType = 6;  // RT_STRING
constexpr std::uint32_t kStringId = 4;
constexpr int kMaxDirectoryEntries = 4096;

class Image {
 public:
  explicit Image(const std::vector<std::uint8_t>& bytes) : b_(bytes) {}

  bool U16(std::size_t at, std::uint32_t& v) const {
    if (at + 2 > b_.size() || at + 2 < at) return false;
    v = b_[at] | b_[at + 1] << 8;
    return true;
  }
  bool U32(std::size_t at, std::uint32_t& v) const {
    if (at + 4 > b_.size() || at + 4 < at) return false;
    v = static_cast<std::uint32_t>(b_[at]) | static_cast<std::uint32_t>(b_[at + 1]) << 8 |
        static_cast<std::uint32_t>(b_[at + 2]) << 16 | static_cast<std::uint32_t>(b_[at + 3]) << 24;
    return true;
  }
  std::size_t size() const { return b_.size(); }

 private:
  const std::vector<std::uint8_t>& b_;
};

struct Section {
  std::uint32_t va, virtualSize, rawSize, rawOffset;
};

// The file offset of an RVA, through the section that holds it.
bool FileOffset(const std::vector<Section>& sections, std::uint32_t rva, std::size_t& offset) {
  for (const auto& s : sections) {
    std::uint32_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
    if (rva >= s.va && rva - s.va < span && rva - s.va < s.rawSize) {
      offset = static_cast<std::size_t>(s.rawOffset) + (rva - s.va);
      return true;
    }
  }
  return false;
}

// Finds the entry with the given id (or the first one when id is ~0) in the
// resource directory at dir (relative to root). Returns its OffsetToData.
bool FindEntry(const Image& image, std::size_t root, std::uint32_t dir, std::uint32_t id,
               std::uint32_t& data) {
  std::uint32_t named, ids;
  if (!image.U16(root + dir + 12, named) || !image.U16(root + dir + 14, ids)) return false;
  if (named + ids > kMaxDirectoryEntries) return false;
  for (std::uint32_t i = 0; i < named + ids; ++i) {
    std::uint32_t name, offset;
    std::size_t entry = root + dir + 16 + 8 * i;
    if (!image.U32(entry, name) || !image.U32(entry + 4, offset)) return false;
    if (id == ~0u || (i >= named && name == id)) {
      data = offset;
      return true;
    }
  }
  return false;
}

// Locates the UTF-16 characters of string 4: their file offset and count.
bool LocateString(const std::vector<std::uint8_t>& exe, std::size_t& at, std::uint32_t& length,
                  std::string& error) {
  Image image(exe);
  std::uint32_t peOffset, signature, sectionCount, optionalSize, magic;
  if (exe.size() < 64 || exe[0] != 'M' || exe[1] != 'Z' || !image.U32(0x3C, peOffset) ||
      !image.U32(peOffset, signature) || signature != 0x00004550) {
    error = "not a Windows program";
    return false;
  }
  std::size_t coff = peOffset + 4;
  std::size_t optional = coff + 20;
  if (!image.U16(coff + 2, sectionCount) || !image.U16(coff + 16, optionalSize) ||
      !image.U16(optional, magic)) {
    error = "damaged program header";
    return false;
  }
  std::size_t directories = optional + (magic == 0x20B ? 112 : 96);
  std::uint32_t resourceRva, resourceSize;
  if (!image.U32(directories + 2 * 8, resourceRva) ||
      !image.U32(directories + 2 * 8 + 4, resourceSize) || resourceRva == 0) {
    error = "the program has no resources";
    return false;
  }
  std::vector<Section> sections;
  std::size_t table = optional + optionalSize;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    Section s;
    std::size_t at = table + 40 * i;
    if (!image.U32(at + 8, s.virtualSize) || !image.U32(at + 12, s.va) ||
        !image.U32(at + 16, s.rawSize) || !image.U32(at + 20, s.rawOffset)) {
      error = "damaged section table";
      return false;
    }
    sections.push_back(s);
  }
  std::size_t root;
  if (!FileOffset(sections, resourceRva, root)) {
    error = "the resources lie outside the file";
    return false;
  }
  // Type RT_STRING, then the block holding ids 0 to 15, then any language.
  std::uint32_t typeDir, blockDir, languageEntry;
  const std::uint32_t kSubdirectory = 0x80000000u;
  if (!FindEntry(image, root, 0, kStringType, typeDir) || !(typeDir & kSubdirectory) ||
      !FindEntry(image, root, typeDir & ~kSubdirectory, kStringId / 16 + 1, blockDir) ||
      !(blockDir & kSubdirectory) ||
      !FindEntry(image, root, blockDir & ~kSubdirectory, ~0u, languageEntry) ||
      (languageEntry & kSubdirectory)) {
    error = "the program has no string 4";
    return false;
  }
  std::uint32_t dataRva, dataSize;
  std::size_t data;
  if (!image.U32(root + languageEntry, dataRva) || !image.U32(root + languageEntry + 4, dataSize) ||
      !FileOffset(sections, dataRva, data) || data + dataSize > exe.size()) {
    error = "damaged string table";
    return false;
  }
  // A block holds 16 strings, each a 16-bit length and that many UTF-16
  // characters.
  std::size_t p = data, end = data + dataSize;
  for (std::uint32_t i = 0; i < kStringId % 16; ++i) {
    std::uint32_t n;
    if (p + 2 > end || !image.U16(p, n)) break;
    p += 2 + 2 * static_cast<std::size_t>(n);
  }
  if (p + 2 > end || !image.U16(p, length) || p + 2 + 2 * std::size_t{length} > end) {
    error = "the program has no string 4";
    return false;
  }
  at = p + 2;
  return true;
}

}  // namespace

bool ReadArchiveOffset(const std::vector<std::uint8_t>& exe, std::uint32_t& offset) {
  std::size_t at;
  std::uint32_t length;
  std::string error;
  if (!LocateString(exe, at, length, error) || length == 0) return false;
  std::uint64_t value = 0;
  for (std::uint32_t i = 0; i < length; ++i) {
    std::uint32_t c = exe[at + 2 * i] | exe[at + 2 * i + 1] << 8;
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > 0xFFFFFFFFu) return false;
  }
  offset = static_cast<std::uint32_t>(value);
  return true;
}

bool PatchArchiveOffset(std::vector<std::uint8_t>& exe, std::uint32_t offset, std::string& error) {
  std::size_t at;
  std::uint32_t length;
  if (!LocateString(exe, at, length, error)) return false;
  if (length != kOffsetDigits) {
    error = "string 4 is not the 10-digit offset placeholder";
    return false;
  }
  std::uint32_t v = offset;
  for (int i = kOffsetDigits - 1; i >= 0; --i) {
    exe[at + 2 * static_cast<std::size_t>(i)] = static_cast<std::uint8_t>('0' + v % 10);
    exe[at + 2 * static_cast<std::size_t>(i) + 1] = 0;
    v /= 10;
  }
  return true;
}

}  // namespace lzh::sfx
