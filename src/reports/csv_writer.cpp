#include "reports/csv_writer.h"

namespace reports {

std::string CsvWriter::quoted(std::string_view field)
{
    const bool needsQuotes = field.find_first_of(",\"\r\n") != std::string_view::npos
        || (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!needsQuotes)
        return std::string(field);
    std::string out;
    out.reserve(field.size() + 2);
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

void CsvWriter::writeRow(const std::vector<std::string> &fields)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            m_out << ',';
        m_out << quoted(fields[i]);
    }
    m_out << "\r\n";
}

} // namespace reports
