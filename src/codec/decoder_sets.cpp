// The two sets of decoders: each method to its decoder.
#include "codec/decoder.h"

namespace lzh {

namespace {

using DecodeFunction = void (*)(MemberStream&);

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

DecodeFunction ToolDecoder(MethodId method) {
  switch (method) {
    case MethodIdOf("-lh1-"):
      return DecodeLh1Fast;
    case MethodIdOf("-lh2-"):
      return DecodeLh2;
    case MethodIdOf("-lh3-"):
      return DecodeLh3;
    case MethodIdOf("-lh6-"):
    case MethodIdOf("-lh7-"):
    case MethodIdOf("-lhx-"):
      return DecodeLh5Fast;
    case MethodIdOf("-lz4-"):
    case MethodIdOf("-pm0-"):
      return CopyStored;
    case MethodIdOf("-lzs-"):
    case MethodIdOf("-lz5-"):
      return DecodeLarc;
    case MethodIdOf("-pm1-"):
      return DecodePm1;
    case MethodIdOf("-pm2-"):
      return DecodePm2;
    default:
      return ProgramDecoder(method);
  }
}

// Stateless, and made before any code runs (no guard, no constructor call).
template <DecodeFunction (*kFind)(MethodId)>
class DecoderSet final : public MemberDecoder {
 public:
  constexpr DecoderSet() = default;
  bool Takes(MethodId method) const override { return kFind(method) != nullptr; }
  void Decode(MemberStream& member) override { kFind(member.method)(member); }
};

constinit DecoderSet<ProgramDecoder> programDecoders;
constinit DecoderSet<ToolDecoder> toolDecoders;

}  // namespace

MemberDecoder& ProgramDecoders() { return programDecoders; }
MemberDecoder& ToolDecoders() { return toolDecoders; }

}  // namespace lzh
