#pragma once

#include <string>

namespace lzhcli {

// Matches name against pattern with "*" and "?", without regard to case;
// "\" and "/" are the same character on both sides.
bool WildcardMatch(const std::string& pattern, const std::string& name);

}  // namespace lzhcli
