// Our index files read by Perl's XBase::Index: every tag lists the same keys with the same
// record numbers in the same order as our cursor walks them. Numeric and date keys are compared
// by value; the Perl module hands them over as raw bytes.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "../dbf/test_dir.h"
#include "dbf/btree.h"
#include "dbf/cursor.h"
#include "dbf/date_key.h"
#include "dbf/key_expression.h"
#include "dbf/mdx_check.h"
#include "dbf/mdx_index.h"
#include "dbf/numeric_key.h"
#include "run_tool.h"
#include <gtest/gtest.h>

using namespace dbf;

namespace {

std::string listScript()
{
    return shellQuote(std::string(TARNW_SOURCE_DIR) + "/tests/interop/mdx_list_tag.pl");
}

bool perlIndexAvailable()
{
    return runTool("perl -MXBase::Index -e 1").status == 0;
}

struct Entry
{
    std::string key;
    RecNo recNo = 0;
};

std::string unhex(const std::string &hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<Entry> perlListing(const std::filesystem::path &mdx, const std::string &tag)
{
    const ToolResult r =
        runTool("perl " + listScript() + " " + shellQuote(mdx.string()) + " " + shellQuote(tag));
    EXPECT_EQ(r.status, 0) << r.output;
    std::vector<Entry> out;
    for (const std::string &line : split(r.output, '\n')) {
        if (line.empty())
            continue;
        const auto parts = split(line, '\t');
        if (parts.size() != 2) {
            ADD_FAILURE() << "unexpected line from Perl: " << line;
            break;
        }
        out.push_back({ unhex(parts[0]), static_cast<RecNo>(std::stoul(parts[1])) });
    }
    return out;
}

std::vector<Entry> ourListing(Table &table, const std::string &tag)
{
    Cursor c(table);
    c.setTag(tag);
    int index = -1;
    for (std::size_t i = 0; i < table.tags().size(); ++i)
        if (table.tags()[i].name == tag)
            index = static_cast<int>(i);
    const KeyExpression expression(
        table.tags().at(static_cast<std::size_t>(index)).expression, table.layout());
    std::vector<Entry> out;
    for (bool ok = c.first(); ok; ok = c.next()) {
        std::string key(expression.keyLength(), '\0');
        expression.evaluate(c.image(), reinterpret_cast<std::uint8_t *>(key.data()));
        out.push_back({ key, c.recNo() });
    }
    return out;
}

std::string rtrim(std::string s)
{
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

void expectSameListing(Table &table, const std::filesystem::path &mdx)
{
    for (const TagInfo &tag : table.tags()) {
        SCOPED_TRACE(table.name() + "." + tag.name);
        const auto ours = ourListing(table, tag.name);
        const auto theirs = perlListing(mdx, tag.name);
        ASSERT_EQ(theirs.size(), ours.size());
        ASSERT_FALSE(ours.empty());
        for (std::size_t i = 0; i < ours.size(); ++i) {
            ASSERT_EQ(theirs[i].recNo, ours[i].recNo) << "entry " << i;
            const auto *a = reinterpret_cast<const std::uint8_t *>(theirs[i].key.data());
            const auto *b = reinterpret_cast<const std::uint8_t *>(ours[i].key.data());
            switch (tag.keyType) {
            case 'N':
                ASSERT_EQ(theirs[i].key.size(), kNumericKeyLength);
                ASSERT_EQ(decodeNumericKey(a), decodeNumericKey(b)) << "entry " << i;
                break;
            case 'D':
                ASSERT_EQ(theirs[i].key.size(), kDateKeyLength);
                ASSERT_EQ(decodeDateKey(a), decodeDateKey(b)) << "entry " << i;
                break;
            default:
                ASSERT_EQ(rtrim(theirs[i].key), rtrim(ours[i].key)) << "entry " << i;
            }
        }
    }
}

std::size_t depth(Table &table, std::size_t tag)
{
    auto *index = dynamic_cast<MdxIndex *>(table.indexHooks());
    MdxReadSession session(index->file());
    BTree tree(index->file(), tag);
    BTree::Path p;
    tree.seekFirst(p);
    return p.levels.size();
}

void fill(Table &table, int count, std::mt19937 &rng)
{
    auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    Cursor c(table);
    for (int i = 0; i < count; ++i) {
        c.append();
        c.setText("NAME", "N" + std::to_string(below(100000)) + std::string(below(20), 'x'));
        c.setText("CODE", std::string(1, static_cast<char>('A' + below(26))));
        char day[48];
        std::snprintf(
            day, sizeof day, "%04d%02d%02d", 1900 + below(150), 1 + below(12), 1 + below(28));
        c.setText("DAY", below(50) == 0 ? "" : day);
        c.setNumber("AMT", (below(2000001) - 1000000) / 100.0);
        c.post();
    }
    // Some edits and deletes so that the tags have been changed in place too.
    for (int i = 0; i < count / 20; ++i) {
        if (!c.gotoRecNo(static_cast<RecNo>(1 + below(count))))
            continue;
        if (i % 3 == 0) {
            c.remove();
        } else {
            c.edit();
            c.setNumber("AMT", below(1000) - 500);
            c.setText("NAME", "EDITED" + std::to_string(i));
            c.post();
        }
    }
}

const std::vector<FieldDef> kFields = { { "NAME", FieldType::Character, 40, 0 },
    { "CODE", FieldType::Character, 3, 0 }, { "DAY", FieldType::Date, 8, 0 },
    { "AMT", FieldType::Numeric, 12, 2 } };

void addTags(Table &t)
{
    t.addTag("NAME", "NAME");
    t.addTag("AMT", "AMT");
    t.addTag("DAY", "DAY");
    t.addTag("CODEDAY", "CODE+DTOS(DAY)");
}

} // namespace

TEST(MdxPerlInterop, TagsGrownByInsertsListTheSameInPerl)
{
    if (!perlIndexAvailable())
        GTEST_SKIP() << "Perl XBase::Index is not installed";
    TestDir dir;
    Table::create(dir / "GROWN.DBF", kFields);
    auto t = Table::open(dir / "GROWN.DBF", OpenMode::Exclusive);
    addTags(*t);
    std::mt19937 rng(7);
    fill(*t, 12000, rng);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_GE(depth(*t, i), 3u) << t->tags()[i].name;
    EXPECT_TRUE(checkIndex(*t).empty());
    t->flush();
    expectSameListing(*t, dir / "GROWN.MDX");
}

TEST(MdxPerlInterop, TagsBuiltFromRecordsAndAfterPackListTheSameInPerl)
{
    if (!perlIndexAvailable())
        GTEST_SKIP() << "Perl XBase::Index is not installed";
    TestDir dir;
    Table::create(dir / "built.dbf", kFields);
    auto t = Table::open(dir / "built.dbf", OpenMode::Exclusive);
    std::mt19937 rng(11);
    fill(*t, 3000, rng);
    addTags(*t);
    t->addTag("UNAME", "UPPER(NAME)", { true, false, true });
    expectSameListing(*t, dir / "built.mdx");
    t->pack();
    expectSameListing(*t, dir / "built.mdx");
}

// Tags whose blocks were split copy-on-write again and again by key-moving edits of a shared
// open (blocks left unused in between) still list every key in order for Perl.
TEST(MdxPerlInterop, TagsAfterManyKeyMovingEditsListTheSameInPerl)
{
    if (!perlIndexAvailable())
        GTEST_SKIP() << "Perl XBase::Index is not installed";
    TestDir dir;
    Table::create(dir / "EDITED.DBF", kFields);
    std::mt19937 rng(23);
    {
        auto t = Table::open(dir / "EDITED.DBF", OpenMode::Exclusive);
        fill(*t, 2000, rng);
        addTags(*t);
    }
    auto t = Table::open(dir / "EDITED.DBF", OpenMode::Shared);
    const std::uintmax_t before = std::filesystem::file_size(dir / "EDITED.MDX");
    Cursor c(*t);
    auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (int i = 0; i < 12000; ++i) {
        if (!c.gotoRecNo(static_cast<RecNo>(1 + below(2000))))
            continue; // deleted by fill()
        c.edit();
        c.setText("NAME", "M" + std::to_string(below(100000)));
        c.setNumber("AMT", (below(2000001) - 1000000) / 100.0);
        c.setText("CODE", std::string(1, static_cast<char>('A' + below(26))));
        c.post();
    }
    EXPECT_GT(std::filesystem::file_size(dir / "EDITED.MDX"), before);
    EXPECT_TRUE(checkIndex(*t).empty());
    t->flush();
    expectSameListing(*t, dir / "EDITED.MDX");
}
