#include <map>

#include "../dbf/test_dir.h"
#include "dbf/cursor.h"
#include "run_tool.h"
#include <gtest/gtest.h>

using namespace dbf;

// Tables written by this engine, read back by Perl XBase (dbf_dump) and GDAL (ogrinfo).

namespace {

// One row as written; a blank number or date is std::nullopt.
struct Row
{
    std::string name;
    std::optional<double> amount; // N(10,2)
    std::optional<double> count; // N(5,0)
    std::optional<double> rate; // F(12,4)
    Date when;
    std::optional<bool> ok;
    std::string note;
    bool deleted = false;
};

std::string memoText(std::size_t length, char seed)
{
    std::string text;
    const std::string line = std::string("Line, \"quoted\" and ") + seed + "\r\n";
    while (text.size() < length)
        text += line;
    text.resize(length);
    return text;
}

std::vector<Row> rows()
{
    return {
        { "ALPHA", 1234.5, 42, 3.1416, Date(2024, 3, 15), true, "", false },
        { "Bravo two", -0.75, -7, -0.0001, Date(1999, 12, 31), false, "!", false },
        { "DELETED", 1, 1, 1, Date(2000, 1, 1), true, "gone", true },
        { "", std::nullopt, std::nullopt, std::nullopt, Date(), std::nullopt, memoText(511, 'a'),
            false },
        { "E", 0, 0, 0, Date(2024, 2, 29), false, memoText(512, 'b'), false },
        { "F", 9999999.99, 99999, -999999.9999, Date(1900, 1, 1), true, memoText(513, 'c'), false },
        { "G", -999999.99, -9999, 0.5, Date(2099, 12, 31), std::nullopt, memoText(5000, 'd'),
            false },
    };
}

void writeTable(const std::filesystem::path &path)
{
    Table::create(path,
        { { "NAME", FieldType::Character, 10, 0 }, { "AMOUNT", FieldType::Numeric, 10, 2 },
            { "COUNT", FieldType::Numeric, 5, 0 }, { "RATE", FieldType::Float, 12, 4 },
            { "WHEN", FieldType::Date, 8, 0 }, { "OK", FieldType::Logical, 1, 0 },
            { "NOTE", FieldType::Memo, 10, 0 } });
    auto table = Table::open(path, OpenMode::Shared);
    Cursor c(*table);
    for (const Row &r : rows()) {
        c.append();
        c.setText("NAME", r.name);
        if (r.amount)
            c.setNumber("AMOUNT", *r.amount);
        if (r.count)
            c.setNumber("COUNT", *r.count);
        if (r.rate)
            c.setNumber("RATE", *r.rate);
        c.setDate("WHEN", r.when);
        if (r.ok)
            c.setLogical("OK", *r.ok);
        c.setMemo("NOTE", r.note);
        c.post();
        if (r.deleted)
            c.remove();
    }
    table->flush();
}

void expectNumber(
    const std::string &shown, const std::optional<double> &expected, const std::string &blank)
{
    if (!expected) {
        EXPECT_EQ(shown, blank);
        return;
    }
    ASSERT_FALSE(shown.empty());
    EXPECT_DOUBLE_EQ(std::stod(shown), *expected) << shown;
}

} // namespace

