#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tool {

// CSV as RFC 4180 writes it: fields separated by commas, records by CRLF or LF; a field holding
// a comma, a quote, a line break or leading or trailing blanks is quoted, quotes doubled.
void writeCsvRow(std::ostream &out, const std::vector<std::string> &fields);

// Reads one record (which may span lines inside quotes). nullopt at the end of the input.
// Throws std::runtime_error on an unterminated quoted field.
std::optional<std::vector<std::string>> readCsvRow(std::istream &in);

} // namespace tool
