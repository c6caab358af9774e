// Checking an archive the way it would be extracted: the walk lists every
// member, selects them all and extracts them into a sink that writes
// nothing, so every member is decoded and its CRC compared. `lzhsfx test`
// reports the result; `lzhsfx build` refuses an archive that fails it.
#pragma once

#include "archive_file.h"
#include "codec/decoder.h"
#include "console_dialog.h"
#include "member_names.h"
#include "null_output_file_system.h"

namespace lzhcli {

struct CheckResult {
  bool listed = false;  // false: no member to extract
  bool passed = false;  // every member was extracted
};

// dialog.onOutcome sees every member; opened was opened through fs, which
// is a NullOutputFileSystem or a layer over one. decoders gives the
// methods that count as decodable; a member of another method (also one
// whose method does not read "lh") is reported and the check goes on.
// names, when given, reads the names (else they are the stored bytes, as
// the program takes them).
CheckResult CheckByWalking(lzh::FileSystem& fs, const OpenedArchive& opened, ConsoleDialog& dialog,
                           lzh::MemberDecoder& decoders, MemberNames* names = nullptr);

}  // namespace lzhcli
