// The two sets of decoders: each method digit to its decoder.
#include "codec/decoder.h"

namespace lzh {

namespace {

using DecodeFunction = void (*)(MemberStream&);

DecodeFunction ProgramDecoder(char methodDigit) {
  switch (methodDigit) {
    case '0':
      return CopyStored;
    case '1':
      return DecodeLh1;
    case '4':
    case '5':
      return DecodeLh5Fast;
    default:
      return nullptr;
  }
}

DecodeFunction ToolDecoder(char methodDigit) {
  if (methodDigit >= '4' && methodDigit <= '7') return DecodeLh5Fast;
  if (methodDigit == '1') return DecodeLh1Fast;
  return ProgramDecoder(methodDigit);
}

// Stateless, and made before any code runs (no guard, no constructor call).
template <DecodeFunction (*kFind)(char)>
class DecoderSet final : public MemberDecoder {
 public:
  constexpr DecoderSet() = default;
  bool Takes(char methodDigit) const override { return kFind(methodDigit) != nullptr; }
  void Decode(MemberStream& member) override { kFind(member.methodDigit)(member); }
};

constinit DecoderSet<ProgramDecoder> programDecoders;
constinit DecoderSet<ToolDecoder> toolDecoders;

}  // namespace

MemberDecoder& ProgramDecoders() { return programDecoders; }
MemberDecoder& ToolDecoders() { return toolDecoders; }

}  // namespace lzh
