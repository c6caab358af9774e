// The commands' shared argument parsing: each command names the options it
// takes in a table; -h/--help, --version, -q/--quiet and -v/--verbose are
// every command's. Operands and options may come in any order; "--" ends the
// options, and "-" alone is an operand (standard input or output).
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "console/reporting.h"

namespace lzhcli {

struct KnownOption {
  const char* name;         // "--overwrite"
  const char* shortName;    // "-C", or nullptr
  bool takesValue = false;  // the next argument is its value
};

struct CommandLine {
  std::map<std::string, std::string> options;  // by long name; "" for flags
  std::vector<std::string> operands;
  Verbosity verbosity = Verbosity::Normal;

  bool Has(const char* name) const { return options.count(name) != 0; }
  std::string Value(const char* name) const;
};

// Parses args for a command with the given usage text. Returns -1 when the
// command is to run; otherwise the exit status, after printing the usage on
// stdout (--help), the version (--version), or a mistake as UsageError does.
int ParseCommandLine(const Arguments& args, std::initializer_list<KnownOption> known,
                     const char* usage, CommandLine& line);

// A mistake on the command line: the message, and where help is found
// ("Try 'lzhsfx list --help' ..."), on stderr; returns kExitUsage. The
// command is the one usage names.
int UsageError(const std::string& message, const char* usage);

// "Try 'COMMAND --help' for more information." on stderr; command is
// "lzhsfx" or, say, "lzhsfx list".
void PrintTryHelp(const std::string& command);

}  // namespace lzhcli
