// An archive extracted into C:\out of an in-memory file system through the
// command-line tool's archive session, with the second thread's stages as
// chosen, on a file system that stores budget bytes of writes in all (-1:
// every byte): what became of each member, and the files.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "codec/crc16.h"
#include "session/archive_session.h"
#include "support/archive_builder.h"
#include "support/memory_file_system.h"

namespace lzhtest {

struct SessionRun {
  struct Outcome {
    std::string name;
    lzh::OutcomeKind kind;
    lzh::Damage damage;
    std::uint32_t systemError;
    bool operator==(const Outcome&) const = default;
  };
  std::vector<Outcome> outcomes;
  std::map<std::string, std::string> files;
  int taken = 0;  // members whose writes were made from the decoding ahead
  int openHandles = 0;
};

inline SessionRun ExtractThroughSession(const Bytes& archive, std::int64_t budget, bool writeBehind,
                                        bool decodeAhead) {
  lzh::CrcTableScope table;
  MemoryFileSystem fs;
  fs.AddFile("C:/sfx.exe", archive);
  fs.AddDirectory("C:");
  fs.writeBudget = budget;
  MemoryFileSystem own;  // the thread's: the memory file system takes one thread's calls
  own.AddFile("C:/sfx.exe", archive);
  lzhcli::SessionOptions options;
  options.output = lzhcli::SessionOutput::Files;
  options.host = &fs;
  options.threadHost = &own;
  options.writeBehind = writeBehind;
  options.decodeAhead = decodeAhead;
  SessionRun run;
  {
    lzhcli::ArchiveSession session(options);
    std::string error;
    if (!session.Open("C:/sfx.exe", "sfx.exe", error)) {
      run.outcomes.push_back({error, lzh::OutcomeKind::PassedOver, lzh::Damage::None, 0});
      return run;
    }
    // Every small member is taken from the thread, none decoded in a race.
    if (session.Ahead() != nullptr) session.Ahead()->WaitForThread();
    session.Dialog().onOutcome = [&](const lzh::MemberOutcome& o) {
      run.outcomes.push_back({o.storedName, o.kind, o.damage, o.systemError});
    };
    session.List();
    session.Dialog().SelectAll();
    session.Extract("C:\\out", error);
    if (session.Ahead() != nullptr) run.taken = session.Ahead()->MembersTaken();
  }
  for (const auto& [path, file] : fs.Files())
    run.files[path] = std::string(file.bytes.begin(), file.bytes.end());
  run.openHandles = fs.openHandles;
  return run;
}

}  // namespace lzhtest
