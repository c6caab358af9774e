// Members' outcomes in plain words for the command-line tool's messages.
#pragma once

#include <cstdint>
#include <string>

#include "extract/member_outcome.h"

namespace lzhcli {

// The member's stored path, printable ("(no name)" for a header without one).
std::string MemberLabel(const lzh::MemberOutcome& outcome);

// A member that passed by its size alone: its header holds no CRC.
inline constexpr char kSizeAlone[] = "OK by its size alone: its header holds no CRC to check";

// What became of the member and why, e.g. "damaged: CRC mismatch".
std::string Reason(const lzh::MemberOutcome& outcome);

}  // namespace lzhcli
