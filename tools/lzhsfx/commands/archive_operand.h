// What list, test, extract and build take first: their options, the
// archive they read (FILE, or "-" for standard input), and for the first
// three the member patterns after it and --charset NAME. A pipe named as
// FILE is read as a stream, like "-"; a directory, device or socket is
// refused.
#pragma once

#include <string>
#include <vector>

#include "commands/command_line.h"
#include "names/name_charset.h"
#include "session/spooled_archive.h"

namespace lzhcli {

struct ArchiveOperand {
  CommandLine line;
  std::string file;   // as named
  std::string shown;  // for messages: file made printable, or "standard input"
  std::string path;   // what to open: file, or the copy of a stream
  std::vector<std::string> patterns;
  lzhnames::NameCharset charset;  // auto when --charset is not given
  SpooledArchive spooled;
};

struct OperandRules {
  bool membersFollow = true;  // MEMBER patterns may follow FILE; else FILE alone
  // A further rule of the command's options: the message of a mistake, or "".
  std::string (*check)(const CommandLine& line) = nullptr;
};

// Parses args and takes the archive operand, copying a stream once the
// command line is found right. Returns -1 when the command is to run;
// otherwise the exit status, after printing what ParseCommandLine prints,
// or the mistake and the usage, or why the archive cannot be read.
int TakeArchiveOperand(const Arguments& args, std::initializer_list<KnownOption> known,
                       const char* usage, const OperandRules& rules, ArchiveOperand& operand);

}  // namespace lzhcli
