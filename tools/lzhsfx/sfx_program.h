// A self-extracting program from an archive: the stub, then the archive
// byte for byte, with the archive's offset in the stub's string resource 4
// and the PE checksum over the whole file. `build` and `create` make them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lzhcli {

// The stub beside the tool (an installed pair, or the Windows build
// directory), or in the cross build next to the native one; "" when none.
std::string FindStub(const std::string& programPath);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// Writes the program for archive to outPath, under a temporary name renamed
// at the end, so that a failure leaves no output. Gives its size, or false
// with a message for the user.
bool WriteProgram(const std::string& stubPath, const std::vector<std::uint8_t>& archive,
                  const std::string& outPath, std::size_t& programSize, std::string& error);

}  // namespace lzhcli
