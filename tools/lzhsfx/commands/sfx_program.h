// A self-extracting program from an archive: the stub, then the archive
// byte for byte, with the archive's offset in the stub's string resource 4
// and the PE checksum over the whole file. `build` and `create` make them.
// Names are taken as archive_writer/utf8_path.h describes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "commands/command_line.h"
#include "sfx/pe_resources.h"

namespace lzhcli {

// Sets in settings what the options of line give ("" removes a setting).
// False, with the reason, for a setting that is too long or not text.
bool TakeSettings(const CommandLine& line, lzh::sfx::ProgramSettings& settings, std::string& error);

// The stub beside the tool (an installed pair, or the Windows build
// directory), or in the cross build next to the native one; "" when none.
std::string FindStub(const std::string& programPath);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// The program counts sizes and positions in 32 bits, signed: it extracts
// no member of 2 GiB or more and reads nothing that far into its file.
inline constexpr std::uint64_t kProgramReach = 0x7FFFFFFF;  // bytes

// Where the archive lies in its file: a plain archive is taken whole, a
// program's from its first header to the archive's end.
struct ArchiveExtent {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
};

// Writes the program for the archive at archivePath to outPath, under a
// temporary name renamed at the end (archive_writer/temporary_file.h), so
// that a failure leaves no output; onTemporary learns that name as soon as
// the file is made, under the same InterruptsHeld, to note it for removal
// on interruption.
// Refuses a program that would reach past kProgramReach.
// Gives the archive's offset in the program, or false with a message for
// the user.
// The settings of the program at path (UTF-8); none for a plain archive
// or a file that cannot be read.
lzh::sfx::ProgramSettings SettingsOf(const std::string& path);

// The stub carries settings, where any are set.
bool WriteProgram(const std::string& stubPath, const std::string& archivePath, ArchiveExtent extent,
                  const std::string& outPath, const lzh::sfx::ProgramSettings& settings,
                  std::uint32_t& offset, std::string& error,
                  const std::function<void(const std::string&)>& onTemporary = {});

}  // namespace lzhcli
