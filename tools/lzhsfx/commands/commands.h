// The commands of the command-line tool. Each returns the exit status:
// 0 nothing failed, 1 a member failed, 2 bad usage or no archive.
#pragma once

#include <string>
#include <vector>

#include "console/printing.h"

namespace lzhcli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitMemberFailed = 1;
inline constexpr int kExitUsage = 2;

using Arguments = std::vector<std::string>;

int ListCommand(const Arguments& args);
int TestCommand(const Arguments& args);
int ExtractCommand(const Arguments& args);
int BuildCommand(const Arguments& args, const std::string& programPath);
int CreateCommand(const Arguments& args, const std::string& programPath);

}  // namespace lzhcli
