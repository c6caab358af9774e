#include "layers/write_behind_file_system.h"

#include <cstring>

#include "system/large_buffer.h"

namespace lzhcli {

namespace {

constexpr int kBlocks = 8;
constexpr std::int32_t kBlockBytes = 1 << 17;
// The writing thread, faster than the decoder, would sleep after each block
// and be woken for the next one, a system call each time: it is woken once
// half the ring waits for it, and at the end of each output file.
constexpr int kWakeBlocks = kBlocks / 2;

}  // namespace

// The blocks form a ring: those handed over, oldest first from head, then
// the one being filled. The writing thread owns the blocks handed over; the
// caller's thread owns the one being filled and waits while all the others
// are handed over. The lock guards every field below it.
struct WriteBehindFileSystem::Shared {
  LargeBuffer bytes;  // kBlocks * kBlockBytes, obtained when first used
  std::int32_t counts[kBlocks] = {};
  lzh::FileHandle files[kBlocks] = {};
  int filling = 0;  // the block being filled: (head + queued) % kBlocks

  Monitor monitor;
  WorkerThread thread;
  bool threadTried = false;  // without a thread, blocks are written by the caller
  int head = 0;
  int queued = 0;
  bool stopping = false;
  std::uint32_t crc = 0;    // of the output file's bytes the file below stored
  bool fellShort = false;   // a write of the output file stored less than it was given
  std::uint32_t error = 0;  // the file system's error for that write

  std::uint8_t* Ring() {
    if (!bytes) bytes.Allocate(std::size_t{kBlockBytes} * kBlocks);
    return bytes.Get();
  }
  std::uint8_t* Block(int index) { return Ring() + std::size_t{kBlockBytes} * index; }

