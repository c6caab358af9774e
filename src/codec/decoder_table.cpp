#include "codec/decoder.h"

namespace lzh {

Decoder DecoderForMethod(char methodDigit) {
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

Decoder ToolDecoderForMethod(char methodDigit) {
  if (methodDigit >= '4' && methodDigit <= '7') return DecodeLh5Fast;
  if (methodDigit == '1') return DecodeLh1Fast;
  return DecoderForMethod(methodDigit);
}

}  // namespace lzh