TEST(ForeignReader, PerlXBaseReadsEveryFieldAndMemo)
{
    TestDir dir;
    writeTable(dir / "OURS.DBF");
    // Unit and record separators keep memo text with commas and line breaks intact.
    const ToolResult r =
        runTool("dbf_dump --fs '\x1f' --rs '\x1e' " + shellQuote((dir / "OURS.DBF").string()));
    ASSERT_EQ(r.status, 0) << r.output;
    std::vector<std::string> records = split(r.output, '\x1e');
    ASSERT_FALSE(records.empty());
    ASSERT_EQ(records.back(), "");
    records.pop_back();

    std::vector<Row> live;
    for (const Row &row : rows())
        if (!row.deleted)
            live.push_back(row);
    ASSERT_EQ(records.size(), live.size()) << r.output.substr(0, 400);
    for (std::size_t i = 0; i < live.size(); ++i) {
        SCOPED_TRACE(live[i].name);
        const std::vector<std::string> f = split(records[i], '\x1f');
        ASSERT_EQ(f.size(), 7u);
        EXPECT_EQ(f[0], live[i].name);
        expectNumber(f[1], live[i].amount, "");
        expectNumber(f[2], live[i].count, "");
        expectNumber(f[3], live[i].rate, "");
        EXPECT_EQ(f[4], live[i].when.isNull() ? "" : live[i].when.toText());
        EXPECT_EQ(f[5], live[i].ok ? (*live[i].ok ? "1" : "0") : "");
        EXPECT_EQ(f[6], live[i].note);
    }
}

TEST(ForeignReader, GdalReadsFieldsNumbersDatesAndTheHeaderDate)
{
    TestDir dir;
    writeTable(dir / "OURS.DBF");
    const ToolResult r = runTool("ogrinfo -ro -al " + shellQuote((dir / "OURS.DBF").string()));
    ASSERT_EQ(r.status, 0) << r.output;

    const std::string today = Date::today().toText();
    EXPECT_NE(r.output.find("DBF_DATE_LAST_UPDATE=" + today.substr(0, 4) + "-" + today.substr(4, 2)
                  + "-" + today.substr(6, 2)),
        std::string::npos)
        << r.output.substr(0, 400);
    EXPECT_NE(r.output.find("Feature Count: 7"), std::string::npos); // deleted one counted
    for (const char *declaration :
        { "NAME: String (10.0)", "AMOUNT: Real (10.2)", "COUNT: Integer (5.0)", "RATE: Real (12.4)",
            "WHEN: Date (10.0)", "OK: String (1.0)", "NOTE: String (10.0)" })
        EXPECT_NE(r.output.find(declaration), std::string::npos) << declaration;

    // "  FIELD (Type) = value" lines, one block per listed feature.
    std::vector<std::map<std::string, std::string>> features;
    for (const std::string &line : split(r.output, '\n')) {
        if (line.rfind("OGRFeature(", 0) == 0) {
            features.emplace_back();
            continue;
        }
        const std::size_t open = line.find(" ("), eq = line.find(") = ");
        if (features.empty() || line.rfind("  ", 0) != 0 || open == std::string::npos
            || eq == std::string::npos)
            continue;
        features.back()[line.substr(2, open - 2)] = line.substr(eq + 4);
    }
    std::vector<Row> live;
    for (const Row &row : rows())
        if (!row.deleted)
            live.push_back(row);
    ASSERT_EQ(features.size(), live.size()); // deleted records are not listed
    auto blankOr = [](const std::string &text) {
        return text.empty() ? std::string("(null)") : text;
    };
    for (std::size_t i = 0; i < live.size(); ++i) {
        SCOPED_TRACE(live[i].name);
        auto &f = features[i];
        EXPECT_EQ(f["NAME"], blankOr(live[i].name));
        expectNumber(f["AMOUNT"] == "(null)" ? "" : f["AMOUNT"], live[i].amount, "");
        expectNumber(f["COUNT"] == "(null)" ? "" : f["COUNT"], live[i].count, "");
        expectNumber(f["RATE"] == "(null)" ? "" : f["RATE"], live[i].rate, "");
        const std::string d = live[i].when.toText();
        if (live[i].when.isNull()) {
            EXPECT_EQ(f.count("WHEN"), 0u);
        } else {
            EXPECT_EQ(f["WHEN"], d.substr(0, 4) + "/" + d.substr(4, 2) + "/" + d.substr(6, 2));
        }
        EXPECT_EQ(f["OK"], live[i].ok ? (*live[i].ok ? "T" : "F") : "(null)");
        EXPECT_EQ(f["NOTE"] == "(null)", live[i].note.empty());
    }
}
