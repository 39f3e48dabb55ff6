#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/mdx_check.h"
#include "dbf/numeric_key.h"
#include "test_dir.h"
#include <gtest/gtest.h>

using namespace dbf;

namespace {

class MdxTagTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Table::create(m_dir / "SAMPLE.DBF",
            { { "NAME", FieldType::Character, 10, 0 }, { "CLIENT", FieldType::Character, 6, 0 },
                { "DAY", FieldType::Date, 8, 0 }, { "AMT", FieldType::Numeric, 8, 2 },
                { "NOTE", FieldType::Memo, 10, 0 } });
        open(OpenMode::Exclusive);
    }
    void open(OpenMode mode)
    {
        m_table.reset();
        m_table = Table::open(m_dir / "SAMPLE.DBF", mode);
    }
    void add(const std::string &name, const std::string &client, const std::string &day, double amt)
    {
        Cursor c(*m_table);
        c.append();
        c.setText("NAME", name);
        c.setText("CLIENT", client);
        c.setText("DAY", day);
        c.setNumber("AMT", amt);
        c.post();
    }
    static std::vector<std::string> names(Cursor &c)
    {
        std::vector<std::string> out;
        for (bool ok = c.first(); ok; ok = c.next())
            out.push_back(c.text("NAME"));
        return out;
    }
    static std::vector<std::string> namesBackward(Cursor &c)
    {
        std::vector<std::string> out;
        for (bool ok = c.last(); ok; ok = c.prior())
            out.push_back(c.text("NAME"));
        std::reverse(out.begin(), out.end());
        return out;
    }

    TestDir m_dir;
    std::unique_ptr<Table> m_table;
};

using Names = std::vector<std::string>;

} // namespace

// The first tag makes the index file in the standard layout: header page 4, root page 6,
// 8 pages; the table gets its production flag and the field its tag flag.
TEST_F(MdxTagTest, FirstTagCreatesTheIndexFileInTheStandardLayout)
{
    add("BAKER", "", "", 0);
    add("ADAMS", "", "", 0);
    add("CLARK", "", "", 0);
    EXPECT_FALSE(m_table->hasProductionIndex());
    m_table->addTag("name", "NAME");
    EXPECT_TRUE(m_table->hasProductionIndex());

    const auto mdx = readBytes(m_dir / "SAMPLE.MDX");
    ASSERT_EQ(mdx.size(), 4096u);
    EXPECT_EQ(mdx[0], 0x02);
    EXPECT_EQ(std::string(mdx.begin() + 4, mdx.begin() + 10), "SAMPLE");
    EXPECT_EQ(mdx[20], 2);
    EXPECT_EQ(mdx[22] | mdx[23] << 8, 1024);
    EXPECT_EQ(mdx[24], 1);
    EXPECT_EQ(mdx[25], 48);
    EXPECT_EQ(mdx[26], 32);
    EXPECT_EQ(mdx[28], 1);
    EXPECT_EQ(mdx[32], 8); // pages
    EXPECT_EQ(mdx[529], 1);
    EXPECT_EQ(mdx[544], 4); // tag header page
    EXPECT_EQ(std::string(mdx.begin() + 548, mdx.begin() + 552), "NAME");
    EXPECT_EQ(mdx[559], 0x10);
    EXPECT_EQ(mdx[563], 0x02);
    EXPECT_EQ(mdx[564], 'C');
    EXPECT_EQ(mdx[0x800], 6); // root page
    EXPECT_EQ(mdx[0x80C], 10); // key length
    EXPECT_EQ(mdx[0x80E], 63); // max keys
    EXPECT_EQ(mdx[0x812], 16); // item length
    EXPECT_EQ(std::string(mdx.begin() + 0x818, mdx.begin() + 0x81C), "NAME");
    EXPECT_EQ(mdx[0x800 + 246], 1); // the tag has keys
    // Root leaf: 3 keys ADAMS 2, BAKER 1, CLARK 3, then a zero pointer.
    EXPECT_EQ(mdx[0xC00], 3);
    EXPECT_EQ(mdx[0xC08], 2);
    EXPECT_EQ(std::string(mdx.begin() + 0xC0C, mdx.begin() + 0xC16), "ADAMS     ");
    EXPECT_EQ(mdx[0xC18], 1);
    EXPECT_EQ(mdx[0xC28], 3);
    EXPECT_EQ(mdx[0xC38] | mdx[0xC39] | mdx[0xC3A] | mdx[0xC3B], 0);

    const auto dbf = readBytes(m_dir / "SAMPLE.DBF");
    EXPECT_EQ(dbf[28], 1);
    EXPECT_EQ(dbf[32 + 31], 1); // NAME carries a tag of its own
    EXPECT_EQ(dbf[64 + 31], 0);
}

