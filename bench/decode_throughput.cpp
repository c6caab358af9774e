// Decodes every member of the archives named on the command line and
// prints, per archive, the median throughput of several runs in MB/s of
// decoded bytes (10^6 bytes per second) by the wall clock and by the
// process's CPU time (steadier on a busy machine), the CRC verdict, and the
// heap in use while a member decodes (the decoder's buffers).
//
//   decode_throughput [-r RUNS] [-C DIR] ARCHIVE...
//   decode_throughput --stages DIR [-r RUNS] ARCHIVE...
//
// Without -C the output goes to a null sink (as `test` does); with -C each
// member is written to DIR under its stored name's last component.
//
// --stages measures, per archive, what each stage of an extraction can do
// alone on this machine, by the CPU time it takes, the limits the tools are
// held against: decoding into memory without the CRC, the CRC over the
// decoded bytes, and writing them into files (one per member) in DIR. One
// line per archive:
//   ARCHIVE decode MB/s crc MB/s write MB/s
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "archive/header_cursor.h"
#include "codec/crc16.h"
#include "codec/decoder.h"
#include "layers/read_ahead_file_system.h"

namespace {

// Where a member's decoded bytes go.
enum class Sink {
  Count,    // vanish, reported written (the CRC is folded, as `test` does)
  Files,    // into files of the host
  Discard,  // vanish, reported unwritten: nothing is folded into the CRC
  Collect,  // into memory, for the stages measured after decoding
};

// The host's files for reading (through the command-line tool's read-ahead);
// writes go to the sink. Notes the heap in use at each write unless told not
// to (the stages: a look at the heap costs more than a write).
class BenchFileSystem : public lzh::FileSystem {
 public:
  lzhcli::ReadAheadFileSystem host{lzh::HostFileSystem()};
  Sink sink = Sink::Count;
  bool noteHeap = true;
  std::size_t heapAtWrite = 0;
  std::vector<std::uint8_t>* collected = nullptr;

