#include "commands/archive_operand.h"

#include <filesystem>

namespace lzhcli {

namespace {

// How FILE is read: opened as a file (also one that is not there, for
// the open to tell), copied as a stream, or refused with the reason.
enum class InputKind : std::uint8_t { File, Stream, Refused };

InputKind KindOf(const std::string& file, std::string& reason) {
  if (file == "-") return InputKind::Stream;
  namespace fs = std::filesystem;
  std::error_code ec;
  // The tool's paths are UTF-8.
  const fs::file_type type =
      fs::status(fs::path(std::u8string(file.begin(), file.end())), ec).type();
  switch (type) {
    case fs::file_type::fifo:
      return InputKind::Stream;
    case fs::file_type::directory:
      reason = "is a directory, not an archive";
      return InputKind::Refused;
    case fs::file_type::block:
    case fs::file_type::character:
      reason = "is a device, not an archive file";
      return InputKind::Refused;
    case fs::file_type::socket:
      reason = "is a socket, not an archive file";
      return InputKind::Refused;
    default:
      return InputKind::File;
  }
}

}  // namespace

int TakeArchiveOperand(const Arguments& args, std::initializer_list<KnownOption> known,
                       const char* usage, const OperandRules& rules, ArchiveOperand& operand) {
  CommandLine& line = operand.line;
  int status = ParseCommandLine(args, known, usage, line);
  if (status >= 0) return status;
  std::string error;
  if (line.Has("--charset") &&
      !lzhnames::ParseCharset(line.Value("--charset"), operand.charset, error))
    return UsageError(error, usage);
  if (!rules.membersFollow && line.operands.size() != 1)
    return UsageError("name one ARCHIVE", usage);
  if (line.operands.empty()) return UsageError("no archive named", usage);
  if (rules.check != nullptr && !(error = rules.check(line)).empty())
    return UsageError(error, usage);
  operand.file = operand.path = line.operands[0];
  operand.shown = operand.file == "-" ? "standard input" : Printable(operand.file);
  operand.patterns.assign(line.operands.begin() + 1, line.operands.end());
  std::string reason;
  switch (KindOf(operand.file, reason)) {
    case InputKind::Refused:
      PrintError(operand.shown + " " + reason);
      return kExitUsage;
    case InputKind::Stream:
      if (!operand.spooled.Spool(operand.file, operand.shown, error)) {
        PrintError(error);
        return kExitUsage;
      }
      operand.path = operand.spooled.Path();
      break;
    case InputKind::File:
      break;
  }
  return -1;
}

}  // namespace lzhcli
