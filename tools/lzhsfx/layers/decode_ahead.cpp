#include "layers/decode_ahead.h"

#include <atomic>
#include <deque>
#include <utility>

#include "archive/header_cursor.h"
#include "extract/walk.h"
#include "layers/forwarding_file_system.h"

namespace lzhcli {

namespace {

constexpr std::int32_t kLargestMember = 1 << 18;  // bytes decoded ahead for one member
// Bytes decoded ahead and not yet taken: the thread stops at the first
// bound and goes on once the walk has taken them down to the second, so
// that the two threads hand over work in batches, not member by member.
constexpr std::size_t kAheadBytes = 1 << 21;
constexpr std::size_t kResumeBytes = 1 << 20;
// How often the walk looks whether the member being decoded is done before
// it sleeps: a small member takes some tens of microseconds, less than
// putting a thread to sleep and waking it costs.
constexpr int kSpins = 1 << 11;

// What tells a member: where its packed bytes start in the archive, and the
// header's facts its decoding depends on.
struct MemberKey {
  std::int64_t dataAt = -1;
  lzh::FileOffset packedSize = 0;
  lzh::FileOffset originalSize = 0;
  lzh::MethodId method = 0;

  bool operator==(const MemberKey&) const = default;
};

// Whether the thread decodes the member: a small one whose data the walk
// decodes (stored members take no decoding).
bool IsDecodedAhead(const lzh::MemberHeader& member, const lzh::MemberDecoder& decoders) {
  return lzh::DecodesData(member, decoders) && member.method[3] != '0' &&
         member.originalSize >= 0 && member.originalSize <= kLargestMember;
}

constexpr lzh::FileHandle kCaptureHandle = 0xDECA;

// Tells the core that this thread spins, so that it spends less on it.
inline void Pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// The output of a member decoded ahead: its bytes, and the count each write
// was given. Every write stores all it is given, as a file does.
class CapturedOutput final : public ForwardingFileSystem {
 public:
  CapturedOutput(lzh::FileSystem& reads, std::vector<std::uint8_t>& bytes,
                 std::vector<std::int32_t>& writes)
      : ForwardingFileSystem(reads), bytes_(bytes), writes_(writes) {}

  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override {
    if (file != kCaptureHandle) return Below().Write(file, buffer, count);
    writes_.push_back(count);
    if (count <= 0) return 0;
    const auto* from = static_cast<const std::uint8_t*>(buffer);
    bytes_.insert(bytes_.end(), from, from + count);
    return count;
  }

 private:
  std::vector<std::uint8_t>& bytes_;
  std::vector<std::int32_t>& writes_;
};

// The output file of a member decoded again after a write stored less than
// it was given: each write is answered with what the file system said to
// the same write of the replay, and stores nothing more.
class RecordedWrites final : public ForwardingFileSystem {
 public:
  RecordedWrites(lzh::FileSystem& reads, lzh::FileHandle output,
                 const std::vector<std::int32_t>& results)
      : ForwardingFileSystem(reads), output_(output), results_(results) {}

  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override {
    if (file != output_) return Below().Write(file, buffer, count);
    return next_ < results_.size() ? results_[next_++] : 0;
  }

 private:
  lzh::FileHandle output_;
  const std::vector<std::int32_t>& results_;
  std::size_t next_ = 0;
};

}  // namespace

struct DecodeAhead::Decoded {
  MemberKey key;
  std::vector<std::uint8_t> bytes;
  std::vector<std::int32_t> writes;  // the count of each write, in order
  std::uint32_t crc = 0;
  bool overran = false;
  std::int32_t packedLeft = 0;
};

// What the two threads share, guarded by the monitor's lock.
struct DecodeAhead::Shared {
  Monitor monitor;
  std::deque<Decoded> ready;  // oldest first
  std::size_t readyBytes = 0;
  std::int64_t walkAt = -1;  // where the member the walk decodes last starts
  // Where the member the thread decodes starts; changed under the lock, read
  // without it by the walk's spin.
  std::atomic<std::int64_t> working{-1};
  bool threadWaits = false;    // for room, until readyBytes is down to kResumeBytes
  bool walkWaits = false;      // for the member being decoded, or for threadAt
  bool walkWaited = false;     // for the member being decoded, since the thread looked
  std::int64_t threadAt = -1;  // where the member the thread is done with starts
  bool threadDone = false;     // the thread has ended or will not start
  bool stopping = false;
  lzh::FileHandle archive = lzh::kInvalidFile;  // the thread's, closed by the walk's

