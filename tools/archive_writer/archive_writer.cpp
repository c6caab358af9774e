#include "archive_writer/archive_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "archive_writer/temporary_file.h"
#include "archive_writer/utf8_path.h"

namespace lzhwrite {

namespace {

constexpr std::size_t kCopyBytes = 1 << 16;
constexpr std::int64_t kGiveUpAfter = 1 << 20;  // bytes

bool SeekTo(std::FILE* file, std::int64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, offset, SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// Reads the file to add, folding its bytes into the CRC and counting them.
class CountingSource : public lzh::ByteSource {
 public:
  CountingSource(std::FILE* file, const std::function<void(std::int64_t)>& onRead)
      : file_(file), onRead_(onRead) {}
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override {
    std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(count), file_);
    if (got == 0 && std::ferror(file_)) {
      error = errno;
      return -1;
    }
    lzh::CrcUpdate(buffer, static_cast<std::int32_t>(got), crc);
    bytes += static_cast<std::int64_t>(got);
    if (onRead_) onRead_(bytes);
    return static_cast<std::int32_t>(got);
  }
  std::uint32_t crc = 0;
  std::int64_t bytes = 0;
  int error = 0;

 private:
  std::FILE* file_;
  const std::function<void(std::int64_t)>& onRead_;
};

class FileSink : public lzh::ByteSink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  bool Write(const std::uint8_t* bytes, std::int32_t count) override {
    if (std::fwrite(bytes, 1, static_cast<std::size_t>(count), file_) ==
        static_cast<std::size_t>(count))
      return true;
    error = errno;
    return false;
  }
  int error = 0;

 private:
  std::FILE* file_;
};

// A stored path without "/" at either end.
std::string Trimmed(const std::string& path) {
  std::size_t from = path.find_first_not_of('/');
  if (from == std::string::npos) return std::string();
  std::size_t to = path.find_last_not_of('/');
  return path.substr(from, to - from + 1);
}
std::u16string Trimmed(const std::u16string& path) {
  std::size_t from = path.find_first_not_of(u'/');
  if (from == std::u16string::npos) return std::u16string();
  std::size_t to = path.find_last_not_of(u'/');
  return path.substr(from, to - from + 1);
}

}  // namespace

int DictionaryBitsOf(Method method) {
  switch (method) {
    case Method::Lh5:
      return 13;
    case Method::Lh6:
      return 15;
    case Method::Lh7:
      return 16;
    default:
      return 0;
  }
}

const char* MethodText(Method method) {
  switch (method) {
    case Method::Lh5:
      return "-lh5-";
    case Method::Lh6:
      return "-lh6-";
    case Method::Lh7:
      return "-lh7-";
    default:
      return "-lh0-";
  }
}

ArchiveWriter::ArchiveWriter(const WriterOptions& options) : options_(options) {}

ArchiveWriter::~ArchiveWriter() { Abandon(); }

WriteStatus ArchiveWriter::Fail(WriteError error, const std::string& path, int systemError) {
  WriteStatus status;
  status.error = error;
  status.path = path;
  status.systemError = systemError;
  return status;
}

WriteStatus ArchiveWriter::Open(const std::string& path) {
  if (options_.effort < lzh::kMinEffort || options_.effort > lzh::kMaxEffort ||
      options_.headerLevel < 0 || options_.headerLevel > 2)
    return Fail(WriteError::BadOptions, path);
  Abandon();
  // Beside the final name, so that the rename stays on one file system.
  std::string temporary;
  int error = 0;
  file_ = CreateTemporaryBeside(path, ".tmp", temporary, error);
  if (file_ == nullptr) return Fail(WriteError::CannotCreate, temporary, error);
  temporaryPath_ = temporary;
  finalPath_ = path;
  end_ = 0;
  return WriteStatus{};
}

void ArchiveWriter::Abandon() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (temporaryPath_.empty()) return;
  std::error_code ec;
  std::filesystem::remove(Utf8Path(temporaryPath_), ec);
  temporaryPath_.clear();
}

