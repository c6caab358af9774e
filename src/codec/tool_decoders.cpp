// The command-line tool's set of decoders: each method to its decoder. A
// file of its own, so that the program, which never asks for this set,
// links none of these decoders (nor what they call in its runtime).
#include "codec/decoder_set.h"

namespace lzh {

namespace {

DecodeFunction ToolDecoder(MethodId method) {
  switch (method) {
    case MethodIdOf("-lh0-"):
    case MethodIdOf("-lz4-"):
    case MethodIdOf("-pm0-"):
      return CopyStored;
    case MethodIdOf("-lh1-"):
      return DecodeLh1Fast;
    case MethodIdOf("-lh2-"):
      return DecodeLh2;
    case MethodIdOf("-lh3-"):
      return DecodeLh3;
    case MethodIdOf("-lh4-"):
    case MethodIdOf("-lh5-"):
    case MethodIdOf("-lh6-"):
    case MethodIdOf("-lh7-"):
    case MethodIdOf("-lhx-"):
      return DecodeLh5Fast;
    case MethodIdOf("-lzs-"):
    case MethodIdOf("-lz5-"):
      return DecodeLarc;
    case MethodIdOf("-pm1-"):
      return DecodePm1;
    case MethodIdOf("-pm2-"):
      return DecodePm2;
    default:
      return nullptr;
  }
}

constinit DecoderSet<ToolDecoder> toolDecoders;

}  // namespace

MemberDecoder& ToolDecoders() { return toolDecoders; }

}  // namespace lzh
