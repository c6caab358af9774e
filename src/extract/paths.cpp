#include "extract/paths.h"

#include <cstring>

namespace lzh {

namespace {

LeadByteTest leadByteTest = nullptr;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Index of the last single-byte character of text found in set, or -1.
int LastOf(const char* text, const char* set) {
  int last = -1;
  for (int i = 0; text[i] != 0; i += CharLength(text + i)) {
    if (CharLength(text + i) == 1 && std::strchr(set, text[i]) != nullptr) last = i;
  }
  return last;
}

}  // namespace

void SetLeadByteTest(LeadByteTest test) { leadByteTest = test; }

int CharLength(const char* text) {
  if (leadByteTest != nullptr && leadByteTest(static_cast<std::uint8_t>(*text)) && text[1] != 0)
    return 2;
  return 1;
}

bool CopyText(char* dst, std::size_t capacity, const char* src) {
  std::size_t n = std::strlen(src);
  if (n >= capacity) {
    if (capacity > 0) dst[0] = 0;
    return false;
  }
  std::memmove(dst, src, n + 1);
  return true;
}

bool AppendText(char* dst, std::size_t capacity, const char* src) {
  std::size_t have = std::strlen(dst), n = std::strlen(src);
  if (have + n >= capacity) return false;
  std::memmove(dst + have, src, n + 1);
  return true;
}

void DirectoryFromExtension(const char* record, char* directory, std::size_t capacity) {
  directory[0] = 0;
  if (record[0] != 2) return;
  std::size_t n = std::strlen(record + 1);
  // The final 0xFF closes the last component; a record without it keeps
  // its last character.
  if (n > 0 && static_cast<std::uint8_t>(record[n]) == 0xFF) --n;
  if (n >= capacity) n = capacity - 1;
  for (std::size_t i = 0; i < n; ++i) {
    char c = record[1 + i];
    directory[i] = static_cast<std::uint8_t>(c) == 0xFF ? '\\' : c;
  }
  directory[n] = 0;
}

bool EndsInBackslash(const char* text) {
  std::size_t n = std::strlen(text);
  return n > 0 && text[n - 1] == '\\' && LastOf(text, "\\") == static_cast<int>(n - 1);
}

bool AddTrailingBackslash(char* buffer, std::size_t capacity) {
  std::size_t n = std::strlen(buffer);
  if (n == 0 || EndsInBackslash(buffer)) return true;
  if (n + 1 >= capacity) return false;
  buffer[n] = '\\';
  buffer[n + 1] = 0;
  return true;
}

void FileNamePart(const char* path, char (&name)[kFileNameMax + 1]) {
  int last = LastOf(path, "\\/:");
  const char* start = path + last + 1;
  std::size_t n = std::strlen(start);
  if (n > kFileNameMax) n = kFileNameMax;
  std::memcpy(name, start, n);
  name[n] = 0;
}

void DirectoryPart(const char* path, char* directory, std::size_t capacity) {
  std::size_t length = std::strlen(path);
  int n;
  if (length == 3 && std::strchr(path, ':') != nullptr) {
    n = 3;
  } else {
    int last = LastOf(path, "\\/:");
    n = last + 1;  // positions count from 1
    if (last >= 0 && IsSeparator(path[last]) && !(n == 3 && path[1] == ':')) n -= 1;
  }
  if (static_cast<std::size_t>(n) >= capacity) n = static_cast<int>(capacity) - 1;
  std::memcpy(directory, path, static_cast<std::size_t>(n));
  directory[n] = 0;
}

void SlashesToBackslashes(char* buffer) {
  for (int i = 0; buffer[i] != 0; i += CharLength(buffer + i)) {
    if (buffer[i] == '/') buffer[i] = '\\';
  }
}

bool PathExists(FileSystem& fs, const char* path) {
  if (path[0] == 0) return false;
  if (!EndsInBackslash(path)) return fs.FindFirst(path);
  char pattern[kPathBytes + 4];
  if (!CopyText(pattern, sizeof pattern, path) || !AppendText(pattern, sizeof pattern, "*.*"))
    return false;
  SlashesToBackslashes(pattern);
  return fs.FindFirst(pattern);
}

std::size_t RootLength(const char* path) {
  if (IsSeparator(path[0]) && IsSeparator(path[1])) {
    // Through the separators after the server and the share.
    std::size_t i = 2;
    for (int separators = 0; path[i] != 0 && separators < 2;) {
      int length = CharLength(path + i);
      if (length == 1 && IsSeparator(path[i])) ++separators;
      i += static_cast<std::size_t>(length);
    }
    return i;
  }
  if (path[0] != 0 && path[1] == ':') return IsSeparator(path[2]) ? 3 : 2;
  return IsSeparator(path[0]) ? 1 : 0;
}

bool DirectoryExists(FileSystem& fs, const char* dir) {
  return RootLength(dir) == std::strlen(dir) ? fs.IsDirectory(dir) : PathExists(fs, dir);
}

void MakeDirectories(FileSystem& fs, const char* dir) {
  char path[kPathBytes];
  if (!CopyText(path, sizeof path, dir)) return;
  // Where each level below the root ends; empty components make none.
  std::uint16_t ends[kPathBytes / 2];
  int count = 0;
  std::size_t root = RootLength(path), componentStart = root, i = root;
  for (; path[i] != 0; i += static_cast<std::size_t>(CharLength(path + i))) {
    if (CharLength(path + i) != 1 || !IsSeparator(path[i])) continue;
    if (i > componentStart) ends[count++] = static_cast<std::uint16_t>(i);
    componentStart = i + 1;
  }
  if (i > componentStart) ends[count++] = static_cast<std::uint16_t>(i);

  auto level = [&](int k, char(&out)[kPathBytes]) {
    std::memcpy(out, path, ends[k]);
    out[ends[k]] = 0;
  };
  char text[kPathBytes];
  int missing = count;  // the first level that does not exist
  while (missing > 0) {
    level(missing - 1, text);
    if (PathExists(fs, text)) break;
    --missing;
  }
  for (int k = missing; k < count; ++k) {
    level(k, text);
    // A level that cannot be made may be there all the same (made by
    // someone else a moment ago, or a root's "." that no search finds);
    // the directory's own test afterwards decides.
    fs.MakeDirectory(text);
  }
}

bool LinkInPath(FileSystem& fs, const char* path, std::size_t start, bool withLast) {
  char prefix[kPathBytes];
  if (!CopyText(prefix, sizeof prefix, path)) return false;
  std::size_t i = start;
  for (; prefix[i] != 0; i += static_cast<std::size_t>(CharLength(prefix + i))) {
    // Empty components ("a\\b") name the level before them again.
    if (CharLength(prefix + i) != 1 || !IsSeparator(prefix[i]) || i == start ||
        IsSeparator(prefix[i - 1]))
      continue;
    char separator = prefix[i];
    prefix[i] = 0;
    bool link = fs.IsLink(prefix);
    prefix[i] = separator;
    if (link) return true;
  }
  return withLast && i > start && !IsSeparator(prefix[i - 1]) && fs.IsLink(prefix);
}

bool TemporaryPath(const char* path, unsigned n, char* out, std::size_t capacity) {
  static constexpr char kHex[] = "0123456789abcdef";
  char name[] = "~lzh0000.tmp";
  for (int k = 0; k < 4; ++k) name[7 - k] = kHex[(n >> (4 * k)) & 15];
  int last = LastOf(path, "\\/:");
  std::size_t directory = static_cast<std::size_t>(last) + 1;
  if (directory + sizeof name > capacity) return false;
  std::memcpy(out, path, directory);
  std::memcpy(out + directory, name, sizeof name);
  return true;
}

bool HasCharacterOf(const char* text, const char* set) { return LastOf(text, set) >= 0; }

}  // namespace lzh
