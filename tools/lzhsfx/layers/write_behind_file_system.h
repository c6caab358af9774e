// The command-line tool's writes of extracted files, behind the decoder: the
// bytes of the output file being written gather in blocks of 128 KiB, and a
// second thread writes each full block while the decoder fills the next
// (eight blocks, 1 MiB in all), and folds the block into the member's CRC:
// the decoder's thread only decodes. A member that fits in one block is written
// by the caller at its end, with no thread involved.
//
// A write here always reports every byte taken; what the file below stored
// is known once the member's writes are finished, which WriteBehindDecoding
// (below) does before a member's decoding returns: a block
// written short marks the member's stream writeFellShort, and LastError()
// then gives that write's error until the file is closed. Every call on the
// output file other than Write finishes its writes first, so that sizes,
// times and the close see the whole file. The file below sees the same
// writes in the same order as without this layer, only in larger pieces.
#pragma once

#include <cstdint>
#include <memory>

#include "codec/decoder.h"
#include "layers/forwarding_file_system.h"
#include "system/worker_thread.h"

namespace lzhcli {

class WriteBehindFileSystem final : public ForwardingFileSystem {
 public:
  explicit WriteBehindFileSystem(lzh::FileSystem& below);
  ~WriteBehindFileSystem() override;
  WriteBehindFileSystem(const WriteBehindFileSystem&) = delete;
  WriteBehindFileSystem& operator=(const WriteBehindFileSystem&) = delete;

  // Finishes the writes of an output still open, then creates the new one.
  lzh::FileHandle CreateOutput(const char* path) override;
  std::int32_t Write(lzh::FileHandle file, const void* buffer, std::int32_t count) override;
  lzh::FileSize Size(lzh::FileHandle file) override;
  bool Close(lzh::FileHandle file) override;
  void SetDosTime(lzh::FileHandle file, std::uint32_t dosDateTime) override;
  void SetUnixTime(lzh::FileHandle file, std::int64_t seconds) override;
  void SetUnixMode(lzh::FileHandle file, std::uint32_t mode) override;
  std::uint32_t LastError() override;

  // Hands every byte written to file so far to the file below and waits
  // until they are written. False when a write of the file below stored
  // fewer bytes than it was given, since the file was created. crc, where
  // given, receives the CRC-16 of the bytes the file below stored.
  bool Finish(lzh::FileHandle file, std::uint32_t* crc = nullptr);

  // The blocks as a ring a decoder may decode file's bytes into (see
  // lzh::LentRing), from the ring's start; its writes of bytes where they
  // lie take no copy. Empty (bytes nullptr) unless file is the output and
  // none of its bytes wait to be written.
  lzh::LentRing LendRing(lzh::FileHandle file);

 private:
  struct Shared;  // the blocks and what the two threads tell each other

  void RunWriter();

  // Hands the block being filled to the writing thread (starting it the
  // first time), or writes it here where no thread can be started.
  void HandOver();
  // Writes one block to the file below on the calling thread and notes a
  // short write.
  void WriteBlock(int index);

  std::unique_ptr<Shared> shared_;
  lzh::FileHandle output_ = lzh::kInvalidFile;  // the output file whose writes gather here
};

// The decoding stage in front of decoders whose output goes through layer
// (directly or below layers that forward every call): it lends them the
// layer's ring and leaves the CRC to the writing thread, which folds each
// block as the file below stores it; it finishes the output's writes before
// it returns, takes their CRC and marks the stream when one fell short. So
// a member is judged by what the file below stored.
class WriteBehindDecoding final : public lzh::MemberDecoder {
 public:
  WriteBehindDecoding(WriteBehindFileSystem& layer, lzh::MemberDecoder& next)
      : layer_(layer), next_(next) {}

  bool Takes(lzh::MethodId method) const override { return next_.Takes(method); }
  void Decode(lzh::MemberStream& member) override;

 private:
  WriteBehindFileSystem& layer_;
  lzh::MemberDecoder& next_;
};

}  // namespace lzhcli
