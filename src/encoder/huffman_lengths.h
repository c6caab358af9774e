// Code lengths and canonical codes for the encoder side of the static-
// Huffman methods.
#pragma once

#include <cstdint>

namespace lzh {

// Lengths of a Huffman code for the frequencies, none above maxLength
// (at most 16); unused symbols get 0. Returns the number of used symbols.
// With fewer than two used symbols every length is 0: such a code is sent
// in its one-symbol form.
int BuildCodeLengths(const std::uint32_t* frequencies, int symbolCount, int maxLength,
                     std::uint8_t* lengths);

// The canonical code of each symbol as the decoders assign it: shorter
// codes first, equal lengths in symbol order.
void AssignCanonicalCodes(const std::uint8_t* lengths, int symbolCount, std::uint16_t* codes);

}  // namespace lzh
