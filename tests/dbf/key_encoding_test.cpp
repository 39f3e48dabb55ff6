#include <cstring>
#include <string>
#include <vector>

#include "dbf/date_key.h"
#include "dbf/errors.h"
#include "dbf/key_expression.h"
#include "dbf/numeric_key.h"
#include <gtest/gtest.h>

using namespace dbf;

namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> list)
{
    std::vector<std::uint8_t> v;
    for (int b : list)
        v.push_back(static_cast<std::uint8_t>(b));
    return v;
}

std::vector<std::uint8_t> num(std::string_view text)
{
    std::vector<std::uint8_t> k(kNumericKeyLength);
    encodeNumericKey(text, k.data());
    return k;
}

} // namespace

// The numeric keys of the format notes, byte for byte.
TEST(NumericKey, GoldenVectors)
{
    const struct
    {
        const char *text;
        std::vector<std::uint8_t> key;
    } cases[] = {
        { "0", bytes({ 0x34, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 }) },
        { "1", bytes({ 0x35, 0x09, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0 }) },
        { "-1", bytes({ 0x35, 0x89, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0 }) },
        { "100", bytes({ 0x37, 0x09, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0 }) },
        { "12345.67", bytes({ 0x39, 0x21, 0x12, 0x34, 0x56, 0x70, 0, 0, 0, 0, 0, 0 }) },
        { "0.05", bytes({ 0x33, 0x09, 0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0 }) },
        { "-0.5", bytes({ 0x34, 0x89, 0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0 }) },
        // Stored field text: blanks, trailing zeros of the decimals, a blank field.
        { "   100.00", bytes({ 0x37, 0x09, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0 }) },
        { "     -1.00", bytes({ 0x35, 0x89, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0 }) },
        { "          ", bytes({ 0x34, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 }) },
        { "   0.00", bytes({ 0x34, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 }) },
    };
    for (const auto &c : cases)
        EXPECT_EQ(num(c.text), c.key) << c.text;
    EXPECT_EQ(numericKey(12345.67),
        std::string(reinterpret_cast<const char *>(num("12345.67").data()), 12));
    EXPECT_EQ(
        numericKey(-0.5), std::string(reinterpret_cast<const char *>(num("-0.5").data()), 12));
}

TEST(NumericKey, OrdersByValueWhateverTheDigitCountByte)
{
    const char *ascending[] = { "-99999999.99", "-12345.67", "-100", "-1", "-0.5", "-0.05", "0",
        "0.05", "0.5", "1", "1.5", "9", "10", "99.99", "100", "12345.67", "99999999999" };
    const std::size_t n = std::size(ascending);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            const auto a = num(ascending[i]), b = num(ascending[j]);
            const int expect = i < j ? -1 : (i > j ? 1 : 0);
            EXPECT_EQ(compareNumericKeys(a.data(), b.data()), expect)
                << ascending[i] << " vs " << ascending[j];
        }
    // The other writers' byte 1 (exact digit count, trailing zeros kept) sorts the same.
    const auto x64hundred = bytes({ 0x37, 0x0D, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0 });
    const auto x64total = bytes({ 0x39, 0x1D, 0x12, 0x34, 0x56, 0x70, 0, 0, 0, 0, 0, 0 });
    EXPECT_EQ(compareNumericKeys(x64hundred.data(), num("100").data()), 0);
    EXPECT_EQ(compareNumericKeys(x64total.data(), num("12345.67").data()), 0);
    EXPECT_LT(compareNumericKeys(num("99.99").data(), x64hundred.data()), 0);
    EXPECT_LT(compareNumericKeys(x64hundred.data(), x64total.data()), 0);
    EXPECT_DOUBLE_EQ(decodeNumericKey(num("-12345.67").data()), -12345.67);
}

TEST(DateKey, GoldenVectorsAndOrder)
{
    std::uint8_t k[8];
    encodeDateKeyText("20240315", k);
    EXPECT_EQ(
        std::vector<std::uint8_t>(k, k + 8), bytes({ 0, 0, 0, 0x80, 0x70, 0xC5, 0x42, 0x41 }));
    EXPECT_EQ(decodeDateKey(k), 2460385.0);
    encodeDateKeyText("20000101", k);
    EXPECT_EQ(
        std::vector<std::uint8_t>(k, k + 8), bytes({ 0, 0, 0, 0x80, 0x2C, 0xB4, 0x42, 0x41 }));
    encodeDateKeyText("        ", k);
    EXPECT_EQ(decodeDateKey(k), 0.0);
    // Blank, 1900, ordinary dates and 2049 ascend by value (not by bytes).
    const char *ascending[] = { "        ", "19000101", "19991231", "20000101", "20240315",
        "20490101", "20491231" };
    for (std::size_t i = 0; i + 1 < std::size(ascending); ++i) {
        std::uint8_t a[8], b[8];
        encodeDateKeyText(ascending[i], a);
        encodeDateKeyText(ascending[i + 1], b);
        EXPECT_LT(compareDateKeys(a, b), 0) << ascending[i];
        EXPECT_GT(compareDateKeys(b, a), 0) << ascending[i];
    }
}

