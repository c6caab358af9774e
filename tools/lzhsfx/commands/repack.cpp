#include "commands/repack.h"

#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "archive/header_cursor.h"
#include "archive_writer/archive_writer.h"
#include "archive_writer/temporary_file.h"
#include "archive_writer/utf8_path.h"
#include "codec/decoder.h"
#include "commands/commands.h"
#include "commands/sfx_program.h"
#include "console/outcome_text.h"
#include "names/code_page_text.h"
#include "names/unicode_text.h"
#include "session/archive_file.h"
#include "session/member_names.h"
#include "system/interrupt_registry.h"
#include "system/tool_platform.h"

namespace lzhcli {

namespace {

// Shift-JIS, the format's customary code page: a lead byte's trail may be
// "\", which is then no separator.
bool IsShiftJisLead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The member's stored path, "/" separated, from its directory record and
// name (whose own "\" separate components too, as at level 0).
std::string StoredPath(const lzh::MemberHeader& member, const char* name) {
  std::string path;
  if (member.extensionText[0] == 2) {
    for (const char* p = member.extensionText + 1; *p != 0; ++p)
      path += static_cast<unsigned char>(*p) == 0xFF ? '/' : *p;
    if (!path.empty() && path.back() != '/') path += '/';
  }
  for (const char* p = name; *p != 0; ++p) {
    if (IsShiftJisLead(static_cast<unsigned char>(*p)) && p[1] != 0) {
      path += *p++;
      path += *p;
    } else {
      path += *p == '\\' ? '/' : *p;
    }
  }
  return path;
}

std::int64_t UnixTimeOf(const lzh::MemberHeader& member) {
  if (member.hasUnixTime) return member.unixTime;
  std::uint32_t t = member.timeStamp;
  std::tm local{};
  local.tm_year = static_cast<int>(80 + (t >> 25));
  local.tm_mon = static_cast<int>(((t >> 21) & 0x0F) - 1);
  local.tm_mday = static_cast<int>((t >> 16) & 0x1F);
  local.tm_hour = static_cast<int>((t >> 11) & 0x1F);
  local.tm_min = static_cast<int>((t >> 5) & 0x3F);
  local.tm_sec = static_cast<int>((t & 0x1F) * 2);
  local.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&local));
}

// text ("\\" separated) as the UTF-16 path of records 0x44/0x45 ("/"
// separated), or empty when it is ASCII, which the bytes hold as well.
std::u16string Utf16PathOf(std::string text) {
  std::u16string utf16;
  for (char& c : text) c = c == '\\' ? '/' : c;
  if (lzhnames::IsAscii(text) || !lzhnames::Utf8ToUtf16(text, utf16)) utf16.clear();
  return utf16;
}

// Decodes the member at the reader's position into path, a temporary file
// beside shown (what messages name); false, with the reason, when it does
// not decode to its size and CRC.
bool DecodeInto(lzh::ArchiveReader& reader, const std::string& path, const std::string& shown,
                std::string& error) {
  const lzh::MemberHeader& member = reader.currentMember;
  lzh::FileSystem& host = lzh::HostFileSystem();
  // Made anew for each member: files are only ever created exclusively, so
  // whatever took the name meanwhile is not written to.
  host.Remove(path.c_str());
  lzh::FileHandle output = host.CreateOutput(path.c_str());
  if (output == lzh::kInvalidFile) {
    error = "cannot write the decoded member beside " + shown + SystemReason(host.LastError());
    return false;
  }
  lzh::MemberStream stream{reader.fs,         reader.archiveHandle, output,
                           member.DataSize(), member.originalSize,  lzh::MethodIdOf(member.method)};
  lzh::ToolDecoders().Decode(stream);
  const bool closed = host.Close(output);
  std::error_code ec;
  const auto size =
      std::filesystem::file_size(lzhwrite::Utf8Path(lzhnames::SystemNameToUtf8(path)), ec);
  if (!closed || stream.writeFellShort || ec) {
    error = "cannot write the decoded member beside " + shown + SystemReason(host.LastError());
    return false;
  }
  if (stream.overran || size != static_cast<std::uintmax_t>(member.originalSize) ||
      stream.runningCrc != member.memberCrc) {
    error = "damaged: it does not decode to its size and CRC-16, so it cannot be repacked";
    return false;
  }
  return true;
}

// A member the program decodes as it stands: of its methods, under a header
// of a level it reads.
bool ProgramReads(const lzh::MemberHeader& m) {
  return m.level < 3 && lzh::ProgramDecoders().Takes(lzh::MethodIdOf(m.method));
}

}  // namespace

bool NeedsRepacking(const std::string& archivePath) {
  lzh::FileSystem& host = lzh::HostFileSystem();
  OpenedArchive opened;
  std::string error;
  if (!OpenArchive(host, archivePath, opened, error)) return false;
  lzh::ArchiveReader reader{host, opened.handle, 0, {}};
  reader.anyMethod = true;
  lzh::HeaderCursor cursor(reader);
  bool needed = false;
  for (bool more = cursor.Seek(opened.start) && cursor.Read(); more && !needed;
       more = cursor.Advance() && cursor.Read()) {
    const lzh::MemberHeader& m = cursor.Member();
    needed = !m.IsDirectoryEntry() && !ProgramReads(m) &&
             lzh::ToolDecoders().Takes(lzh::MethodIdOf(m.method));
  }
  host.Close(reader.archiveHandle);
  return needed;
}

