// lzhsfx list FILE: one line per member in archive order.
#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "archive/header_cursor.h"
#include "archive_file.h"
#include "charset_option.h"
#include "commands.h"
#include "member_names.h"
#include "tool_platform.h"

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx list [--charset NAME] FILE\n"
    "One line per member, in archive order: method, packed size, original size,\n"
    "CRC-16, date and time, header level, name with its stored directory.\n"
    "FILE is an LHA archive or a program made by `lzhsfx build`.\n";

std::string FormatTime(const lzh::MemberHeader& member) {
  char text[32];
  if (member.hasUnixTime) {
    std::time_t seconds = static_cast<std::time_t>(member.unixTime);
    std::tm* local = std::localtime(&seconds);
    if (local == nullptr) return "(no valid time)";
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
  } else {
    std::uint32_t t = member.timeStamp;
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (t >> 25),
                  (t >> 21) & 0x0F, (t >> 16) & 0x1F, (t >> 11) & 0x1F, (t >> 5) & 0x3F,
                  (t & 0x1F) * 2);
  }
  return text;
}

}  // namespace

int ListCommand(const Arguments& given) {
  Arguments args = given;
  lzhnames::NameCharset charset;
  std::string error;
  if (!TakeCharsetOption(args, charset, error)) {
    PrintError(error);
    return kExitUsage;
  }
  if (args.size() != 1 || args[0] == "--help" || args[0] == "-h") {
    bool help = args.size() == 1 && (args[0] == "--help" || args[0] == "-h");
    std::fputs(kUsage, help ? stdout : stderr);
    std::fputs(kCharsetHelp, help ? stdout : stderr);
    return help ? kExitOk : kExitUsage;
  }
  lzh::FileSystem& fs = ToolFileSystem();
  OpenedArchive opened;
  if (!OpenArchive(fs, args[0], opened, error)) {
    PrintError(error);
    return kExitUsage;
  }
  lzh::ArchiveReader archive{fs, opened.handle, 0, 0, {}};
  // Members of every method are listed, also those nothing here decodes.
  archive.anyMethod = true;
  MemberNames names(charset);
  names.Observe(archive);
  lzh::HeaderCursor cursor(archive);
  cursor.Seek(opened.start);
  int status = kExitOk;
  while (cursor.Read()) {
    const lzh::MemberHeader& m = cursor.Member();
    std::string name = names.Text(m, cursor.Name());
    // A member over 4 GiB has its sizes in a record.
    std::int64_t packed = m.hasLargeSizes ? m.largePackedSize : m.packedSize;
    std::int64_t original = m.hasLargeSizes ? m.largeOriginalSize : m.originalSize;
    std::printf("%.5s %10" PRId64 " %10" PRId64 " %04x  %s  %u  %s\n", m.method, packed, original,
                m.memberCrc, FormatTime(m).c_str(), m.level, Printable(name).c_str());
    if (m.hasLargeSizes) {
      PrintError("the members after " + Printable(name) +
                 " cannot be listed: they lie beyond 4 GiB, which this program cannot read yet");
      status = kExitMemberFailed;
      break;
    }
    if (!cursor.Advance()) break;
  }
  fs.Close(opened.handle);
  return status;
}

}  // namespace lzhcli