WriteStatus ArchiveWriter::PutHeader(const MemberFields& fields, std::int64_t at) {
  switch (BuildMemberHeader(fields, options_.headerLevel, header_)) {
    case HeaderError::None:
      break;
    case HeaderError::SizeTooLarge:
      return Fail(WriteError::TooLarge, fields.path);
    default:
      return Fail(WriteError::NameTooLong, fields.path);
  }
  if (!SeekTo(file_, at) || std::fwrite(header_.data(), 1, header_.size(), file_) != header_.size())
    return Fail(WriteError::WriteFailed, temporaryPath_, errno);
  return WriteStatus{};
}

WriteStatus ArchiveWriter::AddDirectory(const MemberSource& member) {
  if (file_ == nullptr) return Fail(WriteError::NotOpen, finalPath_);
  MemberFields fields;
  std::memcpy(fields.method, "-lhd-", 6);
  fields.isDirectory = true;
  fields.path = Trimmed(member.storedPath);
  fields.utf16Path = Trimmed(member.utf16Path);
  fields.unixTime = member.unixTime;
  fields.unixMode = member.unixMode;
  WriteStatus status = PutHeader(fields, end_);
  if (status.error == WriteError::NameTooLong && !member.sourcePath.empty())
    status.path = member.sourcePath;
  if (status.Ok()) end_ += static_cast<std::int64_t>(header_.size());
  return status;
}

WriteStatus ArchiveWriter::AddCopied(const std::uint8_t* member, std::size_t count) {
  if (file_ == nullptr) return Fail(WriteError::NotOpen, finalPath_);
  if (!SeekTo(file_, end_) || std::fwrite(member, 1, count, file_) != count)
    return Fail(WriteError::WriteFailed, temporaryPath_, errno);
  end_ += static_cast<std::int64_t>(count);
  return WriteStatus{};
}

void ArchiveWriter::PackAhead(const std::vector<std::string>& sourcePaths) {
  ahead_.clear();
  if (!options_.twoThreads || options_.method == Method::Lh0) return;
  std::vector<PackedFile> files(sourcePaths.size());
  for (std::size_t i = 0; i < files.size(); ++i) files[i].sourcePath = sourcePaths[i];
  const std::uint64_t largest =
      options_.largestFile < kLargestPackedAhead ? options_.largestFile : kLargestPackedAhead;
  PackFiles(files, BaseEncoderOptions(), largest, &runner_);
  for (auto& file : files) ahead_.push_back(std::move(file));
}

std::optional<PackedFile> ArchiveWriter::TakeAhead(const std::string& sourcePath) {
  auto found = std::find_if(ahead_.begin(), ahead_.end(),
                            [&](const PackedFile& file) { return file.sourcePath == sourcePath; });
  if (found == ahead_.end()) return std::nullopt;
  std::optional<PackedFile> file(std::move(*found));
  ahead_.erase(ahead_.begin(), found + 1);
  return file;
}

WriteStatus ArchiveWriter::AddFile(const MemberSource& member, MemberSummary* summary) {
  if (file_ == nullptr) return Fail(WriteError::NotOpen, finalPath_);
  const std::optional<PackedFile> ahead = TakeAhead(member.sourcePath);
  std::error_code ec;
  std::uintmax_t size;
  if (ahead) {
    if (ahead->failure == PackedFile::Failure::NoSize)
      return Fail(WriteError::CannotOpenSource, member.sourcePath, ahead->systemError);
    size = ahead->size;
  } else {
    size = std::filesystem::file_size(Utf8Path(member.sourcePath), ec);
    if (ec) return Fail(WriteError::CannotOpenSource, member.sourcePath, ec.value());
  }
  if (size > options_.largestFile) return Fail(WriteError::OverLimit, member.sourcePath);
  MemberFields fields;
  std::memcpy(fields.method, MethodText(options_.method), 6);
  fields.originalSize = size;
  fields.unixTime = member.unixTime;
  fields.unixMode = member.unixMode;
  fields.path = Trimmed(member.storedPath);
  fields.utf16Path = Trimmed(member.utf16Path);
  WriteStatus status = WriteMember(fields, member, ahead && ahead->Ready() ? &*ahead : nullptr);
  if (status.Ok() && summary != nullptr) {
    std::memcpy(summary->method, fields.method, 6);
    summary->originalSize = fields.originalSize;
    summary->packedSize = fields.packedSize;
    summary->crc = fields.crc;
  }
  return status;
}

