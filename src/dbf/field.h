#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dbf {

// 1-based physical record number; 0 means "no record".
using RecNo = std::uint32_t;

enum class FieldType : char {
    Character = 'C',
    Numeric = 'N',
    Float = 'F',
    Date = 'D',
    Logical = 'L',
    Memo = 'M',
};

// One column of a table as declared in its header. Widths: C 1..254, N/F 1..20, D 8, L 1, M 10.
struct FieldDef
{
    std::string name; // upper case, at most 10 characters
    FieldType type = FieldType::Character;
    std::uint8_t width = 0;
    std::uint8_t decimals = 0;

    bool operator==(const FieldDef &) const = default;
};

// The fields of a table with the byte offset of each inside a record image. Byte 0 of a record
// is the deletion mark, so the first field starts at offset 1.
class RecordLayout
{
public:
    RecordLayout() = default;
    explicit RecordLayout(std::vector<FieldDef> fields)
        : m_fields(std::move(fields))
    {
        std::uint32_t offset = 1;
        for (const FieldDef &f : m_fields) {
            m_offsets.push_back(offset);
            offset += f.width;
        }
        m_recordLength = offset;
    }

    const std::vector<FieldDef> &fields() const { return m_fields; }
    std::size_t fieldCount() const { return m_fields.size(); }
    const FieldDef &field(std::size_t i) const { return m_fields.at(i); }
    std::uint32_t offset(std::size_t i) const { return m_offsets.at(i); }
    std::uint32_t recordLength() const { return m_recordLength; }
    bool hasMemo() const
    {
        for (const FieldDef &f : m_fields)
            if (f.type == FieldType::Memo)
                return true;
        return false;
    }

    // Field position by name, compared without regard to case; nullopt when there is none.
    std::optional<std::size_t> indexOf(std::string_view name) const
    {
        for (std::size_t i = 0; i < m_fields.size(); ++i)
            if (equalsIgnoreCase(m_fields[i].name, name))
                return i;
        return std::nullopt;
    }

    static bool equalsIgnoreCase(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            char x = a[i], y = b[i];
            if (x >= 'a' && x <= 'z')
                x = static_cast<char>(x - 'a' + 'A');
            if (y >= 'a' && y <= 'z')
                y = static_cast<char>(y - 'a' + 'A');
            if (x != y)
                return false;
        }
        return true;
    }

private:
    std::vector<FieldDef> m_fields;
    std::vector<std::uint32_t> m_offsets;
    std::uint32_t m_recordLength = 1;
};

} // namespace dbf
