// Packs one file into a one-member archive with the archive writer, for
// the encoding benchmark (bench/encode.sh times it as a process).
//
//   encode_archive [-1] lh5|lh6|lh7|lh0 EFFORT OUT FILE [STORED-NAME]
//
// -1: on one thread (the writer packs two segments of a member at once).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive_writer/archive_writer.h"
#include "codec/crc16.h"

int main(int argc, char** argv) {
  lzhwrite::WriterOptions options;
  if (argc > 1 && std::strcmp(argv[1], "-1") == 0) {
    options.twoThreads = false;
    --argc;
    ++argv;
  }
  if (argc < 5) {
    std::fprintf(stderr,
                 "usage: encode_archive [-1] lh5|lh6|lh7|lh0 EFFORT OUT FILE [STORED-NAME]\n");
    return 2;
  }
  const std::string method = argv[1];
  options.method = method == "lh0"   ? lzhwrite::Method::Lh0
                   : method == "lh6" ? lzhwrite::Method::Lh6
                   : method == "lh7" ? lzhwrite::Method::Lh7
                                     : lzhwrite::Method::Lh5;
  options.effort = std::atoi(argv[2]);
  lzh::CrcTableScope crcTable;
  lzh::UseSlicedCrc(true);  // as the command-line tool does
  lzhwrite::ArchiveWriter writer(options);
  lzhwrite::MemberSource member;
  member.sourcePath = argv[4];
  member.storedPath = argc > 5 ? argv[5] : argv[4];
  lzhwrite::MemberSummary summary;
  lzhwrite::WriteStatus status = writer.Open(argv[3]);
  if (status.Ok()) status = writer.AddFile(member, &summary);
  if (status.Ok()) status = writer.Finish();
  if (!status.Ok()) {
    std::fprintf(stderr, "encode_archive: %s: error %d (%s)\n", status.path.c_str(),
                 static_cast<int>(status.error), std::strerror(status.systemError));
    return 1;
  }
  std::printf("%s %llu %llu\n", summary.method,
              static_cast<unsigned long long>(summary.originalSize),
              static_cast<unsigned long long>(summary.packedSize));
  return 0;
}