TEST_F(MdxTagTest, EmptyTagSaysSoUntilItsFirstKey)
{
    m_table->addTag("NAME", "NAME");
    EXPECT_EQ(readBytes(m_dir / "SAMPLE.MDX")[0x800 + 246], 0);
    EXPECT_EQ(readBytes(m_dir / "SAMPLE.MDX")[0xC00], 0); // the root is an empty leaf
    add("X", "", "", 0);
    EXPECT_EQ(readBytes(m_dir / "SAMPLE.MDX")[0x800 + 246], 1);
    EXPECT_TRUE(checkIndex(*m_table).empty());
}

TEST_F(MdxTagTest, TagListKeepsExpressionsAsGivenAndTagOrderFollowsKeys)
{
    add("delta", "C2", "20240102", 5);
    add("alpha", "C1", "20231231", -1);
    add("charlie", "C2", "20240101", 0);
    add("bravo", "C1", "", 100);
    m_table->addTag("NAME", "NAME");
    m_table->addTag("Sl_CDate", "CLIENT+DTOS(DAY)", { false, true, true });
    m_table->addTag("AMT", "AMT");
    m_table->addTag("DAY", "day", { true, false, false });

    const auto tags = m_table->tags();
    ASSERT_EQ(tags.size(), 4u);
    EXPECT_EQ(tags[1].name, "SL_CDATE");
    EXPECT_EQ(tags[1].expression, "CLIENT+DTOS(DAY)");
    EXPECT_EQ(tags[3].expression, "day");
    EXPECT_TRUE(tags[3].unique);
    EXPECT_EQ(tags[2].keyType, 'N');
    EXPECT_EQ(tags[3].keyType, 'D');

    auto c = std::make_unique<Cursor>(*m_table);
    const struct
    {
        const char *tag;
        Names order;
    } cases[] = {
        { "name", { "alpha", "bravo", "charlie", "delta" } },
        { "sl_cdate", { "bravo", "alpha", "charlie", "delta" } },
        { "AMT", { "alpha", "charlie", "delta", "bravo" } },
        { "Day", { "bravo", "alpha", "charlie", "delta" } },
        { "", { "delta", "alpha", "charlie", "bravo" } },
    };
    for (const auto &k : cases) {
        c->setTag(k.tag);
        EXPECT_EQ(names(*c), k.order) << k.tag;
        EXPECT_EQ(namesBackward(*c), k.order) << k.tag;
    }
    EXPECT_THROW(c->setTag("NOSUCH"), Error);
    EXPECT_TRUE(checkIndex(*m_table).empty());
    c.reset();

    // The list survives closing and opening again, shared.
    open(OpenMode::Shared);
    EXPECT_EQ(m_table->tags().size(), 4u);
    EXPECT_EQ(m_table->tags()[1].expression, "CLIENT+DTOS(DAY)");
    EXPECT_THROW(m_table->addTag("X", "NAME"), TableBusy);
}

