#pragma once
// Comma-separated values as RFC 4180 writes them: fields separated by commas, records ended by
// CRLF, a field quoted when it holds a comma, a double quote, CR or LF (or begins or ends with a
// blank, which some readers would trim), a double quote inside doubled. The bytes are UTF-8.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace reports {

class CsvWriter
{
public:
    explicit CsvWriter(std::ostream &out) : m_out(out) {}
    // Writes one record of UTF-8 fields.
    void writeRow(const std::vector<std::string> &fields);
    static std::string quoted(std::string_view field);

private:
    std::ostream &m_out;
};

} // namespace reports