  // Drops the members the walk has passed.
  void DropBefore(std::int64_t dataAt) {
    while (!ready.empty() && ready.front().key.dataAt < dataAt) {
      readyBytes -= ready.front().bytes.size();
      ready.pop_front();
    }
  }
};

DecodeAhead::DecodeAhead(ReadAheadFileSystem& walkReads, lzh::FileSystem& own,
                         std::string archivePath, std::int32_t archiveStart,
                         lzh::MemberDecoder& next)
    : walkReads_(walkReads),
      own_(own),
      archivePath_(std::move(archivePath)),
      archiveStart_(archiveStart),
      next_(next),
      shared_(std::make_unique<Shared>()) {}

DecodeAhead::~DecodeAhead() {
  Shared& s = *shared_;
  s.monitor.Lock();
  s.stopping = true;
  s.monitor.Wake();
  s.monitor.Unlock();
  thread_.Join();
  if (s.archive != lzh::kInvalidFile) own_.Close(s.archive);
}

void DecodeAhead::RunThread(void* self) { static_cast<DecodeAhead*>(self)->Run(); }

bool DecodeAhead::WaitForRoom(std::int64_t dataAt) {
  Shared& s = *shared_;
  MonitorLock hold(s.monitor);
  if (s.readyBytes >= kAheadBytes) {
    s.threadWaits = true;
    while (!s.stopping && dataAt > s.walkAt && s.readyBytes > kResumeBytes) s.monitor.Wait();
    s.threadWaits = false;
  }
  if (s.stopping || dataAt <= s.walkAt) return false;
  // The walk waited for the thread: it is the faster of the two, and
  // decodes this member itself while the thread goes on to the next.
  if (s.walkWaited && !waitForThread_) {
    s.walkWaited = false;
    return false;
  }
  s.working = dataAt;
  return true;
}

void DecodeAhead::Run() {
  Shared& s = *shared_;
  struct Done {
    Shared& s;
    ~Done() {
      MonitorLock hold(s.monitor);
      s.threadDone = true;
      s.monitor.Wake();
    }
  } done{s};
  ReadAheadFileSystem reads(own_);
  const lzh::FileHandle archive = reads.OpenRead(archivePath_.c_str());
  if (archive == lzh::kInvalidFile) return;
  s.monitor.Lock();
  s.archive = archive;
  s.monitor.Unlock();
  lzh::ArchiveReader reader{reads, archive, 0, {}};
  reader.anyMethod = true;  // the walk's chain of headers
  lzh::HeaderCursor cursor(reader);
  bool more = cursor.Seek(archiveStart_);
  while (more && cursor.Read()) {
    const lzh::MemberHeader& member = cursor.Member();
    const MemberKey key{reads.Position(archive), member.DataSize(), member.originalSize,
                        lzh::MethodIdOf(member.method)};
    const bool small = IsDecodedAhead(member, next_);
    if (small && WaitForRoom(key.dataAt)) {
      Decoded decoded;
      decoded.key = key;
      decoded.bytes.reserve(static_cast<std::size_t>(key.originalSize));
      CapturedOutput output(reads, decoded.bytes, decoded.writes);
      lzh::MemberStream stream{output,         archive,          kCaptureHandle,
                               key.packedSize, key.originalSize, key.method};
      next_.Decode(stream);
      decoded.crc = stream.runningCrc;
      decoded.overran = stream.overran;
      decoded.packedLeft = stream.packedLeft;
      MonitorLock hold(s.monitor);
      s.working = -1;
      // A write of a negative count falls short even here: such a member is
      // left to the walk.
      if (!stream.writeFellShort && key.dataAt > s.walkAt) {
        s.readyBytes += decoded.bytes.size();
        s.ready.push_back(std::move(decoded));
      }
      if (s.walkWaits) s.monitor.Wake();
    }
    s.monitor.Lock();
    s.threadAt = key.dataAt;
    if (s.walkWaits) s.monitor.Wake();
    const bool stopping = s.stopping;
    s.monitor.Unlock();
    if (stopping) break;
    more = cursor.Advance();
  }
}

void DecodeAhead::Decode(lzh::MemberStream& member) {
  const MemberKey key{walkReads_.Position(member.archiveHandle), member.packedLeft,
                      member.originalSize, member.method};
  Shared& s = *shared_;
  Decoded decoded;
  bool found = false;
  if (!threadTried_ && key.dataAt >= 0) {
    threadTried_ = true;
    if (!thread_.Start(RunThread, this)) {
      MonitorLock hold(s.monitor);
      s.threadDone = true;
    }
  }
  if (key.dataAt >= 0) {
    MonitorLock hold(s.monitor);
    if (waitForThread_) {
      s.DropBefore(key.dataAt);
      s.monitor.Wake();
      s.walkWaits = true;
      while (!s.threadDone && s.threadAt < key.dataAt) s.monitor.Wait();
      s.walkWaits = false;
    }
    s.walkAt = key.dataAt;
    if (s.working == key.dataAt) {
      s.walkWaited = true;
      s.monitor.Unlock();
      for (int spin = 0; spin < kSpins && s.working.load() == key.dataAt; ++spin) Pause();
      s.monitor.Lock();
      s.walkWaits = true;
      while (s.working == key.dataAt) s.monitor.Wait();
      s.walkWaits = false;
    }
    s.DropBefore(key.dataAt);
    if (!s.ready.empty() && s.ready.front().key.dataAt == key.dataAt) {
      s.readyBytes -= s.ready.front().bytes.size();
      found = s.ready.front().key == key;
      if (found) decoded = std::move(s.ready.front());
      s.ready.pop_front();
    }
    // A walk that passed the thread's member has dropped every member
    // before it, so this wakes the thread for that too.
    if (s.threadWaits && s.readyBytes <= kResumeBytes) s.monitor.Wake();
  }
  if (found) {
    ++membersTaken_;
    Replay(member, key.dataAt, decoded);
  } else {
    next_.Decode(member);
  }
}

void DecodeAhead::Replay(lzh::MemberStream& member, std::int64_t dataAt, const Decoded& decoded) {
  writeResults_.clear();
  bool whole = true;
  std::size_t offset = 0;
  for (std::int32_t count : decoded.writes) {
    const std::int32_t written =
        member.fs.Write(member.outputHandle, decoded.bytes.data() + offset, count);
    writeResults_.push_back(written);
    whole = whole && written == count;
    if (count > 0) offset += static_cast<std::size_t>(count);
  }
  member.overran = decoded.overran;
  member.packedLeft = decoded.packedLeft;
  if (whole) {
    member.runningCrc = decoded.crc;
    return;
  }
  // The decoder tells from each write's result what it folds and whether
  // the member fell short: it decodes the member again, its writes answered
  // as the file system answered them.
  RecordedWrites recorded(member.fs, member.outputHandle, writeResults_);
  member.fs.Seek(member.archiveHandle, static_cast<lzh::FileOffset>(dataAt));
  lzh::MemberStream again{recorded,
                          member.archiveHandle,
                          member.outputHandle,
                          decoded.key.packedSize,
                          decoded.key.originalSize,
                          decoded.key.method};
  next_.Decode(again);
  member.runningCrc = again.runningCrc;
  member.writeFellShort = again.writeFellShort;
  member.overran = again.overran;
  member.packedLeft = again.packedLeft;
}

}  // namespace lzhcli
