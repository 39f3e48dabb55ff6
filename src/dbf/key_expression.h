#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/field.h"

namespace dbf {

enum class KeyType : char { Character = 'C', Numeric = 'N', Date = 'D' };

// Compares two stored keys of a tag: character keys as unsigned bytes, numeric and date keys by
// value. <0, 0, >0.
int compareKeys(KeyType type, const std::uint8_t *a, const std::uint8_t *b, std::size_t length);
// Compares a stored key with a search key of `probeLength` bytes. A character search key
// shorter than the key compares with the key's first bytes only (a partial key); numeric and
// date search keys are always whole.
int compareKeyToProbe(
    KeyType type, const std::uint8_t *key, const std::uint8_t *probe, std::size_t probeLength);

// A tag's key expression, parsed once against a table's layout and evaluated over raw record
// images. The forms understood (names of fields and functions without regard to case):
//   FIELD                   a C, N, F or D field: a character, numeric or date key
//   A+B+...                 character parts joined, each at its full width
//   DTOS(datefield)         the date as YYYYMMDD (8 blanks when blank), a character part
//   UPPER(part)             the part in upper case
//   LEFT(part, k)           the first k characters of the part
// Character keys are at most 100 bytes. The text is kept exactly as given.
class KeyExpression
{
public:
    // Throws Error naming the expression when it cannot be parsed or names no such field.
    KeyExpression(std::string_view text, const RecordLayout &layout);

    const std::string &text() const { return m_text; }
    KeyType type() const { return m_type; }
    std::size_t keyLength() const { return m_length; }
    // The field of a single-field key, or -1.
    int singleField() const { return m_singleField; }
    // Width of each character part, in order (one entry for numeric and date keys).
    const std::vector<std::size_t> &partWidths() const { return m_partWidths; }

    // Writes keyLength() bytes for the record image (deletion byte first).
    void evaluate(const std::uint8_t *image, std::uint8_t *out) const;

    // A search key from values, one per part: character parts are padded with blanks (or cut)
    // to their widths, DTOS parts take YYYYMMDD, numeric keys a number, date keys YYYYMMDD.
    // Fewer values than parts give a partial (leading) key.
    std::string keyFromParts(const std::vector<std::string> &parts) const;

private:
    struct Part
    {
        std::size_t field = 0;
        std::size_t offset = 0; // in the record image
        std::size_t width = 0; // bytes taken from the field
        bool dtos = false;
        bool upper = false;
    };
    std::string m_text;
    KeyType m_type = KeyType::Character;
    std::size_t m_length = 0;
    int m_singleField = -1;
    std::vector<Part> m_parts;
    std::vector<std::size_t> m_partWidths;
    std::size_t m_fieldOffset = 0; // numeric and date keys
    std::size_t m_fieldWidth = 0;
};

} // namespace dbf
