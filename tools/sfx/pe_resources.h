// The stub's string resource 4, which holds the attached archive's offset
// as ten decimal digits, found through the PE resource directory.
//
// Format notes. A PE file starts with the MS-DOS header ("MZ"; the offset of
// the "PE\0\0" signature at 0x3C). The optional header (PE32 or PE32+)
// ends in the data directories; entry 2 is the resource directory, given
// as a virtual address that a section header maps to the file. Resource
// directories are three levels deep (type, name, language); entry offsets
// are counted from the start of the resource directory, and their high bit
// marks a subdirectory. String tables (type 6) come in blocks of sixteen:
// block n holds ids 16(n-1) to 16(n-1)+15, each a 16-bit length and that
// many UTF-16 code units, so block 1 holds string 4.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lzh::sfx {

inline constexpr std::uint16_t kArchiveOffsetString = 4;
inline constexpr int kArchiveOffsetDigits = 10;

// What the maker of a program may set, as strings 5 to 7 beside string 4:
// the dialog's caption, the folder shown at start and used by /S (with
// %NAME% variables), and the command run after a full extraction. A
// program without them has no such strings.
inline constexpr std::uint16_t kTitleString = 5;
inline constexpr std::uint16_t kDefaultDirString = 6;
inline constexpr std::uint16_t kRunString = 7;
inline constexpr std::size_t kSettingUnits = 255;  // the most a setting may hold, in UTF-16 units
inline constexpr std::size_t kTitleUnits = 127;

struct ProgramSettings {
  std::u16string title, defaultDir, run;  // empty: not set

  bool Any() const { return !title.empty() || !defaultDir.empty() || !run.empty(); }
};

// Where a string of the string table lies in the file.
struct StringLocation {
  std::uint32_t fileOffset = 0;  // of its first UTF-16 code unit
  std::uint16_t length = 0;      // in code units
};

// The file offset and size of the resource of a numeric type with a
// string name (compared without regard to case), in its first language.
bool FindResource(const std::vector<std::uint8_t>& exe, std::uint16_t type, const std::string& name,
                  std::uint32_t& offset, std::uint32_t& size, std::string& error);

// The same for a resource with a numeric name.
bool FindResource(const std::vector<std::uint8_t>& exe, std::uint16_t type, std::uint16_t id,
                  std::uint32_t& offset, std::uint32_t& size, std::string& error);

// Finds string id in the first language of its block. False, with the
// reason in error, when exe is not a PE file or has no such string.
bool FindString(const std::vector<std::uint8_t>& exe, std::uint16_t id, StringLocation& where,
                std::string& error);

// The text of string id, as UTF-16 code units narrowed to bytes (the stub's
// strings are ASCII).
bool ReadString(const std::vector<std::uint8_t>& exe, std::uint16_t id, std::string& text,
                std::string& error);

// The settings that exe carries (empty ones when it has none).
ProgramSettings ReadSettings(const std::vector<std::uint8_t>& exe);

// Gives exe the settings: a copy of string block 1 with strings 5 to 7 set
// is written into a section appended to the image, and the block's data
// entry points at it, so that nothing else in the file moves. exe must be
// the bare stub (no archive attached); with no settings it stays as it is.
bool WriteSettings(std::vector<std::uint8_t>& exe, const ProgramSettings& settings,
                   std::string& error);

// The offset that string 4 names: true when it is a whole decimal number
// that fits 32 bits. exe may be just the start of a file, as long as it
// holds the resources.
bool ReadArchiveOffset(const std::vector<std::uint8_t>& exe, std::uint32_t& offset);

// Where the program's image ends in the file: the end of its last
// section's raw data. What follows is the overlay, where an archive may be
// attached. exe needs to hold only the headers.
bool ImageEnd(const std::vector<std::uint8_t>& exe, std::uint32_t& end);

// Writes offset into string 4 in place, as ten zero-padded digits. String 4
// must be ten digits already (the stub's placeholder, or an earlier patch),
// so that nothing else in the file moves. Offsets the stub cannot use (above
// 2^31 - 1) are refused.
bool PatchArchiveOffset(std::vector<std::uint8_t>& exe, std::uint32_t offset, std::string& error);

}  // namespace lzh::sfx
