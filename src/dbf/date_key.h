#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dbf {

// The 8-byte key of a date tag: the Julian Day Number of the date as an IEEE-754 double,
// little-endian ("2024-03-15" is day 2 460 385: 00 00 00 80 70 C5 42 41). A blank date is 0.0
// and sorts first. Little-endian doubles do not sort bytewise: compare with compareDateKeys().
constexpr std::size_t kDateKeyLength = 8;

void encodeDateKey(double julianDay, std::uint8_t *out);
// From a stored D field, YYYYMMDD; blank or unreadable text gives 0.0.
void encodeDateKeyText(std::string_view text, std::uint8_t *out);
std::string dateKey(std::string_view yyyymmdd);
double decodeDateKey(const std::uint8_t *key);
int compareDateKeys(const std::uint8_t *a, const std::uint8_t *b);

} // namespace dbf
