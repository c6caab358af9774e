#include "console/printing.h"

#include <cstdio>

#include "extract/paths.h"

namespace lzhcli {

namespace {

// C0, DEL and C1: a terminal acts on them. A raw C1 byte is one on an
// eight-bit terminal (0x9B starts a control sequence).
bool IsControlByte(unsigned char c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// C1 controls, and the bidirectional embeddings, overrides and isolates,
// which make a name show as another.
bool IsControlPoint(char32_t c) {
  return (c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string HexEscaped(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02x", c);
  return text;
}

// The length of the well-formed UTF-8 sequence at text[at], with its code
// point; 0 when there is none. Overlong forms and surrogates are not
// well-formed, so their bytes are judged one by one.
std::size_t Utf8Length(const std::string& text, std::size_t at, char32_t& codePoint) {
  auto byte = [&](std::size_t k) {
    return at + k < text.size() ? static_cast<unsigned char>(text[at + k]) : 0;
  };
  const unsigned char lead = byte(0);
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  codePoint = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = byte(k);
    if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return 0;
    codePoint = codePoint << 6 | (next & 0x3F);
  }
  return length;
}

}  // namespace

void PrintError(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "lzhsfx: %s\n", message.c_str());
}

std::string Printable(const std::string& name) {
  std::string out;
  char escaped[8];
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    char32_t codePoint = 0;
    // UTF-8 comes first: a terminal reads these bytes as UTF-8 whatever
    // charset the name was meant in.
    if (std::size_t length = Utf8Length(name, i, codePoint); length > 1) {
      if (IsControlPoint(codePoint)) {
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(codePoint));
        out += escaped;
      } else {
        out += name.substr(i, length);
      }
      i += length - 1;
    } else if (lzh::CharLength(name.c_str() + i) == 2) {
      // A double-byte character goes whole, trail byte and all, or wholly
      // escaped.
      auto trail = static_cast<unsigned char>(name[i + 1]);
      if (IsControlByte(c) || IsControlByte(trail)) {
        out += HexEscaped(c);
        out += HexEscaped(trail);
      } else {
        out += name.substr(i, 2);
      }
      ++i;
    } else if (c == '\\') {
      out += '/';
    } else if (IsControlByte(c)) {
      out += HexEscaped(c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string LinkShown(const std::string& printable) {
  std::string shown = printable;
  if (!shown.empty() && shown.back() == '/') shown.pop_back();
  const std::size_t bar = shown.find('|');
  if (bar != std::string::npos) shown.replace(bar, 1, " -> ");
  return shown;
}

bool PrintUnmatched(const std::vector<std::string>& patterns) {
  for (const auto& pattern : patterns) PrintError("no member matches " + Printable(pattern));
  return !patterns.empty();
}

bool PrintHeaderGaps(const lzh::ArchiveReader& reader, const std::string& shown) {
  if (reader.gaps == 0) return false;
  const std::string at = std::to_string(reader.lastGapAt);
  std::string message = reader.gaps == 1 ? shown + ": damaged at offset " + at
                                         : shown + ": damaged in " + std::to_string(reader.gaps) +
                                               " places, the last at offset " + at;
  message += ": no member header there and no end marker; ";
  message += reader.lastGapResumedAt < 0 ? "no header follows, so the members end there"
                                         : "reading went on at the next header, at offset " +
                                               std::to_string(reader.lastGapResumedAt);
  PrintError(message);
  return true;
}

}  // namespace lzhcli
