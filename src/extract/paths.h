// Text and path operations that turn a member's stored name into an output
// path. Texts are NUL-terminated byte strings in the ANSI code page; "\" is
// the separator, "/" in stored names becomes "\", "C:" names a drive.
// Operations that work in place take the buffer's capacity and refuse
// (return false, buffer unchanged) where the result would not fit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_system.h"

namespace lzh {

inline constexpr std::size_t kPathBytes = 1024;  // every path buffer of the walk
inline constexpr std::size_t kFileNameMax = 255;

// Copies src into dst (capacity bytes); false, with dst empty, when it does
// not fit.
bool CopyText(char* dst, std::size_t capacity, const char* src);
// Appends src to dst; false, dst unchanged, when it does not fit.
bool AppendText(char* dst, std::size_t capacity, const char* src);

// Double-byte code pages: when set, a byte for which the test is true starts
// a two-byte character whose second byte is never a separator.
using LeadByteTest = bool (*)(std::uint8_t);
void SetLeadByteTest(LeadByteTest test);
// Bytes in the character at text: 2 for a lead byte followed by a trail
// byte, 1 otherwise.
int CharLength(const char* text);

// The directory of a type-2 extension record: the type byte and a final
// 0xFF dropped, every other 0xFF turned into "\". Records of other types
// give an empty text.
void DirectoryFromExtension(const char* record, char* directory, std::size_t capacity);

// True when the text's last character is "\" (not the trail byte of a
// double-byte character).
bool EndsInBackslash(const char* text);

// Appends "\" unless the text is empty or ends in "\".
bool AddTrailingBackslash(char* buffer, std::size_t capacity);

// The characters after the last "\", "/" or ":", at most 255 of them.
void FileNamePart(const char* path, char (&name)[kFileNameMax + 1]);

// The path without its last component; a drive root keeps its "\".
void DirectoryPart(const char* path, char* directory, std::size_t capacity);

void SlashesToBackslashes(char* buffer);

// True when a file or directory of that path exists. A path ending in "\"
// names a directory, which exists when it holds at least one entry. "\" and
// "/" both separate; the path is not changed.
bool PathExists(FileSystem& fs, const char* path);

// Length of the root at the start of path, which no call can make:
// "\\server\share\" (also "\\?\C:\"), "C:\", "C:", "\", or 0 for a relative
// path.
std::size_t RootLength(const char* path);

// True when the directory dir (without a trailing "\") exists: a root that
// can be reached (empty or not), or a path that PathExists finds.
bool DirectoryExists(FileSystem& fs, const char* dir);

// Makes dir, relative or absolute, with every missing level above it: finds
// the deepest level that exists, then makes each one below it in turn, top
// first, with one call per level, failures ignored. Failures show up
// through a later DirectoryExists.
void MakeDirectories(FileSystem& fs, const char* dir);

// True when a component of path that starts at or after its byte `start`
// is a link (FileSystem::IsLink): every directory on the way, and the last
// component too when withLast. Nothing below the extraction directory may
// be made or written through one; the directory itself may be a link.
bool LinkInPath(FileSystem& fs, const char* path, std::size_t start, bool withLast);

// The n-th temporary name beside the file path names: the same directory,
// and "~lzhNNNN.tmp" (NNNN: n in hex), an 8.3 name every file system
// takes. False when it does not fit.
bool TemporaryPath(const char* path, unsigned n, char* out, std::size_t capacity);

// True when text holds a single-byte character of set (never the trail byte
// of a double-byte character).
bool HasCharacterOf(const char* text, const char* set);

}  // namespace lzh