  lzh::FileHandle OpenRead(const char* path) override { return host.OpenRead(path); }
  // Outputs are made anew on every run, as the tool makes each one new.
  lzh::FileHandle CreateOutput(const char* path) override {
    if (sink != Sink::Files) return 1;
    host.Remove(path);
    return host.CreateOutput(path);
  }
  std::int32_t Read(lzh::FileHandle f, void* b, std::int32_t n) override {
    return host.Read(f, b, n);
  }
  std::int32_t Write(lzh::FileHandle f, const void* b, std::int32_t n) override {
    if (noteHeap)
      heapAtWrite = std::max(heapAtWrite, static_cast<std::size_t>(mallinfo2().uordblks));
    switch (sink) {
      case Sink::Files:
        return host.Write(f, b, n);
      case Sink::Discard:
        return 0;
      case Sink::Collect:
        collected->insert(collected->end(), static_cast<const std::uint8_t*>(b),
                          static_cast<const std::uint8_t*>(b) + n);
        return n;
      case Sink::Count:
        break;
    }
    return n;
  }
  lzh::FileOffset Seek(lzh::FileHandle f, lzh::FileOffset o) override { return host.Seek(f, o); }
  lzh::FileSize Size(lzh::FileHandle f) override { return host.Size(f); }
  bool Close(lzh::FileHandle f) override {
    return sink == Sink::Files || f != 1 ? host.Close(f) : true;
  }
  bool FindFirst(const char* p) override { return host.FindFirst(p); }
  bool MakeDirectory(const char* p) override { return host.MakeDirectory(p); }
  bool IsDirectory(const char* p) override { return host.IsDirectory(p); }
  bool IsLink(const char* p) override { return host.IsLink(p); }
  bool CanReplace(const char* p) override { return host.CanReplace(p); }
  bool Rename(const char* from, const char* to, bool replace) override {
    return sink != Sink::Files || host.Rename(from, to, replace);
  }
  bool Remove(const char* p) override { return sink != Sink::Files || host.Remove(p); }
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

std::string LastComponent(const char* name) {
  const char* slash = std::strrchr(name, '/');
  return slash != nullptr ? slash + 1 : name;
}

// Decodes every member; with Sink::Collect each member's bytes land in
// `members`, one vector per member.
Pass DecodeArchive(BenchFileSystem& fs, const char* path, const char* dir, std::size_t& heap,
                   std::vector<std::vector<std::uint8_t>>* members = nullptr) {
  Pass pass;
  lzh::ArchiveReader archive{fs, fs.OpenRead(path), 0, {}};
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
    if (lzh::ToolDecoders().Takes(lzh::MethodIdOf(h.method)) && !h.IsDirectoryEntry()) {
      std::string out = dir ? std::string(dir) + "/" + LastComponent(cursor.Name()) : "";
      if (members != nullptr) {
        members->emplace_back();
        fs.collected = &members->back();
      }
      lzh::FileHandle output = fs.CreateOutput(out.c_str());
      lzh::MemberStream member{fs,           archive.archiveHandle, output,
                               h.DataSize(), h.originalSize,        lzh::MethodIdOf(h.method)};
      std::size_t before = mallinfo2().uordblks;
      fs.heapAtWrite = 0;
      lzh::ToolDecoders().Decode(member);
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The median MB/s of `runs` runs of work over `bytes` bytes, by the CPU
// time they take (a busy machine slows the wall clock far more).
double MedianRate(int runs, std::int64_t bytes, const std::function<void()>& work) {
  std::vector<double> rates;
  for (int r = 0; r < runs; ++r) {
    double start = CpuSeconds();
    work();
    rates.push_back(static_cast<double>(bytes) / (CpuSeconds() - start) / 1e6);
  }
  return Median(rates);
}

int Stages(BenchFileSystem& fs, const char* dir, int runs, const std::vector<const char*>& paths) {
  fs.noteHeap = false;
  for (const char* path : paths) {
    std::vector<std::vector<std::uint8_t>> members;
    std::size_t heap = 0;
    fs.sink = Sink::Collect;
    Pass pass = DecodeArchive(fs, path, nullptr, heap, &members);
    fs.sink = Sink::Discard;
    double decode = MedianRate(runs, pass.bytes, [&] { DecodeArchive(fs, path, nullptr, heap); });
    double crc = MedianRate(runs, pass.bytes, [&] {
      for (const auto& m : members) {
        std::uint32_t value = 0;
        lzh::CrcUpdate(m.data(), static_cast<std::int32_t>(m.size()), value);
      }
    });
    // Each member into a file of its own, in writes of 256 KiB; the files
    // are removed between runs, untimed.
    lzh::FileSystem& host = lzh::HostFileSystem();
    std::vector<std::string> names;
    for (std::size_t i = 0; i < members.size(); ++i)
      names.push_back(std::string(dir) + "/m" + std::to_string(i));
    std::vector<double> rates;
    for (int r = 0; r < runs; ++r) {
      double start = CpuSeconds();
      for (std::size_t i = 0; i < members.size(); ++i) {
        lzh::FileHandle out = host.CreateOutput(names[i].c_str());
        const auto& m = members[i];
        for (std::size_t at = 0; at < m.size(); at += 1 << 18) {
          auto n = static_cast<std::int32_t>(std::min<std::size_t>(m.size() - at, 1 << 18));
          host.Write(out, m.data() + at, n);
        }
        host.Close(out);
      }
      rates.push_back(static_cast<double>(pass.bytes) / (CpuSeconds() - start) / 1e6);
      for (const auto& name : names) unlink(name.c_str());
    }
    std::printf("%s decode %.1f crc %.1f write %.1f\n", path, decode, crc, Median(rates));
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  const char* dir = nullptr;
  const char* stagesDir = nullptr;
  std::vector<const char*> archives;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "-C") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else if (std::strcmp(argv[i], "--stages") == 0 && i + 1 < argc) {
      stagesDir = argv[++i];
    } else {
      archives.push_back(argv[i]);
    }
  }
  if (archives.empty() || runs < 1) {
    std::fprintf(stderr,
                 "usage: decode_throughput [-r RUNS] [-C DIR] ARCHIVE...\n"
                 "       decode_throughput --stages DIR [-r RUNS] ARCHIVE...\n");
    return 2;
  }
  lzh::CrcTableScope crcTable;
  lzh::UseSlicedCrc(true);  // as the command-line tool does
  BenchFileSystem fs;
  if (stagesDir != nullptr) return Stages(fs, stagesDir, runs, archives);
  fs.sink = dir != nullptr ? Sink::Files : Sink::Count;
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
    std::printf(
        "%-32s %8.1f MB/s wall %8.1f MB/s cpu  %d members, %lld bytes, %s, heap %zu bytes\n", path,
        Median(rates), Median(cpuRates), pass.members, static_cast<long long>(pass.bytes),
        pass.failed ? "CRC FAILED" : "CRC ok", heap);
    if (pass.failed) status = 1;
  }
  return status;
}
