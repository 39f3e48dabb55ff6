#include "csv.h"

#include <istream>
#include <ostream>
#include <stdexcept>

namespace tool {

void writeCsvRow(std::ostream &out, const std::vector<std::string> &fields)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out << ',';
        const std::string &f = fields[i];
        const bool quote = f.find_first_of(",\"\r\n") != std::string::npos
            || (!f.empty() && (f.front() == ' ' || f.back() == ' '));
        if (!quote) {
            out << f;
            continue;
        }
        out << '"';
        for (char c : f) {
            if (c == '"')
                out << '"';
            out << c;
        }
        out << '"';
    }
    out << "\r\n";
}

std::optional<std::vector<std::string>> readCsvRow(std::istream &in)
{
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    bool any = false;
    int c;
    while ((c = in.get()) != EOF) {
        any = true;
        const char ch = static_cast<char>(c);
        if (quoted) {
            if (ch == '"') {
                if (in.peek() == '"') {
                    in.get();
                    field += '"';
                } else {
                    quoted = false;
                }
            } else {
                field += ch;
            }
            continue;
        }
        if (ch == '"') {
            quoted = true;
        } else if (ch == ',') {
            fields.push_back(std::move(field));
            field.clear();
        } else if (ch == '\n') {
            fields.push_back(std::move(field));
            return fields;
        } else if (ch == '\r') {
            if (in.peek() == '\n')
                in.get();
            fields.push_back(std::move(field));
            return fields;
        } else {
            field += ch;
        }
    }
    if (quoted)
        throw std::runtime_error("unterminated quoted field at the end of the input");
    if (!any)
        return std::nullopt;
    fields.push_back(std::move(field));
    return fields;
}

} // namespace tool
