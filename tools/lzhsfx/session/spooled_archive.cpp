#include "session/spooled_archive.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "commands/commands.h"
#include "console/outcome_text.h"
#include "names/code_page_text.h"
#include "system/tool_platform.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace lzhcli {

namespace {

// Makes a new file of its own under directory, open for writing, and
// names it in path; or nullptr with the system's reason.
std::FILE* CreateSpool(const std::filesystem::path& directory, std::string& path,
                       std::string& reason) {
#ifdef _WIN32
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = (directory /
            ("lzhsfx-stdin-" + std::to_string(_getpid()) + "-" + std::to_string(attempt) + ".lzh"))
               .string();
    // Shared for deletion, so that an interruption can remove the file
    // while it is open.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
    if (h == INVALID_HANDLE_VALUE) break;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (std::FILE* file = fd >= 0 ? _fdopen(fd, "wb") : nullptr) return file;
    if (fd >= 0) {
      _close(fd);
    } else {
      CloseHandle(h);
    }
    DeleteFileA(path.c_str());
    break;
  }
  reason = SystemErrorText(GetLastError());
#else
  std::string pattern = (directory / "lzhsfx-stdin-XXXXXX").string();
  int fd = mkstemp(pattern.data());
  if (fd >= 0) {
    path = pattern;
    if (std::FILE* file = fdopen(fd, "wb")) return file;
    close(fd);
    unlink(path.c_str());
  }
  reason = std::strerror(errno);
#endif
  path.clear();
  return nullptr;
}

// errno after a failed call, which the C library need not have set.
int LastErrno() { return errno != 0 ? errno : EIO; }

}  // namespace

SpooledArchive::~SpooledArchive() { Remove(); }

void SpooledArchive::Remove() {
  if (path_.empty()) return;
  InterruptsHeld hold;  // never the handler's removal after a new file took the name
  std::remove(path_.c_str());
  removal_.Drop();
  path_.clear();
}

bool SpooledArchive::Spool(const std::string& source, const std::string& shown,
                           std::string& error) {
  std::error_code ec;
  std::filesystem::path directory = std::filesystem::temp_directory_path(ec);
  if (ec) directory = ".";
  const bool fromStdin = source == "-";
  std::FILE* in = fromStdin ? stdin : std::fopen(source.c_str(), "rb");
  if (in == nullptr) {
    error = "cannot open " + shown + ": " + std::strerror(errno);
    return false;
  }
#ifdef _WIN32
  if (fromStdin) _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::FILE* out = nullptr;
  std::string reason;
  {
    InterruptsHeld hold;  // the file is made and noted for removal at once
    out = CreateSpool(directory, path_, reason);
    // The registry takes UTF-8; the path is in the system's names.
    if (out != nullptr &&
        !removal_.Note(lzhnames::SystemNameToUtf8(path_), "the copy of the archive")) {
      std::fclose(out);
      out = nullptr;
      std::remove(path_.c_str());
      path_.clear();
      reason = "its path is too long to be removed after an interruption";
    }
  }
  if (out == nullptr) {
    error = "cannot make a temporary file in " + Printable(directory.string()) +
            " to hold the archive from " + shown + ": " + reason;
    if (!fromStdin) std::fclose(in);
    return false;
  }
  char buffer[1 << 16];
  std::size_t n;
  int readError = 0, writeError = 0;
  errno = 0;
  while (writeError == 0 && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    if (std::fwrite(buffer, 1, n, out) != n) writeError = LastErrno();
  }
  if (std::ferror(in)) readError = LastErrno();
  if (!fromStdin) std::fclose(in);
  if (std::fclose(out) != 0 && writeError == 0) writeError = LastErrno();
  if (readError != 0 || writeError != 0) {
    error = readError != 0
                ? "cannot read the archive from " + shown + ": " + std::strerror(readError)
                : "cannot copy the archive from " + shown + " to a temporary file in " +
                      Printable(directory.string()) + ": " + std::strerror(writeError);
    Remove();
    return false;
  }
  return true;
}

}  // namespace lzhcli