// The header goes first with the packed size at its most (the file
// stored), so that a member whose sizes the header cannot hold is refused
// before its data; the data behind it, then the header again with the
// sizes and the CRC; its length stays the same. On failure end_ stays, so
// the next member (or the end marker) takes the failed one's place. A file
// packed ahead comes from memory, its failures met where the file's would be.
WriteStatus ArchiveWriter::WriteMember(MemberFields& fields, const MemberSource& member,
                                       const PackedFile* ahead) {
  const std::int64_t headerAt = end_;
  fields.packedSize = fields.originalSize;
  WriteStatus status = PutHeader(fields, headerAt);
  if (status.error == WriteError::NameTooLong || status.error == WriteError::TooLarge)
    status.path = member.sourcePath;
  if (!status.Ok()) return status;
  const std::int64_t dataAt = headerAt + static_cast<std::int64_t>(header_.size());
  if (ahead != nullptr) {
    if (ahead->failure == PackedFile::Failure::CannotOpen)
      return Fail(WriteError::CannotOpenSource, member.sourcePath, ahead->systemError);
    status = PutAhead(*ahead, member, fields);
  } else {
    std::FILE* source = OpenUtf8(member.sourcePath, false);
    if (source == nullptr) return Fail(WriteError::CannotOpenSource, member.sourcePath, errno);
    bool shrank = false;
    if (options_.method != Method::Lh0) status = PackInto(member, source, fields, shrank);
    if (status.Ok() && !shrank) {
      std::memcpy(fields.method, "-lh0-", 6);
      if (!SeekTo(file_, dataAt) || !SeekTo(source, 0)) {
        status = Fail(WriteError::WriteFailed, temporaryPath_, errno);
      } else {
        status = StoreInto(member, source, fields);
      }
    }
    std::fclose(source);
  }
  if (status.Ok()) status = PutHeader(fields, headerAt);
  if (!status.Ok()) {
    SeekTo(file_, end_);
    return status;
  }
  end_ = dataAt + static_cast<std::int64_t>(fields.packedSize);
  if (!SeekTo(file_, end_)) return Fail(WriteError::WriteFailed, temporaryPath_, errno);
  return status;
}

// The data of a file packed ahead, written where the file position is.
WriteStatus ArchiveWriter::PutAhead(const PackedFile& file, const MemberSource& member,
                                    MemberFields& fields) {
  switch (file.failure) {
    case PackedFile::Failure::ReadFailed:
      return Fail(WriteError::ReadFailed, member.sourcePath, file.systemError);
    case PackedFile::Failure::ChangedWhileRead:
      return Fail(WriteError::ChangedWhileRead, member.sourcePath);
    default:
      break;
  }
  if (options_.onRead) options_.onRead(static_cast<std::int64_t>(file.bytes.size()));
  const std::vector<std::uint8_t>& data = file.shrank ? file.packed : file.bytes;
  if (!file.shrank) std::memcpy(fields.method, "-lh0-", 6);
  if (std::fwrite(data.data(), 1, data.size(), file_) != data.size())
    return Fail(WriteError::WriteFailed, temporaryPath_, errno);
  fields.packedSize = data.size();
  fields.crc = file.crc;
  return WriteStatus{};
}

lzh::EncoderOptions ArchiveWriter::BaseEncoderOptions() {
  lzh::EncoderOptions options;
  options.dictionaryBits = DictionaryBitsOf(options_.method);
  options.effort = options_.effort;
  // Data that has not shrunk by a 64th after this much is taken for data
  // that will not shrink (compressed or random): it is stored at once.
  options.giveUpAfter = kGiveUpAfter;
  if (options_.twoThreads) options.runner = &runner_;
  return options;
}

