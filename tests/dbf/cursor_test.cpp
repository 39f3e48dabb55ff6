#include <chrono>
#include <thread>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "test_dir.h"
#include <gtest/gtest.h>

using namespace dbf;

namespace {

class CursorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Table::create(m_dir / "C.DBF",
            { { "CODE", FieldType::Character, 4, 0 }, { "AMT", FieldType::Numeric, 8, 2 },
                { "DAY", FieldType::Date, 8, 0 }, { "OK", FieldType::Logical, 1, 0 },
                { "FLAG", FieldType::Character, 1, 0 }, { "LEVEL", FieldType::Numeric, 2, 0 },
                { "NOTE", FieldType::Memo, 10, 0 } });
        m_table = Table::open(m_dir / "C.DBF", OpenMode::Shared);
    }

    // Appends records with the codes given; "-" marks one to delete afterwards.
    void fill(const std::vector<std::string> &codes)
    {
        Cursor c(*m_table);
        for (const std::string &code : codes) {
            c.append();
            c.setText("CODE", code);
            c.post();
            if (code == "-")
                c.remove();
        }
    }

    std::vector<std::string> walkForward(Cursor &c)
    {
        std::vector<std::string> seen;
        for (bool ok = c.first(); ok; ok = c.next())
            seen.push_back(c.text("CODE"));
        return seen;
    }

    TestDir m_dir;
    std::unique_ptr<Table> m_table;
};

using Codes = std::vector<std::string>;

} // namespace

TEST_F(CursorTest, EmptyTableHasNoRowAndBothEnds)
{
    Cursor c(*m_table);
    EXPECT_TRUE(c.isEmpty());
    EXPECT_TRUE(c.bof());
    EXPECT_TRUE(c.eof());
    EXPECT_FALSE(c.first());
    EXPECT_FALSE(c.next());
    EXPECT_FALSE(c.prior());
    EXPECT_EQ(c.recordCount(), 0u);
    EXPECT_EQ(c.recNo(), 0u);
    EXPECT_THROW(c.edit(), Error);
}

TEST_F(CursorTest, NavigationSkipsDeletedRecordsAtEveryPosition)
{
    fill({ "-", "A", "-", "-", "B", "C", "-" });
    Cursor c(*m_table);
    EXPECT_EQ(walkForward(c), (Codes{ "A", "B", "C" }));
    EXPECT_EQ(c.recordCount(), 3u);
    EXPECT_EQ(m_table->recordCount(), 7u);

    ASSERT_TRUE(c.last());
    EXPECT_TRUE(c.eof());
    EXPECT_EQ(c.text("CODE"), "C");
    EXPECT_EQ(c.recNo(), 6u);
    ASSERT_TRUE(c.prior());
    EXPECT_FALSE(c.eof());
    ASSERT_TRUE(c.prior());
    EXPECT_EQ(c.text("CODE"), "A");
    EXPECT_FALSE(c.prior()); // records 1 is deleted: nothing before
    EXPECT_TRUE(c.bof());
    EXPECT_EQ(c.text("CODE"), "A"); // stays on the record it stood on
    EXPECT_EQ(c.recNo(), 2u);
    ASSERT_TRUE(c.first());
    EXPECT_TRUE(c.bof());
    EXPECT_FALSE(c.eof());
}

TEST_F(CursorTest, BookmarksReturnToARecordUnlessItIsGone)
{
    fill({ "A", "B", "C" });
    Cursor c(*m_table);
    c.next();
    const Bookmark b = c.bookmark();
    c.last();
    ASSERT_TRUE(c.gotoBookmark(b));
    EXPECT_EQ(c.text("CODE"), "B");
    EXPECT_FALSE(c.gotoBookmark({ 99 }));
    EXPECT_FALSE(c.gotoBookmark({ 0 }));
    c.remove();
    EXPECT_EQ(c.text("CODE"), "C");
    EXPECT_FALSE(c.gotoBookmark(b)); // deleted
    EXPECT_EQ(c.text("CODE"), "C");
}