  void Lock() { monitor.Lock(); }
  void Unlock() { monitor.Unlock(); }
  void Wait() { monitor.Wait(); }
  void Wake() { monitor.Wake(); }
};

WriteBehindFileSystem::WriteBehindFileSystem(lzh::FileSystem& below)
    : ForwardingFileSystem(below), shared_(std::make_unique<Shared>()) {}

WriteBehindFileSystem::~WriteBehindFileSystem() {
  if (output_ != lzh::kInvalidFile) Finish(output_);
  Shared& s = *shared_;
  if (!s.thread.Running()) return;
  s.Lock();
  s.stopping = true;
  s.Wake();
  s.Unlock();
  s.thread.Join();
}

void WriteBehindFileSystem::WriteBlock(int index) {
  Shared& s = *shared_;
  const std::int32_t count = s.counts[index];
  const std::int32_t written = Below().Write(s.files[index], s.Block(index), count);
  // Only one thread writes at a time, and the caller reads the CRC once
  // none is writing.
  lzh::CrcUpdate(s.Block(index), written, s.crc);
  if (written == count) return;
  const std::uint32_t error = Below().LastError();
  s.Lock();
  s.fellShort = true;
  s.error = error;
  s.Unlock();
}

// The writing thread: writes the blocks handed over, oldest first, until
// told to stop with none left.
void WriteBehindFileSystem::RunWriter() {
  Shared& s = *shared_;
  s.Lock();
  for (;;) {
    while (s.queued == 0 && !s.stopping) s.Wait();
    if (s.queued == 0) break;
    const int index = s.head;
    s.Unlock();
    WriteBlock(index);
    s.Lock();
    s.head = (s.head + 1) % kBlocks;
    --s.queued;
    s.Wake();
  }
  s.Unlock();
}

void WriteBehindFileSystem::HandOver() {
  Shared& s = *shared_;
  if (!s.threadTried) {
    s.threadTried = true;
    s.thread.Start([](void* self) { static_cast<WriteBehindFileSystem*>(self)->RunWriter(); },
                   this);
  }
  if (!s.thread.Running()) {
    WriteBlock(s.filling);
    s.counts[s.filling] = 0;
    return;
  }
  s.Lock();
  ++s.queued;
  if (s.queued >= kWakeBlocks) s.Wake();
  // The block after the one being filled stays free as well: a decoder in
  // a lent ring writes a little past the block it fills.
  while (s.queued >= kBlocks - 1) s.Wait();
  s.Unlock();
  s.filling = (s.filling + 1) % kBlocks;
  s.counts[s.filling] = 0;
}

lzh::FileHandle WriteBehindFileSystem::CreateOutput(const char* path) {
  if (output_ != lzh::kInvalidFile) Finish(output_);
  lzh::FileHandle file = Below().CreateOutput(path);
  if (file != lzh::kInvalidFile) {
    output_ = file;
    Shared& s = *shared_;
    s.Lock();
    s.fellShort = false;
    s.error = 0;
    s.crc = 0;
    s.Unlock();
    s.counts[s.filling] = 0;
  }
  return file;
}

std::int32_t WriteBehindFileSystem::Write(lzh::FileHandle file, const void* buffer,
                                          std::int32_t count) {
  if (file != output_ || file == lzh::kInvalidFile) return Below().Write(file, buffer, count);
  if (count <= 0) return 0;
  Shared& s = *shared_;
  const auto* from = static_cast<const std::uint8_t*>(buffer);
  std::int32_t taken = 0;
  while (taken < count) {
    std::int32_t& filled = s.counts[s.filling];
    std::int32_t take = kBlockBytes - filled;
    if (take > count - taken) take = count - taken;
    std::uint8_t* to = s.Block(s.filling) + filled;
    // Bytes a decoder put in the lent ring are where they belong already.
    if (to != from + taken) std::memcpy(to, from + taken, static_cast<std::size_t>(take));
    s.files[s.filling] = file;
    filled += take;
    taken += take;
    if (filled == kBlockBytes) HandOver();
  }
  return count;
}

bool WriteBehindFileSystem::Finish(lzh::FileHandle file, std::uint32_t* crc) {
  if (file != output_ || file == lzh::kInvalidFile) return true;
  Shared& s = *shared_;
  s.Lock();
  const bool idle = s.queued == 0;
  s.Unlock();
  if (s.counts[s.filling] > 0) {
    // With nothing handed over, the caller writes the last block itself,
    // which spares small members a wait on the thread.
    if (idle) {
      WriteBlock(s.filling);
      s.counts[s.filling] = 0;
    } else {
      HandOver();
    }
  }
  s.Lock();
  if (s.queued != 0) s.Wake();
  while (s.queued != 0) s.Wait();
  const bool whole = !s.fellShort;
  if (crc != nullptr) *crc = s.crc;
  s.Unlock();
  return whole;
}

lzh::LentRing WriteBehindFileSystem::LendRing(lzh::FileHandle file) {
  Shared& s = *shared_;
  if (file != output_ || file == lzh::kInvalidFile || s.counts[s.filling] != 0) return {};
  s.Lock();
  const bool idle = s.queued == 0;
  // Ring positions are block positions from the ring's start.
  if (idle) s.head = s.filling = 0;
  s.Unlock();
  if (!idle) return {};
  s.counts[0] = 0;  // it may hold an earlier member's count
  return {s.Ring(), kBlockBytes * kBlocks, kBlockBytes};
}

lzh::FileSize WriteBehindFileSystem::Size(lzh::FileHandle file) {
  Finish(file);
  return Below().Size(file);
}

bool WriteBehindFileSystem::Close(lzh::FileHandle file) {
  if (file == output_ && file != lzh::kInvalidFile) {
    Finish(file);
    output_ = lzh::kInvalidFile;
  }
  return Below().Close(file);
}

void WriteBehindFileSystem::SetDosTime(lzh::FileHandle file, std::uint32_t dosDateTime) {
  Finish(file);
  Below().SetDosTime(file, dosDateTime);
}

void WriteBehindFileSystem::SetUnixTime(lzh::FileHandle file, std::int64_t seconds) {
  Finish(file);
  Below().SetUnixTime(file, seconds);
}

void WriteBehindFileSystem::SetUnixMode(lzh::FileHandle file, std::uint32_t mode) {
  Finish(file);
  Below().SetUnixMode(file, mode);
}

std::uint32_t WriteBehindFileSystem::LastError() {
  Shared& s = *shared_;
  if (output_ != lzh::kInvalidFile) {
    s.Lock();
    const bool fellShort = s.fellShort;
    const std::uint32_t error = s.error;
    s.Unlock();
    if (fellShort) return error;
  }
  return Below().LastError();
}

void WriteBehindDecoding::Decode(lzh::MemberStream& member) {
  member.outputFoldsCrc = true;
  lzh::LentRing ring = layer_.LendRing(member.outputHandle);
  if (ring.bytes != nullptr) member.lentRing = &ring;
  next_.Decode(member);
  member.lentRing = nullptr;
  if (!layer_.Finish(member.outputHandle, &member.runningCrc)) member.writeFellShort = true;
}

}  // namespace lzhcli
