#include "archive_operand.h"

namespace lzhcli {

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
  if (operand.file == "-") {
    if (!operand.fromStdin.Spool(error)) {
      PrintError(error);
      return kExitUsage;
    }
    operand.path = operand.fromStdin.Path();
  }
  return -1;
}

}  // namespace lzhcli