TEST_F(CursorTest, RemoveStandsOnTheFollowingRowOrTheLast)
{
    struct Case
    {
        Codes codes;
        int removeAt; // 0-based among live rows
        const char *after; // "" when the table is then empty
        Codes left;
    };
    const Case cases[] = {
        { { "A", "B", "C" }, 0, "B", { "B", "C" } },
        { { "A", "B", "C" }, 1, "C", { "A", "C" } },
        { { "A", "B", "C" }, 2, "B", { "A", "B" } },
        { { "A", "-", "C", "-" }, 1, "A", { "A" } },
        { { "A" }, 0, "", {} },
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.removeAt);
        m_table.reset();
        std::filesystem::remove(m_dir / "C.DBF");
        std::filesystem::remove(m_dir / "C.DBT");
        SetUp();
        fill(k.codes);
        Cursor c(*m_table);
        c.first();
        for (int i = 0; i < k.removeAt; ++i)
            c.next();
        c.remove();
        EXPECT_EQ(c.text("CODE"), k.after);
        EXPECT_EQ(c.isEmpty(), std::string(k.after).empty());
        EXPECT_EQ(walkForward(c), k.left);
    }
}

TEST_F(CursorTest, TypedFieldsRoundTripThroughTheFile)
{
    {
        Cursor c(*m_table);
        c.append();
        c.setText("code", "ab");
        c.setNumber("amt", -12.345);
        c.setDate("day", Date(1999, 12, 31));
        c.setLogical("ok", true);
        c.setLogical("flag", false);
        c.setLogical("level", true);
        c.setMemo("note", "line one\r\nline two");
        EXPECT_EQ(c.recNo(), 0u); // nothing written before post
        EXPECT_EQ(m_table->recordCount(), 0u);
        c.post();
        c.append();
        c.post(); // all blank
    }
    Cursor c(*m_table);
    EXPECT_EQ(c.text("CODE"), "ab");
    EXPECT_DOUBLE_EQ(c.number("AMT"), -12.35); // rounded to the declared decimals
    EXPECT_EQ(c.text("AMT"), "-12.35");
    EXPECT_EQ(c.date("DAY"), Date(1999, 12, 31));
    EXPECT_EQ(c.text("DAY"), "19991231");
    EXPECT_TRUE(c.logical("OK"));
    EXPECT_EQ(c.text("OK"), "T");
    EXPECT_FALSE(c.logical("FLAG"));
    EXPECT_EQ(c.text("FLAG"), "N");
    EXPECT_TRUE(c.logical("LEVEL"));
    EXPECT_EQ(c.integer("LEVEL"), 1);
    EXPECT_EQ(c.memo("NOTE"), "line one\r\nline two");
    EXPECT_FALSE(c.isBlank("NOTE"));
    ASSERT_TRUE(c.next());
    for (const char *f : { "CODE", "AMT", "DAY", "OK", "FLAG", "LEVEL", "NOTE" }) {
        SCOPED_TRACE(f);
        EXPECT_TRUE(c.isBlank(f));
        EXPECT_EQ(c.text(f), "");
    }
    EXPECT_TRUE(c.date("DAY").isNull());
    EXPECT_EQ(c.number("AMT"), 0.0);
    EXPECT_THROW(c.text("NOSUCH"), Error);
    EXPECT_THROW(c.setText("CODE", "x"), Error); // not in edit
}

TEST_F(CursorTest, CancelRestoresAndPostWritesOnlyAtPost)
{
    fill({ "A", "B" });
    Cursor c(*m_table);
    Cursor other(*m_table);
    c.edit();
    c.setText("CODE", "X");
    c.setMemo("NOTE", "draft");
    EXPECT_THROW(c.next(), Error); // moving would lose the edit
    EXPECT_EQ(c.text("CODE"), "X");
    other.reread();
    EXPECT_EQ(other.text("CODE"), "A"); // the file holds the old value until post
    c.cancel();
    EXPECT_EQ(c.text("CODE"), "A");
    EXPECT_TRUE(c.isBlank("NOTE"));

    c.next();
    c.append();
    c.setText("CODE", "N");
    c.cancel();
    EXPECT_EQ(c.text("CODE"), "B"); // back on the record it stood on
    EXPECT_EQ(m_table->recordCount(), 2u);

    c.edit();
    c.setText("CODE", "Y");
    c.post();
    other.last();
    EXPECT_EQ(other.text("CODE"), "Y");
}