TEST_F(MdxTagTest, RangesFindKeyNearestAndMasterLink)
{
    add("a1", "C1", "20240101", 1);
    add("b1", "C2", "20240101", 2);
    add("a2", "C1", "20240102", 3);
    add("c1", "C3", "20240101", 4);
    add("b2", "C2", "20240105", 5);
    m_table->addTag("CD", "CLIENT+DTOS(DAY)");
    m_table->addTag("CLIENT", "CLIENT");
    m_table->addTag("AMT", "AMT");

    Cursor c(*m_table);
    c.setTag("CD");
    c.setRange(c.makeKey({ "C2" }), c.makeKey({ "C2" }));
    EXPECT_EQ(names(c), (Names{ "b1", "b2" }));
    EXPECT_EQ(namesBackward(c), (Names{ "b1", "b2" }));
    EXPECT_EQ(c.recordCount(), 2u);
    c.setRange(c.makeKey({ "C1", "20240102" }), c.makeKey({ "C2", "20240101" }));
    EXPECT_EQ(names(c), (Names{ "a2", "b1" }));
    c.cancelRange();
    EXPECT_EQ(names(c).size(), 5u);

    EXPECT_TRUE(c.findKey(c.makeKey({ "C2", "20240105" })));
    EXPECT_EQ(c.text("NAME"), "b2");
    EXPECT_FALSE(c.findKey(c.makeKey({ "C2", "20240104" })));
    EXPECT_EQ(c.text("NAME"), "b2"); // unmoved
    EXPECT_TRUE(c.findKey(c.makeKey({ "C3" }))); // a leading part
    EXPECT_EQ(c.text("NAME"), "c1");
    EXPECT_TRUE(c.findNearest(c.makeKey({ "C2", "20240102" })));
    EXPECT_EQ(c.text("NAME"), "b2");
    EXPECT_FALSE(c.findNearest(c.makeKey({ "C9" })));
    EXPECT_TRUE(c.eof());

    c.setTag("AMT");
    EXPECT_TRUE(c.findKey(c.makeKey({ "3" })));
    EXPECT_EQ(c.text("NAME"), "a2");
    EXPECT_TRUE(c.findNearest(numericKey(3.5)));
    EXPECT_EQ(c.text("NAME"), "c1");

    // Master link: the detail follows the master's CLIENT.
    Cursor master(*m_table);
    master.setTag("CLIENT");
    Cursor detail(*m_table);
    detail.setTag("CD");
    std::vector<Names> seen;
    for (bool ok = master.first(); ok; ok = master.next()) {
        detail.followMaster(master, master.fieldIndex("CLIENT"));
        seen.push_back(names(detail));
    }
    EXPECT_EQ(seen,
        (std::vector<Names>{
            { "a1", "a2" }, { "a1", "a2" }, { "b1", "b2" }, { "b1", "b2" }, { "c1" } }));
    // Bookmarks hold within the order and range: a record outside the range is not reached.
    detail.followMaster(master, master.fieldIndex("CLIENT")); // master on C3
    const Bookmark inRange = detail.bookmark();
    EXPECT_EQ(detail.text("NAME"), "c1");
    EXPECT_FALSE(detail.gotoRecNo(1)); // a1 belongs to C1
    EXPECT_TRUE(detail.gotoBookmark(inRange));

    // A master without a record shows no detail.
    Cursor emptyMaster(*m_table);
    emptyMaster.setTag("CLIENT");
    emptyMaster.setRange(emptyMaster.makeKey({ "ZZ" }), emptyMaster.makeKey({ "ZZ" }));
    EXPECT_TRUE(emptyMaster.isEmpty());
    detail.followMaster(emptyMaster, emptyMaster.fieldIndex("CLIENT"));
    EXPECT_TRUE(detail.isEmpty());
    EXPECT_EQ(detail.recordCount(), 0u);

    Cursor none(*m_table);
    EXPECT_THROW(none.setRange("", ""), Error); // record order has no keys
}

TEST_F(MdxTagTest, EditsDeletesAndUniqueKeysKeepEveryTagRight)
{
    add("one", "C1", "20240101", 1);
    add("two", "C2", "20240102", 2);
    add("three", "C3", "20240103", 3);
    m_table->addTag("NAME", "NAME", { true, false, false });
    m_table->addTag("CLIENT", "CLIENT");
    open(OpenMode::Shared);

    auto cursor = std::make_unique<Cursor>(*m_table);
    auto check = std::make_unique<Cursor>(*m_table);
    Cursor &c = *cursor;
    c.setTag("NAME");
    // A duplicate of a unique key: refused, the cursor stays in insert, nothing written.
    c.append();
    c.setText("NAME", "two");
    c.setText("CLIENT", "C9");
    EXPECT_THROW(c.post(), KeyViolation);
    EXPECT_EQ(c.state(), Cursor::State::Insert);
    c.cancel();
    EXPECT_EQ(m_table->recordCount(), 3u);
    EXPECT_TRUE(checkIndex(*m_table).empty());

    // An edit to a duplicate is refused as well; the record keeps its key.
    ASSERT_TRUE(c.findKey(c.makeKey({ "one" })));
    c.edit();
    c.setText("NAME", "three");
    EXPECT_THROW(c.post(), KeyViolation);
    c.cancel();
    check->gotoRecNo(1);
    EXPECT_EQ(check->text("NAME"), "one");

    // Key-changing edit: the record moves in both tags; the cursor follows it.
    c.edit();
    c.setText("NAME", "zulu");
    c.setText("CLIENT", "C0");
    c.post();
    EXPECT_EQ(c.text("NAME"), "zulu");
    EXPECT_FALSE(c.next());
    EXPECT_EQ(names(c), (Names{ "three", "two", "zulu" }));
    c.setTag("CLIENT");
    EXPECT_EQ(names(c), (Names{ "zulu", "two", "three" }));

    // A deleted record leaves every tag, and its key becomes free again.
    c.setTag("NAME");
    ASSERT_TRUE(c.findKey(c.makeKey({ "two" })));
    c.remove();
    EXPECT_EQ(c.text("NAME"), "zulu");
    EXPECT_EQ(names(c), (Names{ "three", "zulu" }));
    add("two", "C5", "", 0);
    EXPECT_EQ(names(c), (Names{ "three", "two", "zulu" }));
    EXPECT_TRUE(checkIndex(*m_table).empty());

    // Pack (exclusive) renumbers the records and rebuilds the tags.
    cursor.reset();
    check.reset();
    open(OpenMode::Exclusive);
    m_table->pack();
    Cursor p(*m_table);
    p.setTag("CLIENT");
    EXPECT_EQ(names(p), (Names{ "zulu", "three", "two" }));
    EXPECT_EQ(m_table->recordCount(), 3u);
    EXPECT_TRUE(checkIndex(*m_table).empty());
}

