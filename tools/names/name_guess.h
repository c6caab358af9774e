// Telling a Western DOS name from a Japanese one when the archive does not
// say which code page its names are in.
//
// Names from DOS and Windows tools outside Japan are in the OEM code page
// (437 in the US, whose accented letters are 0x80-0xA5, ß 0xE1) or the
// ANSI one (1252: letters 0xC0-0xFF). Many such names are also well-formed
// Shift-JIS: "Größe" in code page 437 is G r 0x94 0xE1 e, whose middle pair
// is a kanji. The Shift-JIS reading of such a name gives itself away by
// characters that Japanese names rarely hold where they stand: one
// character, not kana, with Latin letters on both sides; a kanji beyond the
// JIS level-1 set or from the IBM extensions next to a Latin letter; a
// user-defined character. The Latin reading is taken only when it is
// plausible too: every byte above 0x7F a letter, none followed by the ASCII
// signs that Shift-JIS trail bytes bring (@ [ \ ] ^ ` { | } ~).
#pragma once

#include <string_view>

namespace lzhnames {

// True when bytes, well-formed Shift-JIS, read as it implausibly.
bool DoubtfulShiftJis(std::string_view bytes);

// The Latin code page whose letters read bytes plausibly: "CP437" first
// (what DOS tools wrote), then "CP1252"; nullptr when neither does.
const char* LatinCodePageOf(std::string_view bytes);

}  // namespace lzhnames
