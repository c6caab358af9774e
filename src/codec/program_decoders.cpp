// The program's set of decoders: each of its methods to its decoder.
#include "codec/decoder_set.h"

namespace lzh {

namespace {

DecodeFunction ProgramDecoder(MethodId method) {
  switch (method) {
    case MethodIdOf("-lh0-"):
      return CopyStored;
    case MethodIdOf("-lh1-"):
      return DecodeLh1;
    case MethodIdOf("-lh4-"):
    case MethodIdOf("-lh5-"):
      return DecodeLh5Fast;
    default:
      return nullptr;
  }
}

constinit DecoderSet<ProgramDecoder> programDecoders;

}  // namespace

MemberDecoder& ProgramDecoders() { return programDecoders; }

}  // namespace lzh
