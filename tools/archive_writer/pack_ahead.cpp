#include "archive_writer/pack_ahead.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "archive_writer/utf8_path.h"
#include "codec/crc16.h"
#include "encoder/memory_sink.h"

namespace lzhwrite {

namespace {

class MemorySource : public lzh::ByteSource {
 public:
  explicit MemorySource(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override {
    const std::size_t left = bytes_.size() - at_;
    const std::size_t take = left < static_cast<std::size_t>(count) ? left : count;
    std::memcpy(buffer, bytes_.data() + at_, take);
    at_ += take;
    return static_cast<std::int32_t>(take);
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::size_t at_ = 0;
};

void PackFile(PackedFile& file, const lzh::EncoderOptions& base, std::uint64_t largest) {
  std::error_code ec;
  file.size = std::filesystem::file_size(Utf8Path(file.sourcePath), ec);
  if (ec) {
    file.failure = PackedFile::Failure::NoSize;
    file.systemError = ec.value();
    return;
  }
  if (file.size > largest) return;
  std::FILE* source = OpenUtf8(file.sourcePath, false);
  if (source == nullptr) {
    file.failure = PackedFile::Failure::CannotOpen;
    file.systemError = errno;
    return;
  }
  // One byte more than the size: a file that grew shows it.
  file.bytes.resize(static_cast<std::size_t>(file.size) + 1);
  const std::size_t got = std::fread(file.bytes.data(), 1, file.bytes.size(), source);
  const bool failed = std::ferror(source) != 0;
  const int error = errno;
  std::fclose(source);
  file.bytes.resize(got);
  if (failed) {
    file.failure = PackedFile::Failure::ReadFailed;
    file.systemError = error;
    return;
  }
  if (got != file.size) {
    file.failure = PackedFile::Failure::ChangedWhileRead;
    return;
  }
  std::uint32_t crc = 0;
  lzh::CrcUpdate(file.bytes.data(), static_cast<std::int32_t>(got), crc);
  file.crc = static_cast<std::uint16_t>(crc);
  file.read = true;
  MemorySource input(file.bytes);
  lzh::MemorySink output;
  const lzh::EncodeResult result =
      lzh::EncodeStaticHuffman(input, output, MemberEncoderOptions(base, file.size));
  file.shrank = result.status == lzh::EncodeStatus::Done &&
                result.packedBytes < static_cast<std::int64_t>(file.size);
  if (file.shrank) file.packed.assign(output.Data(), output.Data() + output.Size());
}

// Takes the files in turn from a shared count, so that neither thread
// waits for the other before the last file.
class PackTurns : public lzh::Work {
 public:
  PackTurns(std::vector<PackedFile>& files, const lzh::EncoderOptions& options,
            std::uint64_t largest, lzh::PairRunner* runner, std::size_t& next)
      : files_(files), options_(options), largest_(largest), runner_(runner), next_(next) {}

  void Run() override {
    for (;;) {
      if (runner_ != nullptr) runner_->Lock();
      const std::size_t index = next_++;
      if (runner_ != nullptr) runner_->Unlock();
      if (index >= files_.size()) return;
      PackFile(files_[index], options_, largest_);
    }
  }

 private:
  std::vector<PackedFile>& files_;
  const lzh::EncoderOptions& options_;
  std::uint64_t largest_;
  lzh::PairRunner* runner_;
  std::size_t& next_;
};

}  // namespace

lzh::EncoderOptions MemberEncoderOptions(const lzh::EncoderOptions& base, std::uint64_t size) {
  lzh::EncoderOptions options = base;
  // Stop as soon as the member would not shrink: it is stored instead.
  options.packedLimit = size == 0 ? 0 : static_cast<std::int64_t>(size) - 1;
  // A member within one segment is packed as one segment of its own size,
  // on one thread: the same stream, but its buffers are cleared for its
  // bytes rather than for four full segments, which made a folder of small
  // files take ten times as long as packing them. One byte more than the
  // file: the first read finds the end.
  if (size < lzh::kDefaultSegmentBytes) {
    options.segmentBytes = static_cast<std::uint32_t>(size) + 1;
    options.runner = nullptr;
  }
  return options;
}

void PackFiles(std::vector<PackedFile>& files, const lzh::EncoderOptions& options,
               std::uint64_t largest, lzh::PairRunner* runner) {
  std::size_t next = 0;
  PackTurns first(files, options, largest, runner, next);
  if (runner == nullptr) return first.Run();
  PackTurns second(files, options, largest, runner, next);
  runner->RunPair(first, second);
}

}  // namespace lzhwrite
