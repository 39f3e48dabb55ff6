#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dbf {

// The 12-byte key of a numeric tag (N and F fields):
//
//   OFFSET SIZE MEANING
//   0      1    exponent byte 0x34 + e, the value being 0.d1d2d3... x 10^e with d1 != 0
//   1      1    bit 7 sign (1 negative); bits 6..3 number of digit bytes used; bits 1..0 = 01
//   2      10   the significant digits, two per byte, first in the high nibble, left-aligned,
//               leading and trailing zeros dropped, unused nibbles 0 (at most 20 digits)
//
// Zero is 34 01 00 .. 00. Other writers put the digit count (not the byte count) in byte 1 and
// keep trailing zeros of whole numbers; compareNumericKeys() ignores byte 1's count bits and
// sorts both forms correctly, so keys are never compared as plain bytes.
constexpr std::size_t kNumericKeyLength = 12;

// Encodes the number written in `text` (a stored N field: blanks, an optional sign, digits and a
// decimal point). Blank or unreadable text counts as zero, as dBASE reads such a field. The
// digits are taken from the text itself, so no binary rounding creeps in.
void encodeNumericKey(std::string_view text, std::uint8_t *out);
std::string numericKey(std::string_view text);
// The same for a value; up to 15 significant digits are kept.
std::string numericKey(double value);

// <0, 0, >0 by value: negative < zero < positive; then exponent, then digits.
int compareNumericKeys(const std::uint8_t *a, const std::uint8_t *b);

// The value of a key, for listings and checks (exact for up to 15 digits).
double decodeNumericKey(const std::uint8_t *key);

} // namespace dbf
