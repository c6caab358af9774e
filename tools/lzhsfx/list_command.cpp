// lzhsfx list FILE [MEMBER...]: one line per member in archive order, under
// a header row and over a totals line.
#include <cstdio>

#include "archive/header_cursor.h"
#include "archive_file.h"
#include "archive_operand.h"
#include "command_line.h"
#include "commands.h"
#include "member_names.h"
#include "member_time.h"
#include "read_ahead_file_system.h"
#include "tool_platform.h"
#include "wildcard.h"

namespace lzhcli {

namespace {

const char kUsage[] =
    "usage: lzhsfx list FILE [-b] [--charset NAME] [MEMBER...]\n"
    "One line per member (those named, * and ? matching; or all), in archive\n"
    "order: original size, packed size, ratio of packed to original, method,\n"
    "CRC-16, date and time, name with its stored directory (a directory entry\n"
    "ends in /). A header row comes first and a totals line last; a program's\n"
    "archive offset is named above them. FILE - reads standard input.\n"
    "  -b, --no-header  the member lines alone, for scripts\n"
    "  --charset NAME   how stored names are read (see `lzhsfx extract --help`)\n"
    "  --version        print the version\n"
    "Exit status: 0 listed; 1 a MEMBER matched nothing; 2 bad usage or no archive.\n";

const char kRowFormat[] = "%10s %10s %6s  %-6s %-4s  %-19s  %s\n";
const char kRule[] = "---------- ---------- ------  ------ ----  -------------------  ----\n";

std::string Ratio(std::uint64_t packed, std::uint64_t original) {
  if (original == 0) return "";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%",
                100.0 * static_cast<double>(packed) / static_cast<double>(original));
  return text;
}

}  // namespace

int ListCommand(const Arguments& args) {
  ArchiveOperand operand;
  int status = TakeArchiveOperand(args, {{"--no-header", "-b"}, {"--charset", nullptr, true}},
                                  kUsage, {}, operand);
  if (status >= 0) return status;
  const std::vector<std::string>& patterns = operand.patterns;
  std::vector<bool> matched(patterns.size());
  bool bare = operand.line.Has("--no-header");

  ReadAheadFileSystem fs(ToolFileSystem());
  OpenedArchive opened;
  std::string error;
  if (!OpenArchive(fs, operand.path, opened, error, operand.shown)) {
    PrintError(error);
    return kExitUsage;
  }
  if (!bare) {
    if (opened.isProgram)
      std::printf("%s: a program with its archive at offset %lld\n", operand.shown.c_str(),
                  static_cast<long long>(opened.start));
    std::printf(kRowFormat, "Size", "Packed", "Ratio", "Method", "CRC", "Date and time", "Name");
    std::fputs(kRule, stdout);
  }
  lzh::ArchiveReader archive{fs, opened.handle, 0, {}};
  // Members of every method are listed, also those nothing here decodes.
  archive.anyMethod = true;
  MemberNames names(operand.charset);
  names.Observe(archive);
  lzh::HeaderCursor cursor(archive);
  cursor.Seek(opened.start);
  std::uint64_t totalOriginal = 0, totalPacked = 0;
  int members = 0;
  bool cut = false;
  while (cursor.Read()) {
    const lzh::MemberHeader& m = cursor.Member();
    std::string memberName = names.Text(m, cursor.Name());
    std::string name = Printable(memberName);
    bool wanted = patterns.empty();
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      if (WildcardMatch(patterns[i], memberName)) wanted = matched[i] = true;
    }
    if (wanted) {
      bool directory = m.IsDirectoryEntry();
      if (directory && (name.empty() || name.back() != '/')) name += '/';
      auto packed = static_cast<std::uint64_t>(m.DataSize());
      auto original = static_cast<std::uint64_t>(m.originalSize);
      char crc[8];
      std::snprintf(crc, sizeof crc, "%04x", m.memberCrc);
      std::printf(kRowFormat, directory ? "<dir>" : std::to_string(original).c_str(),
                  std::to_string(packed).c_str(), directory ? "" : Ratio(packed, original).c_str(),
                  std::string(m.method, sizeof m.method).c_str(), directory ? "" : crc,
                  FormatMemberTime(m).c_str(), name.c_str());
      totalOriginal += original;
      totalPacked += packed;
      ++members;
    }
    if (m.hasLargeSizes) {
      PrintError("the members after " + name +
                 " cannot be listed: its header gives a size of 2^63 bytes or more, so the "
                 "archive is damaged there");
      cut = true;
      break;
    }
    if (!cursor.Advance()) break;
  }
  fs.Close(opened.handle);
  if (!bare) {
    std::fputs(kRule, stdout);
    std::string count = std::to_string(members) + (members == 1 ? " member" : " members");
    std::printf(kRowFormat, std::to_string(totalOriginal).c_str(),
                std::to_string(totalPacked).c_str(), Ratio(totalPacked, totalOriginal).c_str(), "",
                "", "", count.c_str());
  }
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    if (!matched[i]) {
      PrintError("no member matches " + Printable(patterns[i]));
      return kExitMemberFailed;
    }
  }
  return cut ? kExitMemberFailed : kExitOk;
}

}  // namespace lzhcli
