#include <errno.h>
#include <iconv.h>

#include <string>

#include "names/code_page_text.h"

namespace lzhnames {

namespace {

// One conversion through iconv, refusing rather than guessing: invalid or
// unconvertible input fails the whole text.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (Ready()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Ready() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  bool Convert(std::string_view input, std::string& out) {
    out.assign(input.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t used = 0;
    for (;;) {
      char* at = out.data() + used;
      std::size_t outLeft = out.size() - used;
      std::size_t result = iconv(cd_, inLeft == 0 ? nullptr : &in, &inLeft, &at, &outLeft);
      used = out.size() - outLeft;
      if (result != static_cast<std::size_t>(-1)) {
        // Converted, and nothing was replaced by a look-alike (the count of
        // irreversible conversions).
        if (inLeft != 0 || result != 0) return false;
        if (in == nullptr) break;
        in = nullptr;  // then flush the shift state
        continue;
      }
      if (errno != E2BIG) return false;
      out.resize(out.size() * 2);
    }
    out.resize(used);
    return true;
  }

 private:
  iconv_t cd_;
};

bool ConvertText(const std::string& to, const std::string& from, std::string_view input,
                 std::string& out) {
  Converter converter(to, from);
  return converter.Ready() && converter.Convert(input, out);
}

}  // namespace

bool IsKnownCharset(const std::string& charset) {
  return !charset.empty() && Converter("UTF-8", charset).Ready() &&
         Converter(charset, "UTF-8").Ready();
}

bool CodePageToUtf8(const std::string& charset, std::string_view bytes, std::string& out) {
  return ConvertText("UTF-8", charset, bytes, out);
}

bool Utf8ToCodePage(const std::string& charset, std::string_view utf8, std::string& out) {
  return ConvertText(charset, "UTF-8", utf8, out);
}

std::string SystemNameToUtf8(std::string_view bytes) { return std::string(bytes); }

}  // namespace lzhnames