WriteStatus ArchiveWriter::PackInto(const MemberSource& member, std::FILE* source,
                                    MemberFields& fields, bool& shrank) {
  CountingSource input(source, options_.onRead);
  FileSink output(file_);
  const auto originalSize = static_cast<std::int64_t>(fields.originalSize);
  lzh::EncodeResult result = lzh::EncodeStaticHuffman(
      input, output, MemberEncoderOptions(BaseEncoderOptions(), fields.originalSize));
  switch (result.status) {
    case lzh::EncodeStatus::ReadFailed:
      return Fail(WriteError::ReadFailed, member.sourcePath, input.error);
    case lzh::EncodeStatus::WriteFailed:
      return Fail(WriteError::WriteFailed, temporaryPath_, output.error);
    case lzh::EncodeStatus::BadOptions:
      return Fail(WriteError::BadOptions, member.sourcePath);
    case lzh::EncodeStatus::LimitReached:
      shrank = false;
      return WriteStatus{};
    case lzh::EncodeStatus::Done:
      break;
  }
  if (input.bytes != originalSize) return Fail(WriteError::ChangedWhileRead, member.sourcePath);
  shrank = result.packedBytes < originalSize;
  fields.packedSize = static_cast<std::uint64_t>(result.packedBytes);
  fields.crc = static_cast<std::uint16_t>(input.crc);
  return WriteStatus{};
}

WriteStatus ArchiveWriter::StoreInto(const MemberSource& member, std::FILE* source,
                                     MemberFields& fields) {
  CountingSource input(source, options_.onRead);
  std::vector<std::uint8_t> buffer(kCopyBytes);
  while (true) {
    std::int32_t got = input.Read(buffer.data(), static_cast<std::int32_t>(buffer.size()));
    if (got < 0) return Fail(WriteError::ReadFailed, member.sourcePath, input.error);
    if (got == 0) break;
    if (input.bytes > static_cast<std::int64_t>(fields.originalSize)) break;  // it grew
    if (std::fwrite(buffer.data(), 1, static_cast<std::size_t>(got), file_) !=
        static_cast<std::size_t>(got))
      return Fail(WriteError::WriteFailed, temporaryPath_, errno);
  }
  if (input.bytes != static_cast<std::int64_t>(fields.originalSize))
    return Fail(WriteError::ChangedWhileRead, member.sourcePath);
  fields.packedSize = fields.originalSize;
  fields.crc = static_cast<std::uint16_t>(input.crc);
  return WriteStatus{};
}

WriteStatus ArchiveWriter::Complete() {
  if (file_ == nullptr) return Fail(WriteError::NotOpen, finalPath_);
  const std::uint8_t endMarker = 0;
  bool written =
      SeekTo(file_, end_) && std::fwrite(&endMarker, 1, 1, file_) == 1 && std::fflush(file_) == 0;
  int error = errno;
  written = std::fclose(file_) == 0 && written;
  file_ = nullptr;
  std::error_code ec;
  // A member taken out at the end may have left bytes behind the marker.
  if (written)
    std::filesystem::resize_file(Utf8Path(temporaryPath_), static_cast<std::uintmax_t>(end_ + 1),
                                 ec);
  if (!written || ec) {
    const std::string path = temporaryPath_;
    Abandon();
    return Fail(WriteError::WriteFailed, path, written ? ec.value() : error);
  }
  return WriteStatus{};
}

WriteStatus ArchiveWriter::Finish() {
  WriteStatus status = Complete();
  if (!status.Ok()) return status;
  std::error_code ec;
  std::filesystem::rename(Utf8Path(temporaryPath_), Utf8Path(finalPath_), ec);
  if (ec) {
    const int renameError = ec.value();
    Abandon();
    return Fail(WriteError::CannotRename, finalPath_, renameError);
  }
  temporaryPath_.clear();
  return WriteStatus{};
}

}  // namespace lzhwrite
