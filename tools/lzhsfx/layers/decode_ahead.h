// The command-line tool's decoding of small members ahead, on a second
// thread. Per small member the walk spends about as long on system calls
// (writing the file, closing it, reading the next header, creating the
// next file) as on decoding; meanwhile the thread decodes the members after
// it into memory, from a handle of the archive of its own. The walk's
// decoder then only makes the writes the decoder made, with the same bytes,
// and takes the CRC and the findings the decoder reached: the file system
// below sees the same calls in the same order, and every member gets the
// outcome it gets when the walk decodes it. Should a write store fewer
// bytes than given, the member is decoded again against the results the
// writes had, so that the CRC and the findings are those of that decoder.
//
// A member is decoded ahead when its header says it is small (256 KiB at
// most) and its method is decoded here; the others, and any member the
// thread has not reached, the walk decodes itself. The members decoded
// ahead and not yet taken hold at most 2 MiB (one member more when it
// alone is larger).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/decoder.h"
#include "layers/read_ahead_file_system.h"
#include "platform/file_system.h"
#include "system/worker_thread.h"

namespace lzhcli {

// The decoding stage that takes a member's decoding from the thread when
// it has it.
class DecodeAhead final : public lzh::MemberDecoder {
 public:
  // walkReads is the layer the walk reads the archive through: at a
  // decoder's start its position is the member's first packed byte, which
  // tells the member. own is a file system for the thread alone, in which
  // archivePath opens the same archive, whose first header is at
  // archiveStart. next decodes what is not taken from the thread; the
  // thread decodes with it too, so it must keep no state between members
  // (lzh::ToolDecoders()). A write-behind stage, where there is one, stands
  // in front of this one. The thread starts at the first member decoded.
  DecodeAhead(ReadAheadFileSystem& walkReads, lzh::FileSystem& own, std::string archivePath,
              std::int32_t archiveStart, lzh::MemberDecoder& next);
  ~DecodeAhead();
  DecodeAhead(const DecodeAhead&) = delete;
  DecodeAhead& operator=(const DecodeAhead&) = delete;

  bool Takes(lzh::MethodId method) const override { return next_.Takes(method); }
  // Decodes the member, or makes the writes of its decoding ahead.
  void Decode(lzh::MemberStream& member) override;

  // For tests: the walk waits until the thread is done with each member
  // rather than decode one the thread has not reached, so that every small
  // member is taken from the thread. Before the first member.
  void WaitForThread() { waitForThread_ = true; }
  // The members whose writes were made from the thread's decoding.
  int MembersTaken() const { return membersTaken_; }

 private:
  struct Decoded;
  struct Shared;

  static void RunThread(void* self);
  // The thread: walks the headers from archiveStart and decodes the small
  // members ahead of the walk.
  void Run();
  // Waits until the member at dataAt may be decoded: true, and the member
  // marked as being decoded; false when the walk has passed it, takes it
  // itself, or the layer stops.
  bool WaitForRoom(std::int64_t dataAt);
  void Replay(lzh::MemberStream& member, std::int64_t dataAt, const Decoded& decoded);

  ReadAheadFileSystem& walkReads_;
  lzh::FileSystem& own_;
  std::string archivePath_;
  std::int32_t archiveStart_;
  lzh::MemberDecoder& next_;
  std::unique_ptr<Shared> shared_;
  WorkerThread thread_;
  bool threadTried_ = false;
  bool waitForThread_ = false;
  int membersTaken_ = 0;
  std::vector<std::int32_t> writeResults_;  // what the file system said to a replay's writes
};

}  // namespace lzhcli
