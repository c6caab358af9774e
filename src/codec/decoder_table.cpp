#include "codec/decoder.h"

namespace lzh {

Decoder DecoderForMethod(char methodDigit) {
  switch (methodDigit) {
    case '0':
      return CopyStored;
    default:
      return nullptr;
  }
}

}  // namespace lzh
