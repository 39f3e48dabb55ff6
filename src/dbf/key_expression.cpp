#include "dbf/key_expression.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "dbf/date.h"
#include "dbf/date_key.h"
#include "dbf/errors.h"
#include "dbf/numeric_key.h"

namespace dbf {

namespace {

constexpr std::size_t kMaxKeyLength = 100;

std::string upper(std::string_view s)
{
    std::string r(s);
    for (char &c : r)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return r;
}

// A small recursive-descent reader over the expression text.
class Reader
{
public:
    explicit Reader(std::string_view text)
        : m_text(text)
    {
    }
    void skipBlanks()
    {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
    }
    bool atEnd()
    {
        skipBlanks();
        return m_pos == m_text.size();
    }
    bool take(char c)
    {
        skipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    std::string name()
    {
        skipBlanks();
        const std::size_t start = m_pos;
        while (m_pos < m_text.size()
            && (std::isalnum(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '_'))
            ++m_pos;
        return upper(m_text.substr(start, m_pos - start));
    }
    std::size_t number()
    {
        skipBlanks();
        std::size_t v = 0;
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9' && v < 10000)
            v = v * 10 + static_cast<std::size_t>(m_text[m_pos++] - '0');
        if (start == m_pos)
            throw std::runtime_error("number expected");
        return v;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

} // namespace

int compareKeys(KeyType type, const std::uint8_t *a, const std::uint8_t *b, std::size_t length)
{
    switch (type) {
    case KeyType::Numeric:
        return compareNumericKeys(a, b);
    case KeyType::Date:
        return compareDateKeys(a, b);
    case KeyType::Character:
        break;
    }
    const int c = std::memcmp(a, b, length);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareKeyToProbe(
    KeyType type, const std::uint8_t *key, const std::uint8_t *probe, std::size_t probeLength)
{
    return compareKeys(type, key, probe, probeLength);
}

KeyExpression::KeyExpression(std::string_view text, const RecordLayout &layout)
    : m_text(text)
{
    auto fail = [&](const std::string &why) {
        throw Error("Invalid key expression \"" + std::string(text) + "\": " + why + ".");
    };
    auto fieldNamed = [&](const std::string &name) -> std::size_t {
        auto index = layout.indexOf(name);
        if (!index)
            fail("there is no field " + name);
        return *index;
    };
    try {
        Reader r(text);
        // One part: NAME, DTOS(NAME), UPPER(part), LEFT(part, k).
        auto readPart = [&](auto &self) -> Part {
            const std::string word = r.name();
            if (word.empty())
                fail("a field name is missing");
            if (r.take('(')) {
                Part p;
                if (word == "DTOS") {
                    const std::size_t f = fieldNamed(r.name());
                    if (layout.field(f).type != FieldType::Date)
                        fail("DTOS needs a date field");
                    p = { f, layout.offset(f), 8, true, false };
                } else if (word == "UPPER") {
                    p = self(self);
                    p.upper = true;
                } else if (word == "LEFT") {
                    p = self(self);
                    if (!r.take(','))
                        fail("LEFT needs a length");
                    p.width = std::min(p.width, r.number());
                    if (p.width == 0)
                        fail("LEFT needs a length of at least 1");
                } else {
                    fail("the function " + word + " is not supported");
                }
                if (!r.take(')'))
                    fail("a closing parenthesis is missing");
                return p;
            }
            const std::size_t f = fieldNamed(word);
            const FieldDef &def = layout.field(f);
            if (def.type == FieldType::Memo || def.type == FieldType::Logical)
                fail("the field " + def.name + " cannot be a key");
            return { f, layout.offset(f), def.width, false, false };
        };

        std::vector<Part> parts;
        parts.push_back(readPart(readPart));
        while (r.take('+'))
            parts.push_back(readPart(readPart));
        if (!r.atEnd())
            fail("unexpected text");

        const FieldDef &first = layout.field(parts[0].field);
        const bool plain = parts.size() == 1 && !parts[0].dtos && !parts[0].upper;
        if (plain && (first.type == FieldType::Numeric || first.type == FieldType::Float)) {
            m_type = KeyType::Numeric;
            m_length = kNumericKeyLength;
        } else if (plain && first.type == FieldType::Date) {
            m_type = KeyType::Date;
            m_length = kDateKeyLength;
        } else {
            m_type = KeyType::Character;
            for (const Part &p : parts) {
                const FieldType t = layout.field(p.field).type;
                if (!p.dtos && t != FieldType::Character)
                    fail("only character fields and DTOS() can be joined");
                m_length += p.width;
            }
            if (m_length > kMaxKeyLength)
                fail("the key is longer than 100 characters");
        }
        if (plain)
            m_singleField = static_cast<int>(parts[0].field);
        if (m_type != KeyType::Character) {
            m_fieldOffset = parts[0].offset;
            m_fieldWidth = parts[0].width;
            m_partWidths = { m_length };
        } else {
            for (const Part &p : parts)
                m_partWidths.push_back(p.width);
        }
        m_parts = std::move(parts);
    } catch (const Error &) {
        throw;
    } catch (const std::exception &e) {
        fail(e.what());
    }
}

void KeyExpression::evaluate(const std::uint8_t *image, std::uint8_t *out) const
{
    const char *chars = reinterpret_cast<const char *>(image);
    switch (m_type) {
    case KeyType::Numeric:
        encodeNumericKey(std::string_view(chars + m_fieldOffset, m_fieldWidth), out);
        return;
    case KeyType::Date:
        encodeDateKeyText(std::string_view(chars + m_fieldOffset, m_fieldWidth), out);
        return;
    case KeyType::Character:
        break;
    }
    std::uint8_t *p = out;
    for (const Part &part : m_parts) {
        std::memcpy(p, image + part.offset, part.width);
        if (part.dtos && !Date::fromText(std::string_view(chars + part.offset, 8)))
            std::memset(p, ' ', part.width);
        if (part.upper)
            for (std::size_t i = 0; i < part.width; ++i)
                if (p[i] >= 'a' && p[i] <= 'z')
                    p[i] = static_cast<std::uint8_t>(p[i] - 'a' + 'A');
        p += part.width;
    }
}

std::string KeyExpression::keyFromParts(const std::vector<std::string> &values) const
{
    if (m_type == KeyType::Numeric)
        return numericKey(values.empty() ? std::string_view() : std::string_view(values[0]));
    if (m_type == KeyType::Date)
        return dateKey(values.empty() ? std::string_view() : std::string_view(values[0]));
    std::string key;
    for (std::size_t i = 0; i < values.size() && i < m_parts.size(); ++i) {
        std::string v = values[i].substr(0, m_parts[i].width);
        if (m_parts[i].upper)
            v = upper(v);
        v.resize(m_parts[i].width, ' ');
        key += v;
    }
    return key;
}

} // namespace dbf
