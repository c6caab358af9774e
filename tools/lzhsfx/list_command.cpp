// lzhsfx list FILE: one line per member in archive order.
#include <cstdio>
#include <ctime>

#include "archive/header_cursor.h"
#include "archive_file.h"
#include "commands.h"
#include "read_ahead_file_system.h"

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx list FILE\n"
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

int ListCommand(const Arguments& args) {
  if (args.size() != 1 || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, args.size() == 1 && args[0] != "--help" ? stderr : stdout);
    return args.size() == 1 && (args[0] == "--help" || args[0] == "-h") ? kExitOk : kExitUsage;
  }
  ReadAheadFileSystem fs(lzh::HostFileSystem());
  OpenedArchive opened;
  std::string error;
  if (!OpenArchive(fs, args[0], opened, error)) {
    PrintError(error);
    return kExitUsage;
  }
  lzh::ArchiveReader archive{fs, opened.handle, 0, 0, {}};
  lzh::HeaderCursor cursor(archive);
  cursor.Seek(opened.start);
  while (cursor.Read()) {
    const lzh::MemberHeader& m = cursor.Member();
    char memberName[lzh::kPathBytes];
    lzh::ComposeMemberName(m, cursor.Name(), memberName);
    std::printf("%.5s %10d %10d %04x  %s  %u  %s\n", m.method, m.packedSize, m.originalSize,
                m.memberCrc, FormatTime(m).c_str(), m.level, Printable(memberName).c_str());
    if (!cursor.Advance()) break;
  }
  fs.Close(opened.handle);
  return kExitOk;
}

}  // namespace lzhcli
