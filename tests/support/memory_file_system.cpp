#include "support/memory_file_system.h"

#include <algorithm>
#include <cstring>

#include "platform/dos_time.h"

namespace lzhtest {

std::string MemoryFileSystem::Normalize(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&] {
    if (part.empty() || part == ".") {
    } else if (part == ".." && !parts.empty() && parts.back() != "..") {
      parts.pop_back();
    } else {
      parts.push_back(part);
    }
    part.clear();
  };
  for (char c : path) {
    if (c == '\\' || c == '/') {
      flush();
    } else {
      part += c;
    }
  }
  flush();
  std::string out;
  for (const auto& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

std::string MemoryFileSystem::Parent(const std::string& path) const {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

void MemoryFileSystem::AddFile(const std::string& path, std::vector<std::uint8_t> bytes) {
  std::string p = Normalize(path);
  for (std::string d = Parent(p); !d.empty(); d = Parent(d)) dirs_.insert(d);
  files_[p].bytes = std::move(bytes);
}

void MemoryFileSystem::AddDirectory(const std::string& path) {
  for (std::string d = Normalize(path); !d.empty(); d = Parent(d)) dirs_.insert(d);
}

void MemoryFileSystem::AddLink(const std::string& path, const std::string& target) {
  links_[Normalize(path)] = Normalize(target);
}

void MemoryFileSystem::AddHardLink(const std::string& path, const std::string& existing) {
  std::string p = Normalize(path), e = Normalize(existing);
  files_[p] = files_.at(e);
  hardLinks_.emplace_back(p, e);
}

std::string MemoryFileSystem::Resolve(const std::string& path, bool followLast) const {
  std::string p = Normalize(path);
  for (int hops = 0; hops < 40; ++hops) {
    bool replaced = false;
    for (std::size_t end = p.find('/');; end = p.find('/', end + 1)) {
      if (end == std::string::npos && !followLast) break;
      auto link = links_.find(p.substr(0, end));
      if (link != links_.end()) {
        p = Normalize(link->second + (end == std::string::npos ? "" : p.substr(end)));
        replaced = true;
        break;
      }
      if (end == std::string::npos) break;
    }
    if (!replaced) break;
  }
  return p;
}

void MemoryFileSystem::Unlink(const std::string& path) {
  links_.erase(path);
  std::erase_if(hardLinks_,
                [&](const auto& names) { return names.first == path || names.second == path; });
}

bool MemoryFileSystem::HasFile(const std::string& path) const {
  return files_.count(Normalize(path)) != 0;
}
bool MemoryFileSystem::HasDirectory(const std::string& path) const {
  return dirs_.count(Normalize(path)) != 0;
}
const MemoryFileSystem::File* MemoryFileSystem::Find(const std::string& path) const {
  auto it = files_.find(Normalize(path));
  return it == files_.end() ? nullptr : &it->second;
}

lzh::FileHandle MemoryFileSystem::OpenRead(const char* path) {
  std::string p = Resolve(path, true);
  if (!files_.count(p)) return lzh::kInvalidFile;
  lzh::FileHandle h = next_++;
  open_[h] = Open{p, 0, false, &files_[p]};
  ++openHandles;
  return h;
}

lzh::FileHandle MemoryFileSystem::CreateOutput(const char* path) {
  std::string p = Resolve(path, false);
  if (failCreate && failCreate(p)) return Failed(lzh::kInvalidFile);
  if (p.empty() || Taken(p) || !dirs_.count(Parent(p))) return Failed(lzh::kInvalidFile);
  files_[p] = File{};
  lzh::FileHandle h = next_++;
  open_[h] = Open{p, 0, true, &files_[p]};
  ++creates;
  ++openHandles;
  return h;
}

std::int32_t MemoryFileSystem::Read(lzh::FileHandle file, void* buffer, std::int32_t count) {
  auto it = open_.find(file);
  if (it == open_.end() || count <= 0) return 0;
  ++reads;
  const auto& bytes = (*it->second.file).bytes;
  std::int64_t left = static_cast<std::int64_t>(bytes.size()) - it->second.position;
  std::int64_t n = std::max<std::int64_t>(0, std::min<std::int64_t>(left, count));
  if (readChunk > 0) n = std::min<std::int64_t>(n, readChunk);
  if (n > 0) std::memcpy(buffer, bytes.data() + it->second.position, static_cast<std::size_t>(n));
  it->second.position += n;
  return static_cast<std::int32_t>(n);
}

std::int32_t MemoryFileSystem::Write(lzh::FileHandle file, const void* buffer, std::int32_t count) {
  auto it = open_.find(file);
  if (it == open_.end() || !it->second.write || count <= 0) return 0;
  ++writes;
  std::int64_t n = count;
  if (writeBudget >= 0) {
    n = std::min<std::int64_t>(n, writeBudget);
    writeBudget -= n;
    if (n < count) Failed(0);
  }
  auto& bytes = (*it->second.file).bytes;
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  bytes.insert(bytes.end(), p, p + n);
  for (const auto& [one, other] : hardLinks_) {
    if (one == it->second.path) files_[other].bytes = bytes;
    if (other == it->second.path) files_[one].bytes = bytes;
  }
  return static_cast<std::int32_t>(n);
}

lzh::FileOffset MemoryFileSystem::Seek(lzh::FileHandle file, lzh::FileOffset offset) {
  auto it = open_.find(file);
  if (it == open_.end() || offset < 0) return -1;
  it->second.position = offset;
  return offset;
}

lzh::FileSize MemoryFileSystem::Size(lzh::FileHandle file) {
  auto it = open_.find(file);
  if (it == open_.end()) return static_cast<lzh::FileSize>(-1);
  return static_cast<lzh::FileSize>((*it->second.file).bytes.size());
}

bool MemoryFileSystem::Close(lzh::FileHandle file) {
  if (!open_.erase(file)) return false;
  --openHandles;
  return !failClose || Failed(false);
}

bool MemoryFileSystem::FindFirst(const char* path) {
  std::string raw = path;
  if (raw.empty()) return false;
  if (raw.size() >= 4 && (raw.compare(raw.size() - 4, 4, "\\*.*") == 0 ||
                          raw.compare(raw.size() - 4, 4, "/*.*") == 0)) {
    // Every directory holds "." and "..", but a drive's root holds only what
    // is in it.
    std::string dir = Resolve(raw.substr(0, raw.size() - 3), true);
    if (dir.size() != 2 || dir[1] != ':') return dirs_.count(dir) != 0;
    auto inside = [&](const std::string& p) { return p.size() > 3 && Parent(p) == dir; };
    return std::any_of(dirs_.begin(), dirs_.end(), inside) ||
           std::any_of(files_.begin(), files_.end(),
                       [&](const auto& f) { return inside(f.first); });
  }
  // A path such as "." or "\\" that normalises to nothing is the root.
  // As on Windows, a search for a drive's root itself finds nothing.
  std::string p = Resolve(raw, false);
  return !(p.size() == 2 && p[1] == ':') && Taken(p);
}

bool MemoryFileSystem::MakeDirectory(const char* path) {
  std::string p = Resolve(path, false);
  if (failMakeDirectory && failMakeDirectory(p)) return Failed(false);
  if (p.empty() || Taken(p) || !dirs_.count(Parent(p))) return Failed(false);
  dirs_.insert(p);
  return true;
}

bool MemoryFileSystem::IsDirectory(const char* path) {
  return dirs_.count(Resolve(path, true)) != 0;
}

bool MemoryFileSystem::IsLink(const char* path) { return links_.count(Resolve(path, false)) != 0; }

bool MemoryFileSystem::CanReplace(const char* path) {
  auto it = files_.find(Resolve(path, false));
  return (it != files_.end() && !it->second.readOnly) || Failed(false);
}

bool MemoryFileSystem::Rename(const char* from, const char* to, bool replace) {
  std::string f = Resolve(from, false), t = Resolve(to, false);
  if (failRename && failRename(t)) return Failed(false);
  if (!files_.count(f) || dirs_.count(t) || (!replace && Taken(t)) || !dirs_.count(Parent(t)))
    return Failed(false);
  if (f == t) return true;
  Unlink(t);
  Unlink(f);
  files_[t] = std::move(files_[f]);
  files_.erase(f);
  return true;
}

bool MemoryFileSystem::Remove(const char* path) {
  std::string p = Resolve(path, false);
  Unlink(p);
  return files_.erase(p) != 0;
}

void MemoryFileSystem::SetDosTime(lzh::FileHandle file, std::uint32_t dosDateTime) {
  if (!lzh::IsValidDosDateTime(dosDateTime)) return;
  auto it = open_.find(file);
  if (it != open_.end()) (*it->second.file).dosTime = dosDateTime;
}

void MemoryFileSystem::SetUnixTime(lzh::FileHandle file, std::int64_t seconds) {
  auto it = open_.find(file);
  if (it != open_.end()) (*it->second.file).modified = seconds;
}

#ifndef LZH_PROGRAM_CORE
void MemoryFileSystem::SetUnixMode(lzh::FileHandle file, std::uint32_t mode) {
  auto it = open_.find(file);
  if (it != open_.end()) (*it->second.file).mode = mode;
}
#endif

}  // namespace lzhtest
