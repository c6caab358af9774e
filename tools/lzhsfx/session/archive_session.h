// One archive, opened once for a command and walked by the program's walk
// through the file-system layers and decoding stages in their one order.
//
// The layers, from the file system up: reads ahead of the walk; paths
// found as typed (for the outputs); the outputs (files, removed when the
// run is interrupted; or standard output; or nowhere, decoded and checked
// only); the write-behind, where a second core is free and the output is
// not a stream; the progress display. The decoding stages, from the
// decoders up: decoding ahead (where a core is free and the output is
// written), then the write-behind's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/console_dialog.h"
#include "layers/decode_ahead.h"
#include "layers/found_path_file_system.h"
#include "layers/interruption.h"
#include "layers/null_output_file_system.h"
#include "layers/progress_file_system.h"
#include "layers/read_ahead_file_system.h"
#include "layers/write_behind_file_system.h"
#include "session/archive_file.h"
#include "session/member_names.h"

namespace lzhcli {

enum class SessionOutput : std::uint8_t {
  Nowhere,  // decoded and checked, nothing written (test, build's check)
  Files,    // extracted into a directory
  Stdout,   // the members' bytes on standard output
};

struct SessionOptions {
  SessionOutput output = SessionOutput::Nowhere;
  lzhnames::NameCharset charset;
  bool storedPaths = true;
  bool progress = false;  // drawn on stderr while the walk extracts
  // Only the program's methods count as decodable (build's check); else
  // every method the tool decodes.
  bool programMethods = false;
  // Where the archive is opened; the tool's file system when null. The
  // decoding ahead opens it again on its thread in threadHost (by default
  // host, which must then take calls from two threads).
  lzh::FileSystem* host = nullptr;
  lzh::FileSystem* threadHost = nullptr;
  // The second thread's stages: where a core is free, unless told.
  std::optional<bool> writeBehind;
  std::optional<bool> decodeAhead;
};

class ArchiveSession {
 public:
  explicit ArchiveSession(const SessionOptions& options);
  ~ArchiveSession();
  ArchiveSession(const ArchiveSession&) = delete;
  ArchiveSession& operator=(const ArchiveSession&) = delete;

  // Opens path (named shown in messages) and finds its first member; false
  // with a message for the user in error.
  bool Open(const std::string& path, const std::string& shown, std::string& error);

  // The list walk: one dialog entry per member that can be extracted.
  void List();
  // The extracting walk over the selected entries, into directory (for
  // files; the others take none). False, with error, when the directory's
  // path is too long.
  bool Extract(const std::string& directory, std::string& error);

  const OpenedArchive& Opened() const { return opened_; }
  // The top layer, through which the archive was opened.
  lzh::FileSystem& Files() { return top_; }
  // The walk's reader of headers, with the names observed.
  lzh::ArchiveReader& Reader() { return walk_.archive; }
  const lzh::MemberHeader& CurrentMember() const { return walk_.archive.currentMember; }
  ConsoleDialog& Dialog() { return dialog_; }
  MemberNames& Names() { return names_; }
  // The decoding ahead, where there is one (after Open).
  DecodeAhead* Ahead() { return ahead_ ? &*ahead_ : nullptr; }
  // Clears the progress line, before anything else is printed.
  void ClearProgress() { progress_.Clear(); }

 private:
  lzh::FileSystem& Outputs();

  SessionOptions options_;
  lzh::FileSystem& host_;
  bool secondCore_;
  bool writeBehind_;
  bool decodeAhead_;
  ReadAheadFileSystem reads_;
  FoundPathFileSystem searches_;
  std::optional<InterruptibleOutputs> files_;
  std::optional<NullOutputFileSystem> nowhere_;
  WriteBehindFileSystem behind_;
  Progress progress_;
  ProgressFileSystem top_;
  lzh::MemberDecoder& decoders_;
  std::optional<DecodeAhead> ahead_;
  std::optional<WriteBehindDecoding> behindStage_;
  lzh::WalkSession walk_;
  ConsoleDialog dialog_;
  MemberNames names_;
  OpenedArchive opened_;
};

}  // namespace lzhcli
