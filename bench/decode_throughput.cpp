// Decodes every member of the archives named on the command line and
// prints, per archive, the median throughput of several runs in MB/s of
// decoded bytes (10^6 bytes per second) by the wall clock and by the
// process's CPU time (steadier on a busy machine), the CRC verdict, and the
// heap in use while a member decodes (the decoder's buffers).
//
//   decode_throughput [-r RUNS] [-C DIR] ARCHIVE...
//
// Without -C the output goes to a null sink (as `test` does); with -C each
// member is written to DIR under its stored name's last component.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "archive/header_cursor.h"
#include "codec/crc16.h"
#include "codec/decoder.h"

namespace {

// The host's files; without an output directory the writes vanish but
// report success. Notes the heap in use at each write.
class BenchFileSystem : public lzh::FileSystem {
 public:
  lzh::FileSystem& host = lzh::HostFileSystem();
  bool toFiles = false;
  std::size_t heapAtWrite = 0;

  lzh::FileHandle OpenRead(const char* path) override { return host.OpenRead(path); }
  lzh::FileHandle CreateOutput(const char* path) override {
    return toFiles ? host.CreateOutput(path) : 1;
  }
  std::int32_t Read(lzh::FileHandle f, void* b, std::int32_t n) override {
    return host.Read(f, b, n);
  }
  std::int32_t Write(lzh::FileHandle f, const void* b, std::int32_t n) override {
    heapAtWrite = std::max(heapAtWrite, static_cast<std::size_t>(mallinfo2().uordblks));
    return toFiles ? host.Write(f, b, n) : n;
  }
  std::int32_t Seek(lzh::FileHandle f, std::int32_t o) override { return host.Seek(f, o); }
  std::uint32_t Size(lzh::FileHandle f) override { return host.Size(f); }
  bool Close(lzh::FileHandle f) override { return toFiles || f != 1 ? host.Close(f) : true; }
  bool FindFirst(const char* p) override { return host.FindFirst(p); }
  bool MakeDirectory(const char* p) override { return host.MakeDirectory(p); }
  void SetDosTime(lzh::FileHandle, std::uint32_t) override {}
  void SetUnixTime(lzh::FileHandle, std::int64_t) override {}
  std::uint32_t LastError() override { return host.LastError(); }
};

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Pass {
  double seconds = 0;
  double cpuSeconds = 0;
  std::int64_t bytes = 0;
  int members = 0, failed = 0;
};

Pass DecodeArchive(BenchFileSystem& fs, const char* path, const char* dir, std::size_t& heap) {
  Pass pass;
  lzh::ArchiveReader archive{fs, fs.OpenRead(path), 0, 0, {}};
  if (archive.archiveHandle == lzh::kInvalidFile) {
    std::fprintf(stderr, "cannot open %s\n", path);
    std::exit(1);
  }
  lzh::HeaderCursor cursor(archive);
  auto start = std::chrono::steady_clock::now();
  double cpuStart = CpuSeconds();
  cursor.Seek(0);
  while (cursor.Read()) {
    const lzh::MemberHeader& h = cursor.Member();
    const char* name = cursor.Name();
    lzh::Decoder decoder = lzh::DecoderForMethod(h.MethodDigit());
    if (decoder != nullptr && !h.IsDirectoryEntry()) {
      std::string out =
          dir ? std::string(dir) + "/" +
                    std::string(std::strrchr(name, '/') ? std::strrchr(name, '/') + 1 : name)
              : "";
      lzh::FileHandle output = fs.CreateOutput(out.c_str());
      lzh::MemberStream member{fs,           archive.archiveHandle, output,
                               h.DataSize(), h.originalSize,        h.MethodDigit()};
      std::size_t before = mallinfo2().uordblks;
      fs.heapAtWrite = 0;
      decoder(member);
      if (fs.heapAtWrite > before) heap = std::max(heap, fs.heapAtWrite - before);
      fs.Close(output);
      ++pass.members;
      pass.bytes += h.originalSize;
      if (member.runningCrc != h.memberCrc) ++pass.failed;
    }
    if (!cursor.Advance()) break;
  }
  pass.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  pass.cpuSeconds = CpuSeconds() - cpuStart;
  fs.Close(archive.archiveHandle);
  return pass;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  const char* dir = nullptr;
  std::vector<const char*> archives;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "-C") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else {
      archives.push_back(argv[i]);
    }
  }
  if (archives.empty() || runs < 1) {
    std::fprintf(stderr, "usage: decode_throughput [-r RUNS] [-C DIR] ARCHIVE...\n");
    return 2;
  }
  lzh::CrcTableScope crcTable;
  BenchFileSystem fs;
  fs.toFiles = dir != nullptr;
  int status = 0;
  for (const char* path : archives) {
    std::vector<double> rates, cpuRates;
    Pass pass;
    std::size_t heap = 0;
    for (int r = 0; r < runs; ++r) {
      pass = DecodeArchive(fs, path, dir, heap);
      rates.push_back(static_cast<double>(pass.bytes) / pass.seconds / 1e6);
      cpuRates.push_back(static_cast<double>(pass.bytes) / pass.cpuSeconds / 1e6);
    }
    std::sort(rates.begin(), rates.end());
    std::sort(cpuRates.begin(), cpuRates.end());
    std::printf(
        "%-32s %8.1f MB/s wall %8.1f MB/s cpu  %d members, %lld bytes, %s, heap %zu bytes\n", path,
        rates[rates.size() / 2], cpuRates[cpuRates.size() / 2], pass.members,
        static_cast<long long>(pass.bytes), pass.failed ? "CRC FAILED" : "CRC ok", heap);
    if (pass.failed) status = 1;
  }
  return status;
}