TEST_F(MdxTagTest, MissingIndexFileOpensWithoutTagsAndAddTagMakesItAgain)
{
    add("x", "C1", "", 0);
    m_table->addTag("NAME", "NAME");
    m_table.reset();
    std::filesystem::remove(m_dir / "SAMPLE.MDX");
    open(OpenMode::Exclusive);
    EXPECT_TRUE(m_table->hasProductionIndex());
    EXPECT_TRUE(m_table->tags().empty());
    EXPECT_FALSE(checkIndex(*m_table).empty()); // reports the missing file
    {
        Cursor c(*m_table);
        c.append();
        c.setText("NAME", "a");
        c.post(); // writes go on without tags
    }
    m_table->addTag("NAME", "NAME");
    m_table->addTag("CLIENT", "CLIENT");
    EXPECT_EQ(m_table->tags().size(), 2u);
    Cursor c(*m_table);
    c.setTag("NAME");
    EXPECT_EQ(names(c), (Names{ "a", "x" }));
    EXPECT_TRUE(checkIndex(*m_table).empty());

    // Adding a tag of an existing name replaces it.
    m_table->addTag("name", "CLIENT+NAME");
    EXPECT_EQ(m_table->tags().size(), 2u);
    EXPECT_EQ(m_table->tags()[0].expression, "CLIENT+NAME");
    c.setTag("NAME");
    EXPECT_EQ(names(c), (Names{ "a", "x" }));
    EXPECT_THROW(m_table->addTag("BAD NAME", "NAME"), Error);
    EXPECT_THROW(m_table->addTag("OK", "NOFIELD"), Error);
    EXPECT_EQ(m_table->tags().size(), 2u);
}

// A walk reads the rest of a leaf ahead; what another program adds after that shows within
// 50 ms, and what this program adds shows at once.
TEST_F(MdxTagTest, WalkSeesOtherProgramsKeysAfterTheReadAheadExpires)
{
    for (const char *n : { "a", "c", "e", "g" })
        add(n, "", "", 0);
    m_table->addTag("NAME", "NAME");
    open(OpenMode::Shared);
    auto other = Table::open(m_dir / "SAMPLE.DBF", OpenMode::Shared);
    {
        Cursor walk(*m_table);
        walk.setTag("NAME");
        ASSERT_TRUE(walk.next()); // on "c", with "e" and "g" read ahead
        EXPECT_EQ(walk.text("NAME"), "c");
        {
            Cursor c(*other);
            c.append();
            c.setText("NAME", "d");
            c.post();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        ASSERT_TRUE(walk.next());
        EXPECT_EQ(walk.text("NAME"), "d");
        // This program's own insert is seen by the next step at once.
        add("f", "", "", 0);
        ASSERT_TRUE(walk.next());
        EXPECT_EQ(walk.text("NAME"), "e");
        ASSERT_TRUE(walk.next());
        EXPECT_EQ(walk.text("NAME"), "f");
        ASSERT_TRUE(walk.next());
        EXPECT_EQ(walk.text("NAME"), "g");
        EXPECT_FALSE(walk.next());
    }
}
