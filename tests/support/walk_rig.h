// A self-extracting program in an in-memory file system, with the walk's
// session and an in-memory main dialog, as the Windows program sets them
// up: the archive at C:/sfx.exe after `prefix` bytes of program, the drive
// C: present, extraction into C:\\out by default.
#pragma once

#include <string>
#include <vector>

#include "codec/crc16.h"
#include "extract/walk.h"
#include "support/archive_builder.h"
#include "support/memory_dialog.h"
#include "support/memory_file_system.h"

namespace lzhtest {

struct WalkRig {
  explicit WalkRig(const Bytes& archive, std::int32_t prefix = 0) {
    Bytes program(static_cast<std::size_t>(prefix), 'M');
    program.insert(program.end(), archive.begin(), archive.end());
    fs.AddFile("C:/sfx.exe", program);
    fs.AddDirectory("C:");
    session.archive.archiveHandle = fs.OpenRead("C:/sfx.exe");
    session.archiveStart = prefix;
  }
  void List() { lzh::WalkArchive(session, dialog, lzh::WalkMode::List); }
  void Extract(const char* path = "C:\\out") {
    lzh::CopyText(session.extractPath, sizeof session.extractPath, path);
    lzh::WalkArchive(session, dialog, lzh::WalkMode::Extract);
  }
  // List, select every entry, extract.
  void ListAndExtractAll() {
    List();
    dialog.SelectAll(true);
    Extract();
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : dialog.entries) names.push_back(e.name);
    return names;
  }
  std::vector<std::string> Selected() const {
    std::vector<std::string> names;
    for (const auto& e : dialog.entries) {
      if (e.selected) names.push_back(e.name);
    }
    return names;
  }
  std::string Content(const std::string& path) const {
    const auto* f = fs.Find(path);
    return f == nullptr ? "<missing>" : std::string(f->bytes.begin(), f->bytes.end());
  }

  lzh::CrcTableScope table;
  MemoryFileSystem fs;
  lzh::WalkSession session{fs};
  MemoryDialog dialog;
};

}  // namespace lzhtest
