#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <set>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/table.h"
#include "store/schema.h"
#include "store/store_error.h"
#include "store/template_writer.h"
#include "temp_dir.h"
#include <gtest/gtest.h>

namespace {

using dbf::FieldType;
using store::TableDef;

std::string upper(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The parts of a key expression joined by '+', DTOS(x) reduced to x.
std::vector<std::string> keyParts(const std::string &key)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find('+', start);
        if (end == std::string::npos)
            end = key.size();
        std::string part = upper(key.substr(start, end - start));
        if (part.rfind("DTOS(", 0) == 0 && part.back() == ')')
            part = part.substr(5, part.size() - 6);
        parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

TEST(Schema, FieldsAreValidDbaseFieldsWithinTheRecordLimit)
{
    ASSERT_EQ(store::tables().size(), 11u);
    for (const TableDef &t : store::tables()) {
        SCOPED_TRACE(t.name);
        std::set<std::string> names;
        std::size_t length = 1;
        for (const dbf::FieldDef &f : t.fields) {
            EXPECT_LE(f.name.size(), 10u) << f.name;
            EXPECT_EQ(f.name, upper(f.name));
            EXPECT_TRUE(names.insert(f.name).second) << "duplicate " << f.name;
            length += f.width;
        }
        EXPECT_LE(length, 4000u);
        EXPECT_EQ(t.hasMemo(),
            std::ranges::find(store::memoCheckOrder(), t.name) != store::memoCheckOrder().end());
        EXPECT_EQ(t.hasIndex(),
            std::ranges::find(store::indexCheckOrder(), t.name) != store::indexCheckOrder().end());
    }
}

TEST(Schema, EveryTagKeyNamesFieldsOfItsTableAndFitsAKey)
{
    for (const TableDef &t : store::tables()) {
        dbf::RecordLayout layout(t.fields);
        std::set<std::string> tagNames;
        for (const store::TagDef &tag : t.tags) {
            SCOPED_TRACE(t.name + "." + tag.name);
            EXPECT_LE(tag.name.size(), 10u);
            EXPECT_TRUE(tagNames.insert(upper(tag.name)).second);
            const auto parts = keyParts(tag.key);
            EXPECT_EQ(tag.expression, parts.size() > 1);
            std::size_t keyLength = 0;
            for (const std::string &part : parts) {
                const auto index = layout.indexOf(part);
                ASSERT_TRUE(index) << part;
                const dbf::FieldDef &f = layout.field(*index);
                EXPECT_NE(f.type, FieldType::Memo);
                if (parts.size() > 1) {
                    EXPECT_TRUE(f.type == FieldType::Character || f.type == FieldType::Date);
                }
                keyLength += f.width;
            }
            EXPECT_LE(keyLength, 100u);
        }
    }
}

TEST(Schema, CheckOrdersNameEachTableOnce)
{
    for (auto order : { store::tableCheckOrder(), store::packOrder() }) {
        std::set<std::string_view> seen(order.begin(), order.end());
        EXPECT_EQ(seen.size(), 11u);
        for (std::string_view name : order)
            EXPECT_NE(store::findTable(name), nullptr) << name;
    }
    EXPECT_EQ(store::indexCheckOrder().size(), 9u);
    EXPECT_NE(store::findTable("twslip"), nullptr);
    EXPECT_EQ(store::findTable("TWSLIPS"), nullptr);
    EXPECT_THROW(store::table("NOSUCH"), store::StoreError);
}

TEST(Schema, SlipTagsAreAddedInOrderWithTheDateTagLast)
{
    const TableDef &slip = store::table("TWSLIP");
    std::vector<std::string> names;
    for (const auto &tag : slip.tags)
        names.push_back(tag.name);
    EXPECT_EQ(names,
        (std::vector<std::string>{ "SL_Client", "SL_Invoice", "SL_Number", "SL_CPrjAct", "SL_CProj",
            "SL_CAct", "SL_ActOnly", "SL_PrjOnly", "SL_CDate" }));
    EXPECT_EQ(slip.tags.back().key, store::kSlipDateExpression);
    const store::TagDef repair = store::slipDateRepairTag();
    EXPECT_TRUE(repair.primary && repair.expression && !repair.unique);
    EXPECT_EQ(repair.key, "SL_CLIENT+DTOS(SL_DATEBEG)");
}

// The widths promised for values the program stores: each value is written through the engine
// into a real table and must come back exactly, and the first value that no longer fits must
// be refused.
struct ValueCase
{
    const char *table;
    const char *field;
    double fits;
    double tooBig;
};

class SchemaValues : public ::testing::TestWithParam<ValueCase>
{
};

TEST_P(SchemaValues, FieldHoldsItsLargestValueExactly)
{
    const ValueCase c = GetParam();
    TempDir dir;
    store::createTemplateTable(dir.path(), store::table(c.table));
    auto table = dbf::Table::open(dir.path(), c.table, dbf::OpenMode::Shared);
    dbf::Cursor cursor(*table);
    cursor.append();
    EXPECT_THROW(cursor.setNumber(c.field, c.tooBig), dbf::Error);
    cursor.setNumber(c.field, c.fits);
    cursor.post();
    cursor.last();
    EXPECT_EQ(cursor.number(c.field), c.fits);
}

INSTANTIATE_TEST_SUITE_P(Widths, SchemaValues,
    ::testing::Values(ValueCase{ "TWSLIP", "SL_NUMBER", 9999999999.0, 1e10 },
        ValueCase{ "TWSLIP", "SL_INVOICE", -1.0, 1e10 },
        ValueCase{ "TWSLIP", "SL_HOURS", 1234.5678, 1e8 },
        ValueCase{ "TWSLIP", "SL_TOTAL", 99999999999.99, 1e11 },
        ValueCase{ "TWSLIP", "SL_RATE", 123456789.25, 1e9 },
        ValueCase{ "TWINVOIC", "INV_PAID", -9999999999.99, -1e11 },
        ValueCase{ "TWCLIENT", "D_HOURS5", 0.0001, 1e8 },
        ValueCase{ "TWTRACK", "NEXTCLIENT", 999999.0, 1e10 },
        ValueCase{ "TWEMPMS", "EMPLEVEL", 32767.0, 1e6 },
        ValueCase{ "TWACT", "TAXRATE", 8.875, 1000.0 }),
    [](const auto &param) { return std::string(param.param.field); });

} // namespace
