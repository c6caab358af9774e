// lzhsfx list FILE [MEMBER...]: one line per member in archive order, under
// a header row and over a totals line.
#include <algorithm>
#include <cstdio>

#include "archive/header_cursor.h"
#include "commands/archive_operand.h"
#include "commands/command_line.h"
#include "commands/commands.h"
#include "commands/sfx_program.h"
#include "names/code_page_text.h"
#include "names/unicode_text.h"
#include "session/archive_session.h"
#include "session/member_names.h"
#include "session/member_time.h"
#include "session/wildcard.h"

namespace lzhcli {

namespace {

// What the maker set in a program, one line each, as --title and the like
// would give it again.
void PrintSettings(const lzh::sfx::ProgramSettings& settings) {
  struct Line {
    const char* label;
    const std::u16string& text;
  };
  for (const Line& line :
       {Line{"title", settings.title}, Line{"default folder", settings.defaultDir},
        Line{"runs after extraction", settings.run}}) {
    std::string text, shown;
    if (line.text.empty() || !lzhnames::Utf16ToUtf8(line.text, text)) continue;
    // Windows text: its "\" stay as they are (Printable shows them as "/").
    for (std::size_t at = 0, end; at <= text.size(); at = end + 1) {
      end = std::min(text.find('\\', at), text.size());
      if (at != 0) shown += '\\';
      shown += Printable(text.substr(at, end - at));
    }
    std::printf("  %s: %s\n", line.label, shown.c_str());
  }
}

const char kUsage[] =
    "usage: lzhsfx list FILE [-b] [-v] [--charset NAME] [MEMBER...]\n"
    "One line per member (those named, * and ? matching; or all), in archive\n"
    "order: original size, packed size, ratio of packed to original, method,\n"
    "CRC-16 (none: the header holds none), date and time, name with its stored\n"
    "directory (a directory entry ends in /, a symbolic link shows its target\n"
    "after ->). A header row comes first and a totals line last; a program's\n"
    "archive offset is named above them. FILE - reads standard input.\n"
    "  -b, --no-header  the member lines alone, for scripts\n"
    "  -v, --verbose    also the Unix permissions a member carries and the charset\n"
    "                   its name was read in (utf-16 from its records, ascii,\n"
    "                   utf-8, shift-jis, cp437, cp1252, or raw: the bytes kept)\n"
    "  --charset NAME   how stored names are read (see `lzhsfx extract --help`)\n"
    "  --version        print the version\n"
    "Exit status: 0 listed; 1 a MEMBER matched nothing, or the archive is damaged\n"
    "or ends inside a member;\n"
    "2 bad usage or no archive.\n";

const char kRowFormat[] = "%10s %10s %6s  %-6s %-4s  %-19s  %s%s\n";
const char kRule[] = "---------- ---------- ------  ------ ----  -------------------  ";
const char kModeRule[] = "----------  ---------  ";
const char kCharsetFormat[] = "%-9s  ";

std::string Ratio(std::uint64_t packed, std::uint64_t original) {
  if (original == 0) return "";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%",
                100.0 * static_cast<double>(packed) / static_cast<double>(original));
  return text;
}

// "-rw-r--r--  " for the mode bits a member carries, blank when it carries
// none.
std::string ModeText(const lzh::MemberHeader& m, bool link) {
  if (!m.hasUnixMode) return "            ";
  char text[] = "----------  ";
  text[0] = link ? 'l' : m.IsDirectoryEntry() ? 'd' : '-';
  const char* letters = "rwxrwxrwx";
  for (int bit = 0; bit < 9; ++bit) {
    if (m.unixMode & (0400 >> bit)) text[1 + bit] = letters[bit];
  }
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
  bool verbose = operand.line.verbosity == Verbosity::Verbose;

  SessionOptions options;
  options.charset = operand.charset;
  ArchiveSession session(options);
  std::string error;
  if (!session.Open(operand.path, operand.shown, error)) {
    PrintError(error);
    return kExitUsage;
  }
  const OpenedArchive& opened = session.Opened();
  if (!bare) {
    if (opened.isProgram) {
      std::printf("%s: a program with its archive at offset %lld\n", operand.shown.c_str(),
                  static_cast<long long>(opened.start));
      PrintSettings(SettingsOf(lzhnames::SystemNameToUtf8(operand.path)));
    }
    std::printf(kRowFormat, "Size", "Packed", "Ratio", "Method", "CRC", "Date and time",
                verbose ? "Mode        Charset    " : "", "Name");
    std::printf("%s%s----\n", kRule, verbose ? kModeRule : "");
  }
  // Members of every method are listed, also those nothing here decodes.
  MemberNames& names = session.Names();
  const lzh::FileSize fileSize = session.Files().Size(opened.handle);
  lzh::HeaderCursor cursor(session.Reader());
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
      // Unix tools store a symbolic link as a directory entry "name|target".
      bool link = directory && name.find('|') != std::string::npos;
      if (link) name = LinkShown(name);
      if (directory && !link && (name.empty() || name.back() != '/')) name += '/';
      auto packed = static_cast<std::uint64_t>(m.DataSize());
      auto original = static_cast<std::uint64_t>(m.originalSize);
      char crc[8];
      std::snprintf(crc, sizeof crc, "%04x", m.memberCrc);
      std::string facts;  // -v's columns
      if (verbose) {
        char charset[32];
        std::snprintf(charset, sizeof charset, kCharsetFormat,
                      names.Reading(m, cursor.Name()).c_str());
        facts = ModeText(m, link) + charset;
      }
      std::printf(kRowFormat,
                  link        ? "<link>"
                  : directory ? "<dir>"
                              : std::to_string(original).c_str(),
                  std::to_string(packed).c_str(), directory ? "" : Ratio(packed, original).c_str(),
                  std::string(m.method, sizeof m.method).c_str(),
                  directory   ? ""
                  : !m.hasCrc ? "none"
                              : crc,
                  FormatMemberTime(m).c_str(), facts.c_str(), name.c_str());
      totalOriginal += original;
      totalPacked += packed;
      ++members;
    }
    // Said as test and extract say it, with the listing's status 1.
    const lzh::FileOffset next = cursor.NextOffset();
    if (m.truncated || (next >= 0 && static_cast<lzh::FileSize>(next) > fileSize)) {
      PrintError((name.empty() ? "(no name)" : name) +
                 (m.truncated ? ": damaged: archive ends inside this member's header"
                              : ": damaged: archive ends inside this member"));
      cut = true;
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
  if (!bare) {
    std::printf("%s%s----\n", kRule, verbose ? kModeRule : "");
    std::string count = std::to_string(members) + (members == 1 ? " member" : " members");
    std::printf(kRowFormat, std::to_string(totalOriginal).c_str(),
                std::to_string(totalPacked).c_str(), Ratio(totalPacked, totalOriginal).c_str(), "",
                "", "", verbose ? "                       " : "", count.c_str());
  }
  if (PrintHeaderGaps(session.Reader(), operand.shown)) cut = true;
  std::vector<std::string> unmatched;
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    if (!matched[i]) unmatched.push_back(patterns[i]);
  }
  return PrintUnmatched(unmatched) || cut ? kExitMemberFailed : kExitOk;
}

}  // namespace lzhcli
