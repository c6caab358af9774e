// Checking an archive the way it would be extracted: the walk lists every
// member, selects them all and extracts them into a sink that writes
// nothing, so every member is decoded and its CRC compared. `lzhsfx test`
// reports the result; `lzhsfx build` refuses an archive that fails it.
#pragma once

#include <string>

#include "archive_file.h"
#include "codec/decoder.h"
#include "null_output_file_system.h"
#include "reporting_dialog.h"

namespace lzhcli {

struct CheckResult {
  bool listed = false;  // false: no member to extract (the box was shown)
  bool passed = false;  // every member passed and no box was shown
};

// dialog's callbacks see every member and box; opened was opened through fs.
// decoderForMethod gives the methods that count as decodable.
CheckResult CheckByWalking(NullOutputFileSystem& fs, const OpenedArchive& opened,
                           ReportingDialog& dialog, lzh::DecoderLookup decoderForMethod);

// A member's name as the sink's output path gives it.
std::string SinkName(const std::string& outputPath);

}  // namespace lzhcli
