#include "commands/command_line.h"

#include <cstdio>
#include <vector>

#include "commands/version.h"

namespace lzhcli {

namespace {

const KnownOption kCommonOptions[] = {
    {"--help", "-h", false},
    {"--version", nullptr, false},
    {"--quiet", "-q", false},
    {"--verbose", "-v", false},
};

const KnownOption* FindKnown(const std::vector<KnownOption>& known, const std::string& arg) {
  for (const auto& option : known) {
    if (arg == option.name || (option.shortName != nullptr && arg == option.shortName))
      return &option;
  }
  return nullptr;
}

}  // namespace

std::string CommandLine::Value(const char* name) const {
  auto found = options.find(name);
  return found == options.end() ? "" : found->second;
}

int UsageError(const std::string& message, const char* usage) {
  PrintError(message);
  // The usage text's first line names its command: "usage: lzhsfx list FILE ...".
  const std::string text = usage;
  const std::size_t start = text.find("lzhsfx");
  const std::size_t end = start == std::string::npos ? start : text.find(' ', start + 7);
  PrintTryHelp(start == std::string::npos ? "lzhsfx" : text.substr(start, end - start));
  return kExitUsage;
}

void PrintTryHelp(const std::string& command) {
  std::string text = "Try '";
  text += command;
  text += " --help' for more information.\n";
  std::fputs(text.c_str(), stderr);
}

int ParseCommandLine(const Arguments& args, std::initializer_list<KnownOption> known,
                     const char* usage, CommandLine& line) {
  std::vector<KnownOption> all(known);
  all.insert(all.end(), std::begin(kCommonOptions), std::end(kCommonOptions));
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      line.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const KnownOption* option = FindKnown(all, arg);
    if (option == nullptr) return UsageError("unknown option " + Printable(arg), usage);
    std::string value;
    if (option->takesValue) {
      if (++i == args.size()) return UsageError(arg + " needs a value", usage);
      value = args[i];
    }
    line.options[option->name] = value;
  }
  if (line.Has("--help")) {
    std::fputs(usage, stdout);
    return kExitOk;
  }
  if (line.Has("--version")) {
    PrintVersion();
    return kExitOk;
  }
  if (line.Has("--quiet") && line.Has("--verbose"))
    return UsageError("choose one of -q and -v", usage);
  line.verbosity = line.Has("--quiet")     ? Verbosity::Quiet
                   : line.Has("--verbose") ? Verbosity::Verbose
                                           : Verbosity::Normal;
  return -1;
}

}  // namespace lzhcli
