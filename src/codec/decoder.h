// What the walk hands a decoder for one member, and the decoders.
//
// Contract: the archive's position is at the member's first packed byte,
// packedLeft is the number of packed bytes, runningCrc is 0 and the output
// is a new, empty file. A decoder reads at most packedLeft bytes, counting
// them off it, so that the next header is never taken for data; it may
// leave the archive's position anywhere up to the member's end. It writes
// the member's decoded bytes in order and folds every byte that a write
// reports as written into runningCrc (unless outputFoldsCrc says the output
// does that), but for the one write named under -lh4- to -lh7- below. It
// reports no outcome: the walk judges the member by its CRC and size, and
// by overran, the one finding of the decoder's own.
//
// A member decodes to originalSize bytes and never more. An encoder ends
// its last match at the member's end, so a stream that runs past
// originalSize is damaged: its bytes up to originalSize are written, the
// decoder stops and raises overran, and the walk fails the member whatever
// its CRC says. A member that ends short fails by its size. Per method:
// - -lh0-: the packed bytes are copied up to originalSize; packed bytes
//   beyond it raise overran. A read that delivers nothing ends the copy.
// - -lh1-: a last match past originalSize is cut there and raises overran.
//   The stream has no end marker: a symbol that needs bits beyond the
//   packed bytes (or the archive's end) ends the member short. -lh2- the
//   same.
// - -lh4- to -lh7- and -lhx-: a last match past originalSize is cut there
//   and raises overran. A block's code count of 0 ends the member short:
//   the bytes not yet written go out in one write that is folded whole
//   into runningCrc whatever it reports, and a short write there leaves
//   writeFellShort alone. Once the packed bytes are used up (or the archive ends) the
//   stream reads as zero bits and decoding goes on, until originalSize or
//   a count of 0 (what a block count read from zero bits is).
// - -lh3-: the same, but that the write at a count of 0 is an ordinary one.
// - -lzs-, -lz5-: a last match past originalSize is cut there and raises
//   overran. The stream has no end marker: an item that needs bytes beyond
//   the packed bytes (or the archive's end) ends the member short.
// - -lz4-, -pm0-: as -lh0-.
// - -pm1-: literals or a copy past originalSize are cut there, with no
//   finding: real streams run on past their member's end. Past the packed
//   bytes the stream reads as zero bits; a copy from before the member's
//   first byte ends it short.
// - -pm2-: a last copy past originalSize is cut there and raises overran.
//   An item or table that needs bits past the packed bytes, or bits that
//   are no code of the tables, ends the member short.
#pragma once

#include <cstdint>

#include "codec/crc16.h"
#include "platform/file_system.h"

namespace lzh {

// Memory an output lends a decoder as its ring (the command-line tool's
// write-behind): bytes the decoder decodes there and passes to WriteOutput
// where they lie reach the output with no copy. The decoder writes them out
// in order, in parts that end at multiples of partBytes (and at the member's
// end), and writes at most a few hundred bytes past the part it fills.
struct LentRing {
  std::uint8_t* bytes;
  // A multiple of partBytes, at least two of the largest dictionary (512
  // KiB, -lhx-'s) and a part.
  std::int32_t ringBytes;
  std::int32_t partBytes;
};

// A method by its three middle bytes ("lh5" of "-lh5-") as one number, so
// that "-lz5-" is no "-lh5-".
using MethodId = std::uint32_t;
constexpr MethodId MethodIdOf(const char* method) {
  return static_cast<MethodId>(static_cast<std::uint8_t>(method[1])) << 16 |
         static_cast<MethodId>(static_cast<std::uint8_t>(method[2])) << 8 |
         static_cast<std::uint8_t>(method[3]);
}
constexpr MethodId LhMethodId(char digit) {
  const char method[] = {'-', 'l', 'h', digit, '-'};
  return MethodIdOf(method);
}
// The byte at offset 3 of the method, e.g. '5' of "-lh5-".
constexpr char MethodDigit(MethodId method) { return static_cast<char>(method & 0xFF); }

struct MemberStream {
  FileSystem& fs;
  FileHandle archiveHandle;
  FileHandle outputHandle;
  FileOffset packedLeft;    // packed bytes not yet read
  FileOffset originalSize;  // bytes the member decodes to (signed)
  MethodId method;
  std::uint32_t runningCrc = 0;
  bool overran = false;         // the last match ran past originalSize
  bool writeFellShort = false;  // a write stored fewer bytes than it was given
  // The output folds runningCrc itself as it stores the bytes (the
  // command-line tool's write-behind, on its own thread): the decoder leaves
  // it alone.
  bool outputFoldsCrc = false;
  // The output's ring, for the tool's -lh4- to -lh7- decoder; nullptr: the
  // decoder uses its own.
  const LentRing* lentRing = nullptr;

  std::int32_t ReadPacked(void* buffer, std::int32_t count) {
    return fs.Read(archiveHandle, buffer, count);
  }
  // Writes and folds what the write reports as written; returns that count.
  std::int32_t WriteOutput(const std::uint8_t* bytes, std::int32_t count) {
    std::int32_t written = fs.Write(outputHandle, bytes, count);
    if (written != count) writeFellShort = true;
    if (!outputFoldsCrc) CrcUpdate(bytes, written, runningCrc);
    return written;
  }
};

// The seam through which the walk has a member decoded: which methods are
// decoded, and the decoding of one member. Stages may stand in front of a
// set of decoders (the tool's write-behind and decoding ahead), each holding
// the next.
class MemberDecoder {
 public:
  virtual bool Takes(MethodId method) const = 0;
  // One member of a method it takes, by the contract above.
  virtual void Decode(MemberStream& member) = 0;

 protected:
  ~MemberDecoder() = default;
};

// The self-extracting program's methods: -lh0-, -lh1-, -lh4- and -lh5-.
MemberDecoder& ProgramDecoders();
// The command-line tool's: those, with its faster -lh1- model, -lh6-, -lh7-
// and -lhx-, whose dictionaries of 32, 64 and 512 KiB the program does not
// spend memory on, the early -lh2- and -lh3-, and the methods of other archivers: -lzs-,
// -lz4-, -lz5-, -pm0-, -pm1- and -pm2-. It keeps no state between members, so that
// threads may share it.
MemberDecoder& ToolDecoders();

void CopyStored(MemberStream& member);  // -lh0-
void DecodeLh1(MemberStream& member);   // -lh1-
// The same decoder with the model's faster rebuild (the same tree and
// output for every input): the tool's.
void DecodeLh1Fast(MemberStream& member);
void DecodeLh2(MemberStream& member);  // -lh2-, the tool's
void DecodeLh3(MemberStream& member);  // -lh3-, the tool's
// -lh4- to -lh7- and -lhx- one code at a time: the careful path alone,
// which the tests hold the faster one against.
void DecodeLh5(MemberStream& member);
// The same decoder with a loop that takes the common case faster (about
// 1.5 times as fast); the same writes and CRC for every input. The
// program's (-lh4- and -lh5-, its build without a few parts of the loop)
// and the tool's.
void DecodeLh5Fast(MemberStream& member);
// -lzs- and -lz5- (the tool's; any other method reads as -lz5-).
void DecodeLarc(MemberStream& member);
// The tool's alone, of MSX and CP/M archives: -pm1- and -pm2-
// (pm1_decoder.cpp, pm2_decoder.cpp).
void DecodePm1(MemberStream& member);
void DecodePm2(MemberStream& member);

}  // namespace lzh