TEST(KeyExpression, TypesLengthsAndEvaluation)
{
    const RecordLayout layout(
        { { "CLIENT", FieldType::Character, 6, 0 }, { "PROJECT", FieldType::Character, 10, 0 },
            { "DATEBEG", FieldType::Date, 8, 0 }, { "AMOUNT", FieldType::Numeric, 10, 2 },
            { "NOTE", FieldType::Memo, 10, 0 }, { "OK", FieldType::Logical, 1, 0 } });
    std::string image = " ";
    image += "c01   ";
    image += "alpha     ";
    image += "20240315";
    image += "    -12.50";
    image += "          ";
    image += "T";
    auto eval = [&](const KeyExpression &e) {
        std::string out(e.keyLength(), '\0');
        e.evaluate(reinterpret_cast<const std::uint8_t *>(image.data()),
            reinterpret_cast<std::uint8_t *>(out.data()));
        return out;
    };

    const KeyExpression joined("Client+project", layout);
    EXPECT_EQ(joined.type(), KeyType::Character);
    EXPECT_EQ(joined.keyLength(), 16u);
    EXPECT_EQ(eval(joined), "c01   alpha     ");
    EXPECT_EQ(joined.text(), "Client+project");
    EXPECT_EQ(joined.singleField(), -1);

    const KeyExpression dated("CLIENT+DTOS(DATEBEG)", layout);
    EXPECT_EQ(eval(dated), "c01   20240315");
    const KeyExpression upper("UPPER(CLIENT)+LEFT(PROJECT,3)", layout);
    EXPECT_EQ(eval(upper), "C01   alp");

    const KeyExpression amount("amount", layout);
    EXPECT_EQ(amount.type(), KeyType::Numeric);
    EXPECT_EQ(amount.singleField(), 3);
    EXPECT_EQ(eval(amount), numericKey("-12.5"));
    const KeyExpression date("DATEBEG", layout);
    EXPECT_EQ(date.type(), KeyType::Date);
    EXPECT_EQ(eval(date), dateKey("20240315"));

    // Keys from values: every part padded to its width; fewer values give a leading part.
    EXPECT_EQ(dated.keyFromParts({ "c01", "20240315" }), "c01   20240315");
    EXPECT_EQ(joined.keyFromParts({ "c01" }), "c01   ");
    EXPECT_EQ(joined.keyFromParts({ "c0123456", "x" }), "c01234x         ");
    EXPECT_EQ(amount.keyFromParts({ "-12.50" }), numericKey("-12.5"));

    // Blank date inside DTOS: eight blanks (and no more, when LEFT shortens the part).
    image.replace(17, 8, "        ");
    EXPECT_EQ(eval(dated), "c01           ");
    const KeyExpression year("LEFT(DTOS(DATEBEG),4)+CLIENT", layout);
    EXPECT_EQ(eval(year), "    c01   ");
    image.replace(17, 8, "20241399"); // not a date: blanks as well
    const KeyExpression yearLast("CLIENT+LEFT(DTOS(DATEBEG),4)", layout);
    std::vector<std::uint8_t> out(yearLast.keyLength() + 8, 0xEE);
    yearLast.evaluate(reinterpret_cast<const std::uint8_t *>(image.data()), out.data());
    EXPECT_EQ(std::string(out.begin(), out.begin() + 10), "c01       ");
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 10, out.end()),
        std::vector<std::uint8_t>(8, 0xEE)); // nothing written past the key
    image.replace(17, 8, "19991231");
    EXPECT_EQ(eval(year), "1999c01   ");

    for (const char *bad : { "", "NOPE", "CLIENT+", "NOTE", "OK", "CLIENT+AMOUNT", "DTOS(CLIENT)",
             "SUBSTR(CLIENT,1,2)", "CLIENT)", "LEFT(CLIENT)" })
        EXPECT_THROW(KeyExpression(bad, layout), Error) << bad;
}
