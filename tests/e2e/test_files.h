// Files for the Wine tests: programs built from the stub and crafted
// archives, a directory per test, and checks of what was extracted.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sfx/pe_resources.h"
#include "support/archive_builder.h"

namespace wine_e2e {

using lzhtest::Bytes;
using lzhtest::MemberPlan;

// The stub under test and the directory every test works in.
extern std::string stubPath;
extern std::string workDir;

constexpr std::uint32_t kStamp = 0x31085E61;  // 2004-08-08 11:51:02, local time

Bytes ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const Bytes& bytes);
bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);

// A fresh directory for one test.
std::string MakeTestDirectory(const std::string& name);

// The stub followed by archive, with string 4 pointing at the archive, and
// the maker's settings where any are given.
bool BuildProgram(const std::string& path, const Bytes& archive,
                  const lzh::sfx::ProgramSettings& settings = {});

MemberPlan Stored(const std::string& name, const std::string& content, int level = 0);
// A level-2 member whose directory comes from a directory record.
MemberPlan StoredInDirectory(const std::string& dir, const std::string& name,
                             const std::string& content);
// The archive most tests use: names with and without stored directories,
// in an order that differs from the list's sorted order.
std::vector<MemberPlan> MixedMembers();

// dir\out with the given files already in it, each holding "old".
std::string OutputWithExistingFiles(const std::string& dir, const std::vector<std::string>& names);

// Members carry either the MS-DOS stamp kStamp (local time) or, at level 2,
// the same moment as Unix time in UTC.
enum class Stamp { DosLocal, UnixUtc };

// The file exists with this content and the members' time stamp.
void ExpectFile(const std::string& path, const std::string& content, Stamp stamp = Stamp::DosLocal);

}  // namespace wine_e2e
