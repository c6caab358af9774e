#include "session/member_time.h"

#include <cstdio>
#include <ctime>

namespace lzhcli {

std::string FormatMemberTime(const lzh::MemberHeader& member) {
  char text[32];
  if (member.hasUnixTime) {
    std::time_t seconds = static_cast<std::time_t>(member.unixTime);
    std::tm* local = std::localtime(&seconds);
    if (local == nullptr) return "(no valid time)";
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
  } else {
    std::uint32_t t = member.timeStamp;
    // No month or no day: the archiver kept no time (0 for all of it).
    if (((t >> 21) & 0x0F) == 0 || ((t >> 16) & 0x1F) == 0) return "unknown";
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (t >> 25),
                  (t >> 21) & 0x0F, (t >> 16) & 0x1F, (t >> 11) & 0x1F, (t >> 5) & 0x3F,
                  (t & 0x1F) * 2);
  }
  return text;
}

}  // namespace lzhcli
