#include "dbf/dbf_header.h"

#include <cstring>
#include <string>

#include "dbf/errors.h"

namespace dbf {

namespace {

std::uint16_t u16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t u32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void put16(std::uint8_t *p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

void put32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

bool validType(char c)
{
    return c == 'C' || c == 'N' || c == 'F' || c == 'D' || c == 'L' || c == 'M';
}

// Width rules of dBASE IV; empty when the width is legal, else what is wrong.
std::string widthProblem(const FieldDef &f)
{
    switch (f.type) {
    case FieldType::Character:
        if (f.width < 1 || f.width > 254)
            return "width must be 1 to 254";
        if (f.decimals != 0)
            return "a character field has no decimals";
        break;
    case FieldType::Numeric:
    case FieldType::Float:
        if (f.width < 1 || f.width > 20)
            return "width must be 1 to 20";
        if (f.decimals > 0 && f.decimals + 2 > f.width)
            return "too many decimals for the width";
        break;
    case FieldType::Date:
        if (f.width != 8)
            return "a date field is 8 wide";
        break;
    case FieldType::Logical:
        if (f.width != 1)
            return "a logical field is 1 wide";
        break;
    case FieldType::Memo:
        if (f.width != 10)
            return "a memo field is 10 wide";
        break;
    }
    if (f.type != FieldType::Numeric && f.type != FieldType::Float && f.decimals != 0)
        return "only numeric fields have decimals";
    return {};
}

} // namespace

Date decodeHeaderDate(std::uint8_t yy, std::uint8_t mm, std::uint8_t dd)
{
    const int year = yy < 80 ? 2000 + yy : 1900 + yy;
    const Date d(year, mm, dd);
    return d.isValid() ? d : Date();
}

DbfHeader DbfHeader::parse(
    const std::filesystem::path &path, std::span<const std::uint8_t> bytes, std::uint64_t fileSize)
{
    if (bytes.size() < kFileHeaderSize || fileSize < kFileHeaderSize)
        throw CorruptFile(path, bytes.size(), "truncated table header");
    const std::uint8_t *b = bytes.data();
    DbfHeader h;
    h.version = b[0];
    if (h.version != kVersionNoMemo && h.version != kVersionMemo4 && h.version != kVersionMemo3
        && h.version != kVersionMemo4Other)
        throw Unsupported(path.filename().string() + ": not a dBASE IV table (version byte "
            + std::to_string(h.version) + ")");
    if (b[15] != 0)
        throw Unsupported(path.filename().string() + ": the table is encrypted");
    h.lastUpdate = decodeHeaderDate(b[1], b[2], b[3]);
    h.recordCount = u32(b + 4);
    h.headerLength = u16(b + 8);
    const std::uint32_t recordLength = u16(b + 10);
    h.productionIndex = b[28];
    h.languageDriver = b[29];

    if (h.headerLength < kFileHeaderSize + 1)
        throw CorruptFile(
            path, 8, "header length " + std::to_string(h.headerLength) + " is too small");
    if (h.headerLength > fileSize || h.headerLength > bytes.size())
        throw CorruptFile(path, 8,
            "header length " + std::to_string(h.headerLength) + " runs past the end of the file");

    std::vector<FieldDef> fields;
    std::size_t pos = kFileHeaderSize;
    for (;;) {
        if (pos >= h.headerLength)
            throw CorruptFile(path, pos, "field descriptors have no terminator");
        if (b[pos] == kTerminator)
            break;
        if (pos + kDescriptorSize > h.headerLength)
            throw CorruptFile(path, pos, "field descriptor runs past the header length");
        const std::uint8_t *d = b + pos;
        FieldDef f;
        std::size_t nameLen = 0;
        while (nameLen < 11 && d[nameLen] != 0)
            ++nameLen;
        f.name.assign(reinterpret_cast<const char *>(d), nameLen);
        while (!f.name.empty() && f.name.back() == ' ')
            f.name.pop_back();
        const char type = static_cast<char>(d[11]);
        if (!validType(type))
            throw CorruptFile(path, pos + 11,
                "field " + f.name + " has an unknown type '" + std::string(1, type) + "'");
        f.type = static_cast<FieldType>(type);
        f.width = d[16];
        f.decimals = d[17];
        if (f.width == 0)
            throw CorruptFile(path, pos + 16, "field " + f.name + " has width 0");
        if (fields.size() == kMaxFields)
            throw CorruptFile(path, pos, "more than 255 fields");
        fields.push_back(f);
        h.fieldIndexFlags.push_back(d[31]);
        pos += kDescriptorSize;
    }
    if (fields.empty())
        throw CorruptFile(path, kFileHeaderSize, "the table has no fields");
    h.layout = RecordLayout(std::move(fields));
    if (h.layout.recordLength() != recordLength)
        throw CorruptFile(path, 10,
            "record length " + std::to_string(recordLength) + " disagrees with the fields ("
                + std::to_string(h.layout.recordLength()) + ")");
    const std::uint64_t end =
        h.headerLength + static_cast<std::uint64_t>(h.recordCount) * recordLength;
    if (end > fileSize)
        throw CorruptFile(path, 4,
            "record count " + std::to_string(h.recordCount) + " runs past the end of the file");
    return h;
}

std::vector<std::uint8_t> DbfHeader::serialize() const
{
    const std::size_t n = layout.fieldCount();
    std::vector<std::uint8_t> out(kFileHeaderSize + kDescriptorSize * n + 1, 0);
    std::uint8_t *b = out.data();
    b[0] = version;
    const Date d = lastUpdate.isNull() ? Date::today() : lastUpdate;
    b[1] = static_cast<std::uint8_t>(d.year() - 1900);
    b[2] = static_cast<std::uint8_t>(d.month());
    b[3] = static_cast<std::uint8_t>(d.day());
    put32(b + 4, recordCount);
    put16(b + 8, static_cast<std::uint32_t>(out.size()));
    put16(b + 10, layout.recordLength());
    b[28] = productionIndex;
    b[29] = languageDriver;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t *desc = b + kFileHeaderSize + kDescriptorSize * i;
        const FieldDef &f = layout.field(i);
        std::memcpy(desc, f.name.data(), std::min<std::size_t>(f.name.size(), 10));
        desc[11] = static_cast<std::uint8_t>(f.type);
        desc[16] = f.width;
        desc[17] = f.decimals;
        desc[31] = i < fieldIndexFlags.size() ? fieldIndexFlags[i] : 0;
    }
    out.back() = kTerminator;
    return out;
}

void DbfHeader::validateFields(std::vector<FieldDef> &fields)
{
    if (fields.empty())
        throw Error("A table needs at least one field.");
    if (fields.size() > kMaxFields)
        throw Error("A table has at most 255 fields.");
    std::uint32_t length = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        FieldDef &f = fields[i];
        for (char &c : f.name)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        bool nameOk =
            !f.name.empty() && f.name.size() <= 10 && f.name[0] >= 'A' && f.name[0] <= 'Z';
        for (char c : f.name)
            if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
                nameOk = false;
        if (!nameOk)
            throw Error("Invalid field name \"" + f.name + "\".");
        for (std::size_t j = 0; j < i; ++j)
            if (fields[j].name == f.name)
                throw Error("Duplicate field name " + f.name + ".");
        if (!validType(static_cast<char>(f.type)))
            throw Error("Field " + f.name + " has an unknown type.");
        const std::string problem = widthProblem(f);
        if (!problem.empty())
            throw Error("Field " + f.name + ": " + problem + ".");
        length += f.width;
    }
    if (length > kMaxRecordLength)
        throw Error("Record length " + std::to_string(length) + " exceeds 4000 bytes.");
}

} // namespace dbf
