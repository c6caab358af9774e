// A member's time stamp as people read it.
#pragma once

#include <string>

#include "archive/member_header.h"

namespace lzhcli {

// "2024-05-01 12:00:00": the local time of a level-2 header's Unix time, or
// the MS-DOS time as stored; "unknown" for an MS-DOS stamp without a month
// or day (all zero where an archiver kept none).
std::string FormatMemberTime(const lzh::MemberHeader& member);

}  // namespace lzhcli
