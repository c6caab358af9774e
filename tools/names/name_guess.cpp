#include "names/name_guess.h"

#include <cstdint>

namespace lzhnames {

namespace {

bool IsAsciiLetter(int b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }

enum class Kind : std::uint8_t {
  Ascii,
  Kana,         // hiragana, katakana and the marks that join Japanese words
  Common,       // level-1 kanji, symbols, half-width katakana
  Rare,         // level-2 kanji and the IBM extensions
  UserDefined,  // code page 932's private area
};

Kind KindOf(unsigned lead, unsigned trail) {
  const unsigned code = lead << 8 | trail;
  if ((code >= 0x829F && code <= 0x82F1) || (code >= 0x8340 && code <= 0x8396) || code == 0x8141 ||
      code == 0x8142 || code == 0x8145 || code == 0x815B)
    return Kind::Kana;  // 、 。 ・ ー among the marks
  if (lead >= 0xF0 && lead <= 0xF9) return Kind::UserDefined;
  if (code >= 0x989F || lead >= 0xED) return Kind::Rare;
  return Kind::Common;
}

// A letter in the code page: 437's accented letters and ß, or 1252's.
bool IsLatinLetter(unsigned char b, bool oem) {
  if (oem) return (b >= 0x80 && b <= 0x9A) || (b >= 0xA0 && b <= 0xA5) || b == 0xE1;
  return (b >= 0xC0 && b != 0xD7 && b != 0xF7) || b == 0x8A || b == 0x8C || b == 0x8E ||
         b == 0x9A || b == 0x9C || b == 0x9E || b == 0x9F;
}

bool FollowsNoLetter(char c) {
  switch (c) {
    case '@':
    case '[':
    case '\\':
    case ']':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
    case '~':
      return true;
    default:
      return false;
  }
}

bool ReadsAsLatin(std::string_view bytes, bool oem) {
  bool any = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) continue;
    if (!IsLatinLetter(b, oem) || (i + 1 < bytes.size() && FollowsNoLetter(bytes[i + 1])))
      return false;
    any = true;
  }
  return any;
}

}  // namespace

bool DoubtfulShiftJis(std::string_view bytes) {
  bool letterBefore = false;  // the character before is an ASCII letter
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      letterBefore = IsAsciiLetter(b);
      continue;
    }
    const bool pair = !(b >= 0xA1 && b <= 0xDF) && i + 1 < bytes.size();
    const Kind kind = pair ? KindOf(b, static_cast<unsigned char>(bytes[i + 1])) : Kind::Common;
    if (pair) ++i;
    const bool letterAfter = i + 1 < bytes.size() && IsAsciiLetter(bytes[i + 1]);
    if (kind == Kind::UserDefined || (kind == Kind::Rare && (letterBefore || letterAfter)) ||
        (kind == Kind::Common && letterBefore && letterAfter))
      return true;
    letterBefore = false;
  }
  return false;
}

const char* LatinCodePageOf(std::string_view bytes) {
  if (ReadsAsLatin(bytes, true)) return "CP437";
  if (ReadsAsLatin(bytes, false)) return "CP1252";
  return nullptr;
}

}  // namespace lzhnames