bool RepackArchive(const std::string& archivePath, const std::string& besidePath,
                   lzhwrite::ArchiveWriter& writer, std::vector<RepackedMember>& repacked,
                   std::string& error, const std::function<void(const std::string&)>& onTemporary) {
  std::vector<std::uint8_t> archive;
  lzh::FileSystem& host = lzh::HostFileSystem();
  // The names as the system's "A" calls take them, which the host file
  // system uses; the writer and the standard library take them in UTF-8.
  ClearSystemError();
  if (!ReadWholeFile(lzhnames::SystemNameToUtf8(archivePath), archive)) {
    error = "cannot read " + archivePath + SystemReason(LastSystemError());
    return false;
  }
  // A program's archive is repacked from its first header.
  OpenedArchive opened;
  if (!OpenArchive(host, archivePath, opened, error, archivePath)) return false;
  lzh::ArchiveReader reader{host, opened.handle, 0, {}};
  reader.anyMethod = true;
  // Each member's name as text: its UTF-16 records where it has them, else
  // its bytes in the code page they read in.
  MemberNames names({});
  names.Observe(reader);
  lzh::HeaderCursor cursor(reader);
  const std::string besideUtf8 = lzhnames::SystemNameToUtf8(besidePath);
  lzhwrite::WriteStatus status;
  {
    InterruptsHeld hold;  // an interruption finds the file noted once it is made
    status = writer.Open(besideUtf8);
    if (status.Ok() && onTemporary) onTemporary(writer.TemporaryPath());
  }
  // The files made here have temporary names beside besidePath, which is
  // what the user named.
  const std::string shown = Printable(besideUtf8);
  if (!status.Ok()) {
    error = "cannot create the repacked archive beside " + shown +
            SystemReason(static_cast<std::uint32_t>(status.systemError));
    host.Close(reader.archiveHandle);
    return false;
  }
  // Each member is decoded into a file of this run's own, made before the
  // host file system writes it.
  std::string decodedUtf8;
  int systemError = 0;
  std::FILE* made = nullptr;
  {
    InterruptsHeld hold;
    made = lzhwrite::CreateTemporaryBeside(besideUtf8, ".member", decodedUtf8, systemError);
    if (made != nullptr && onTemporary) onTemporary(decodedUtf8);
  }
  if (made == nullptr) {
    error = "cannot create a file for the decoded members beside " + shown + ": " +
            std::generic_category().message(systemError);
    host.Close(reader.archiveHandle);
    return false;
  }
  std::fclose(made);
  // Its name as the host file system takes it: the part added is ASCII.
  const std::string decoded = besidePath + decodedUtf8.substr(besideUtf8.size());
  bool ok = cursor.Seek(opened.start);
  while (ok && cursor.Read()) {
    const lzh::MemberHeader& m = cursor.Member();
    const lzh::FileOffset next = cursor.NextOffset();
    const std::string name = StoredPath(m, cursor.Name());
    if (m.truncated || next < 0 || static_cast<std::size_t>(next) > archive.size()) {
      error = Printable(name) + ": the archive ends inside this member";
      ok = false;
      break;
    }
    if ((m.IsDirectoryEntry() && m.level < 3) || ProgramReads(m)) {
      status = writer.AddCopied(archive.data() + cursor.HeaderOffset(),
                                static_cast<std::size_t>(next - cursor.HeaderOffset()));
    } else if (!lzh::ToolDecoders().Takes(lzh::MethodIdOf(m.method))) {
      error = Printable(name) + ": its method " + std::string(m.method, 5) +
              " is one lzhsfx does not decode, so it cannot be repacked";
      ok = false;
    } else if (!DecodeInto(reader, decoded, shown, error)) {
      error = Printable(name) + ": " + error;
      ok = false;
    } else {
      // A name that is not ASCII keeps or gains its UTF-16 records, which
      // the program shows and writes as they are on any system: at level 2.
      std::u16string utf16 = Utf16PathOf(names.Text(m, cursor.Name()));
      writer.SetHeaderLevel(!utf16.empty() || m.level > 2 ? 2 : m.level);
      status = writer.AddFile(
          lzhwrite::MemberSource{lzhnames::SystemNameToUtf8(decoded), name, utf16, UnixTimeOf(m),
                                 m.hasUnixMode ? m.unixMode : std::uint16_t{0}});
      RepackedMember done{Printable(name), {}};
      std::memcpy(done.method, m.method, 5);
      repacked.push_back(done);
    }
    if (ok && !status.Ok()) {
      error = "cannot write the repacked archive beside " + shown +
              SystemReason(static_cast<std::uint32_t>(status.systemError));
      ok = false;
    }
    if (!ok || !cursor.Advance()) break;
  }
  host.Close(reader.archiveHandle);
  std::error_code ec;
  std::filesystem::remove(lzhwrite::Utf8Path(decodedUtf8), ec);
  if (ok) status = writer.Complete();
  if (ok && !status.Ok()) {
    error = "cannot write the repacked archive beside " + shown +
            SystemReason(static_cast<std::uint32_t>(status.systemError));
    ok = false;
  }
  if (!ok) writer.Abandon();
  return ok;
}

}  // namespace lzhcli