TEST_F(CursorTest, EditLocksTheRecordAgainstOtherCursorsAndTables)
{
    fill({ "A", "B" });
    auto second = Table::open(m_dir / "C.DBF", OpenMode::Shared);
    Cursor mine(*m_table), sameTable(*m_table), otherTable(*second);
    mine.edit();
    mine.setText("CODE", "M");
    try {
        otherTable.edit();
        FAIL() << "edit of a held record succeeded";
    } catch (const RecordLocked &e) {
        EXPECT_EQ(std::string(e.what()).rfind("Record locked", 0), 0u);
    }
    EXPECT_EQ(otherTable.state(), Cursor::State::Browse);
    EXPECT_THROW(sameTable.edit(), RecordLocked);
    EXPECT_THROW(otherTable.remove(), RecordLocked);
    otherTable.next();
    otherTable.edit(); // another record is free
    otherTable.cancel();
    mine.post();
    otherTable.first();
    otherTable.edit(); // released by post
    EXPECT_EQ(otherTable.text("CODE"), "M"); // re-read under the lock
    otherTable.cancel();
}

TEST_F(CursorTest, EditRereadsTheRecordWrittenByAnotherTable)
{
    fill({ "A" });
    auto second = Table::open(m_dir / "C.DBF", OpenMode::Shared);
    Cursor stale(*m_table), writer(*second);
    writer.edit();
    writer.setNumber("AMT", 5);
    writer.post();
    EXPECT_EQ(stale.number("AMT"), 0.0); // its buffer is old
    stale.edit();
    EXPECT_EQ(stale.number("AMT"), 5.0);
    stale.setText("CODE", "S");
    stale.post();
    writer.reread();
    EXPECT_EQ(writer.text("CODE"), "S");
    EXPECT_EQ(writer.number("AMT"), 5.0); // the other program's change survived
}

TEST_F(CursorTest, ReadAheadSeesAppendsAndWritesOfOthers)
{
    fill({ "A", "B", "C" });
    auto second = Table::open(m_dir / "C.DBF", OpenMode::Shared);
    Cursor reader(*m_table), writer(*second);
    EXPECT_EQ(walkForward(reader), (Codes{ "A", "B", "C" }));
    writer.append();
    writer.setText("CODE", "D");
    writer.post();
    EXPECT_EQ(walkForward(reader), (Codes{ "A", "B", "C", "D" }));
    EXPECT_TRUE(reader.last());
    EXPECT_EQ(reader.text("CODE"), "D");
    writer.first();
    writer.remove();
    EXPECT_EQ(walkForward(reader), (Codes{ "B", "C", "D" }));
}

TEST_F(CursorTest, APausedWalkSeesChangesMadeMeanwhile)
{
    fill({ "A", "B", "C" });
    auto second = Table::open(m_dir / "C.DBF", OpenMode::Shared);
    Cursor reader(*m_table), writer(*second);
    ASSERT_TRUE(reader.first()); // reads records 1..3 ahead
    writer.next();
    writer.edit();
    writer.setText("CODE", "NEW");
    writer.post();
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    ASSERT_TRUE(reader.next());
    EXPECT_EQ(reader.text("CODE"), "NEW");
}

TEST_F(CursorTest, LiveCountFollowsDeletesAndAppendsOfOthers)
{
    fill({ "A", "B", "C" });
    auto second = Table::open(m_dir / "C.DBF", OpenMode::Shared);
    Cursor reader(*m_table), writer(*second);
    for (int round = 0; round < 2; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(80)); // a quiet file: count kept
        EXPECT_EQ(reader.recordCount(), 3u - round);
        EXPECT_EQ(reader.recordCount(), 3u - round);
        writer.first();
        writer.remove(); // same record count, only a deletion mark changes
    }
    EXPECT_EQ(reader.recordCount(), 1u);
    writer.append();
    writer.post();
    EXPECT_EQ(reader.recordCount(), 2u);
}

TEST_F(CursorTest, RereadMovesOffARecordDeletedElsewhere)
{
    fill({ "A", "B", "C" });
    auto second = Table::open(m_dir / "C.DBF", OpenMode::Shared);
    Cursor reader(*m_table), writer(*second);
    reader.last();
    writer.last();
    writer.remove();
    reader.reread();
    EXPECT_EQ(reader.text("CODE"), "B");
    EXPECT_THROW(
        {
            writer.first();
            Cursor late(*m_table);
            late.first();
            writer.remove();
            late.edit();
        },
        Error);
}
