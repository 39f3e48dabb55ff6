#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "dbf/date.h"

namespace dbf {

// The text encodings of field values inside a record image, as dBASE stores them. Pure functions
// over bytes; no allocation.
//   C  text, left-aligned, blank-padded on the right
//   N  number, right-aligned, blank-padded on the left, exactly `decimals` digits after '.';
//   F  same as N; all blanks = no value
//   D  YYYYMMDD; eight blanks = no date
//   L  T t Y y true, F f N n false; '?' or blank = no value
//   M  block number in the DBT, decimal, right-aligned, blank- (or zero-) padded; blanks = none
namespace codec {

std::string_view trimRight(std::string_view text);
std::string_view trim(std::string_view text);
bool isBlank(std::string_view raw);

// Number of a N or F field; nullopt when blank or not a number. The decimal point is always '.'.
std::optional<double> parseNumber(std::string_view raw);
// Writes `value` right-aligned with `decimals` digits into `out` (out.size() = width). Returns
// false, `out` unchanged, when the value needs more room than the width or is not finite.
bool formatNumber(double value, int decimals, std::span<char> out);
// Writes a whole number right-aligned; false when it does not fit.
bool formatInteger(std::int64_t value, std::span<char> out);

// nullopt when blank or unknown.
std::optional<bool> parseLogical(std::string_view raw);

// Memo block of an M field: 0 when blank; nullopt when the text is not a block number.
std::optional<std::uint32_t> parseMemoBlock(std::string_view raw);
// Writes a block number right-aligned, blank-padded (0 writes blanks).
void formatMemoBlock(std::uint32_t block, std::span<char> out);

// Copies `text` left-aligned into `out`, cut to the width, blank-padded.
void formatText(std::string_view text, std::span<char> out);

} // namespace codec
} // namespace dbf
