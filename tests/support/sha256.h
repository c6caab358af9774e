// SHA-256, for comparing extracted bytes with the corpus manifest.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lzhtest {

std::string Sha256Hex(const std::vector<std::uint8_t>& bytes);

}  // namespace lzhtest
