#include "session/archive_session.h"

#include <cstdio>

#include "system/tool_platform.h"
#include "system/worker_thread.h"

namespace lzhcli {

ArchiveSession::ArchiveSession(const SessionOptions& options)
    : options_(options),
      host_(options.host != nullptr ? *options.host : ToolFileSystem()),
      // A stream gains nothing from writes gathered behind the decoder; and
      // small members are decoded ahead where writing them is what the walk
      // spends its time on.
      secondCore_(SecondCoreIsFree()),
      writeBehind_(
          options.writeBehind.value_or(secondCore_ && options.output != SessionOutput::Stdout)),
      decodeAhead_(
          options.decodeAhead.value_or(secondCore_ && options.output != SessionOutput::Nowhere)),
      reads_(host_),
      searches_(reads_),
      behind_(Outputs()),
      progress_(0, options.progress),
      top_(writeBehind_ ? static_cast<lzh::FileSystem&>(behind_) : Outputs(), progress_),
      decoders_(options.programMethods ? lzh::ProgramDecoders() : lzh::ToolDecoders()),
      walk_(top_),
      names_(options.charset) {
  dialog_.storedPaths = options.storedPaths;
  names_.storedPaths = options.storedPaths;
  top_.Watch(walk_.archive.currentMember, dialog_);
  // Members of every method are listed and reported, also those nothing
  // here decodes; the walk goes on past them.
  walk_.archive.anyMethod = true;
  walk_.archive.findsLostHeaders = true;
  walk_.passOverUnsupported = true;
  walk_.decoders = &decoders_;
  names_.Observe(walk_.archive);
  walk_.nameReader = &names_;
}

ArchiveSession::~ArchiveSession() {
  if (opened_.handle != lzh::kInvalidFile) top_.Close(opened_.handle);
}

// Made once, on the first call (from the constructor's list, before the
// layers above them).
lzh::FileSystem& ArchiveSession::Outputs() {
  if (files_) return *files_;
  if (nowhere_) return *nowhere_;
  switch (options_.output) {
    case SessionOutput::Files:
      return files_.emplace(searches_);
    case SessionOutput::Stdout:
      return nowhere_.emplace(reads_, stdout);
    case SessionOutput::Nowhere:
      break;
  }
  return nowhere_.emplace(reads_);
}

bool ArchiveSession::Open(const std::string& path, const std::string& shown, std::string& error) {
  if (!OpenArchive(top_, path, opened_, error, shown)) return false;
  progress_.SetTotal(top_.Size(opened_.handle));
  walk_.archive.archiveHandle = opened_.handle;
  walk_.archiveStart = opened_.start;
  lzh::MemberDecoder* stage = &decoders_;
  if (decodeAhead_) {
    lzh::FileSystem& own = options_.threadHost != nullptr ? *options_.threadHost : host_;
    stage = &ahead_.emplace(reads_, own, path, opened_.start, decoders_);
  }
  if (writeBehind_) stage = &behindStage_.emplace(behind_, *stage);
  walk_.decoders = stage;
  return true;
}

void ArchiveSession::List() { lzh::WalkArchive(walk_, dialog_, lzh::WalkMode::List); }

bool ArchiveSession::Extract(const std::string& directory, std::string& error) {
  const std::string into =
      options_.output == SessionOutput::Files ? directory : NullOutputFileSystem::kExtractPath;
  if (!lzh::CopyText(walk_.extractPath, sizeof walk_.extractPath - 1, into.c_str())) {
    error = "the directory's path is too long: " + Printable(into);
    return false;
  }
  lzh::WalkArchive(walk_, dialog_, lzh::WalkMode::Extract);
  progress_.Clear();
  if (options_.output == SessionOutput::Stdout) std::fflush(stdout);
  return true;
}

}  // namespace lzhcli
