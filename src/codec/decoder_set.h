// A set of decoders as a MemberDecoder, from a function that finds each
// method's decoder: for program_decoders.cpp and tool_decoders.cpp alone.
#pragma once

#include "codec/decoder.h"

namespace lzh {

using DecodeFunction = void (*)(MemberStream&);

// Stateless, and made before any code runs (no guard, no constructor call).
template <DecodeFunction (*kFind)(MethodId)>
class DecoderSet final : public MemberDecoder {
 public:
  constexpr DecoderSet() = default;
  bool Takes(MethodId method) const override { return kFind(method) != nullptr; }
  void Decode(MemberStream& member) override { kFind(member.method)(member); }
};

}  // namespace lzh
