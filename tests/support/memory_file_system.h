// An in-memory file system for tests and fuzzing, with injectable faults.
// Paths are normalised as Win32 does: "\" and "/" separate, repeated
// separators collapse, "." vanishes and ".." removes the previous component
// (a ".." that climbs above the root stays, so escapes are visible).
// Symbolic links lead from one path to another, hard links give one file
// two names; a file open while it is renamed or removed is not modelled.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace lzhtest {

class MemoryFileSystem : public lzh::FileSystem {
 public:
  struct File {
    std::vector<std::uint8_t> bytes;
    std::int64_t modified = -1;  // seconds, as set through SetUnixTime
    std::int64_t mode = -1;      // as set through SetUnixMode
    std::uint32_t dosTime = 0;   // as set through SetDosTime (0: never)
    bool readOnly = false;
  };

  static std::string Normalize(const std::string& path);

  void AddFile(const std::string& path, std::vector<std::uint8_t> bytes);
  void AddDirectory(const std::string& path);
  // A symbolic link at path that leads to target (absolute, or as created).
  void AddLink(const std::string& path, const std::string& target);
  // A second name for the existing file at existing.
  void AddHardLink(const std::string& path, const std::string& existing);
  bool HasFile(const std::string& path) const;
  bool HasDirectory(const std::string& path) const;
  const File* Find(const std::string& path) const;
  const std::map<std::string, File>& Files() const { return files_; }
  const std::set<std::string>& Directories() const { return dirs_; }

  // Faults. Each one reports kFaultError as the system's error code.
  static constexpr std::uint32_t kFaultError = 4242;
  std::int64_t writeBudget = -1;  // bytes that writes may still store; -1: no limit
  std::function<bool(const std::string&)> failCreate;
  std::function<bool(const std::string&)> failMakeDirectory;
  std::function<bool(const std::string&)> failRename;  // given the new name
  bool failClose = false;
  int readChunk = 0;  // when > 0, a read delivers at most this many bytes

  // Counters.
  int creates = 0, writes = 0, reads = 0, openHandles = 0;

  lzh::FileHandle OpenRead(const char* path) override;
  lzh::FileHandle CreateOutput(const char* path) override;
  std::int32_t Read(lzh::FileHandle file, void* buffer, std::int32_t count) override;
  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override;
  lzh::FileOffset Seek(lzh::FileHandle file, lzh::FileOffset offset) override;
  lzh::FileSize Size(lzh::FileHandle file) override;
  bool Close(lzh::FileHandle file) override;
  bool FindFirst(const char* path) override;
  bool MakeDirectory(const char* path) override;
  bool IsDirectory(const char* path) override;
  bool IsLink(const char* path) override;
  bool CanReplace(const char* path) override;
  bool Rename(const char* from, const char* to, bool replace) override;
  bool Remove(const char* path) override;
  void SetDosTime(lzh::FileHandle file, std::uint32_t dosDateTime) override;
  void SetUnixTime(lzh::FileHandle file, std::int64_t seconds) override;
#ifndef LZH_PROGRAM_CORE
  void SetUnixMode(lzh::FileHandle file, std::uint32_t mode) override;
#endif
  std::uint32_t LastError() override { return lastError_; }

 private:
  struct Open {
    std::string path;
    std::int64_t position = 0;
    bool write = false;
    File* file = nullptr;  // files_ never drops a node, so this stays valid
  };
  std::string Parent(const std::string& path) const;
  // path, normalised, with each link on the way replaced by where it
  // leads; the last component too when followLast.
  std::string Resolve(const std::string& path, bool followLast) const;
  bool Taken(const std::string& path) const {
    return files_.count(path) != 0 || dirs_.count(path) != 0 || links_.count(path) != 0;
  }
  // The name stands for a file of its own again.
  void Unlink(const std::string& path);
  template <typename T>
  T Failed(T result) {
    lastError_ = kFaultError;
    return result;
  }
  std::map<std::string, File> files_;
  std::set<std::string> dirs_{""};
  std::map<std::string, std::string> links_;                    // path to target
  std::vector<std::pair<std::string, std::string>> hardLinks_;  // names of one file
  std::map<lzh::FileHandle, Open> open_;
  lzh::FileHandle next_ = 100;
  std::uint32_t lastError_ = 0;
};

}  // namespace lzhtest
