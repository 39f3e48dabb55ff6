#include <cstdio>
#include <functional>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "test_dir.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dbf;

namespace {

// Runs `body` in a child process and returns its exit status: the body's result, or 90 + n for
// an unexpected exception. The child leaves with _exit so nothing of the parent's state is
// cleaned up twice.
int inChild(const std::function<int()> &body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        int code = 0;
        try {
            code = body();
        } catch (const TableBusy &) {
            code = 91;
        } catch (const RecordLocked &) {
            code = 92;
        } catch (...) {
            code = 93;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.rfind(prefix, 0) == 0;
}

class ProcessLock : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Table::create(m_dir / "P.DBF",
            { { "NAME", FieldType::Character, 8, 0 }, { "N", FieldType::Numeric, 6, 0 } });
        auto t = Table::open(m_dir / "P.DBF", OpenMode::Shared);
        Cursor c(*t);
        for (const char *name : { "ONE", "TWO" }) {
            c.append();
            c.setText("NAME", name);
            c.post();
        }
    }
    std::filesystem::path path() const { return m_dir / "P.DBF"; }
    TestDir m_dir;
};

} // namespace

TEST_F(ProcessLock, EditOfARecordHeldByAnotherProgramFailsAndChangesNothing)
{
    auto table = Table::open(path(), OpenMode::Shared);
    Cursor holder(*table);
    holder.edit();
    holder.setText("NAME", "HELD");

    const std::vector<std::uint8_t> before = readBytes(path());
    const int status = inChild([&] {
        auto t = Table::open(path(), OpenMode::Shared);
        Cursor c(*t);
        try {
            c.edit();
            return 1; // the lock did not hold
        } catch (const RecordLocked &e) {
            if (!startsWith(e.what(), "Record locked"))
                return 2;
        }
        if (c.state() != Cursor::State::Browse || c.text("NAME") != "ONE")
            return 3;
        try {
            c.remove();
            return 4;
        } catch (const RecordLocked &) {
        }
        c.next();
        c.edit(); // the other record is free
        c.setInteger("N", 7);
        c.post();
        return 0;
    });
    EXPECT_EQ(status, 0);
    std::vector<std::uint8_t> after = readBytes(path());
    ASSERT_EQ(after.size(), before.size());
    const std::size_t record1 = table->headerLength();
    const std::size_t length = table->layout().recordLength();
    EXPECT_TRUE(std::equal(before.begin() + static_cast<std::ptrdiff_t>(record1),
        before.begin() + static_cast<std::ptrdiff_t>(record1 + length),
        after.begin() + static_cast<std::ptrdiff_t>(record1)));
    holder.post();

    // Once posted the lock is gone.
    EXPECT_EQ(inChild([&] {
        auto t = Table::open(path(), OpenMode::Shared);
        Cursor c(*t);
        c.edit();
        return c.text("NAME") == "HELD" ? 0 : 5;
    }),
        0);
}

TEST_F(ProcessLock, ExclusiveAndSharedOpensRefuseEachOther)
{
    auto busyMessage = [&](OpenMode mode) {
        return inChild([&] {
            try {
                Table::open(path(), mode);
                return 1;
            } catch (const TableBusy &e) {
                return startsWith(e.what(), "Table is busy") ? 0 : 2;
            }
        });
    };
    {
        auto shared = Table::open(path(), OpenMode::Shared);
        EXPECT_EQ(busyMessage(OpenMode::Exclusive), 0);
        EXPECT_EQ(inChild([&] { return Table::open(path(), OpenMode::Shared) ? 0 : 1; }), 0);
    }
    {
        auto exclusive = Table::open(path(), OpenMode::Exclusive);
        EXPECT_EQ(busyMessage(OpenMode::Shared), 0);
        EXPECT_EQ(busyMessage(OpenMode::Exclusive), 0);
        EXPECT_THROW(Table::open(path(), OpenMode::Shared), TableBusy); // same program, too
    }
    EXPECT_EQ(inChild([&] { return Table::open(path(), OpenMode::Exclusive) ? 0 : 1; }), 0);
}

TEST_F(ProcessLock, ClosingOneTableKeepsTheLocksOfAnother)
{
    auto table = Table::open(path(), OpenMode::Shared);
    Cursor holder(*table);
    holder.edit();
    Table::open(path(), OpenMode::Shared).reset(); // opens and closes another descriptor
    EXPECT_EQ(inChild([&] {
        auto t = Table::open(path(), OpenMode::Shared);
        Cursor c(*t);
        c.edit();
        return 0;
    }),
        92);
    EXPECT_EQ(inChild([&] { return Table::open(path(), OpenMode::Exclusive) ? 0 : 1; }), 91);
    holder.cancel();
}

TEST_F(ProcessLock, AppendsOfTwoProgramsInterleaveWithoutLoss)
{
    constexpr int kEach = 150;
    auto appendMany = [&](const char *who) {
        auto t = Table::open(path(), OpenMode::Shared);
        Cursor c(*t);
        for (int i = 0; i < kEach; ++i) {
            c.append();
            c.setText("NAME", who);
            c.setInteger("N", i);
            c.post();
        }
        return 0;
    };
    const pid_t pid = fork();
    if (pid == 0) {
        int code = 0;
        try {
            code = appendMany("CHILD");
        } catch (const std::exception &e) {
            std::fprintf(stderr, "child: %s\n", e.what());
            code = 9;
        }
        _exit(code);
    }
    appendMany("PARENT");
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    auto t = Table::open(path(), OpenMode::Shared);
    EXPECT_EQ(t->recordCount(), 2u + 2 * kEach);
    Cursor c(*t);
    int next[2] = { 0, 0 };
    for (bool ok = c.first(); ok; ok = c.next()) {
        const std::string name = c.text("NAME");
        if (name == "ONE" || name == "TWO")
            continue;
        ASSERT_TRUE(name == "CHILD" || name == "PARENT") << name;
        int &expected = next[name == "CHILD" ? 1 : 0];
        EXPECT_EQ(c.integer("N"), expected); // each program's records in its own order
        ++expected;
    }
    EXPECT_EQ(next[0], kEach);
    EXPECT_EQ(next[1], kEach);
}

namespace {

// Memo text of record i: empty, short, or long enough to span several 512-byte blocks.
std::string memoText(int i)
{
    if (i % 5 == 0)
        return {};
    return std::string(
        static_cast<std::size_t>(i % 3 == 0 ? 1500 + i : 20 + i), static_cast<char>('A' + i % 26));
}

} // namespace

// An exclusive open appends without the append and memo locks and counts in memory; whatever
// it writes must read back exactly through a later shared open, also after a pack has
// replaced both files under it.
TEST(ExclusiveAppend, RecordsMemosAndCountSurviveAReopen)
{
    TestDir dir;
    const std::filesystem::path path = dir / "X.DBF";
    Table::create(path, { { "ID", FieldType::Numeric, 6, 0 }, { "NOTE", FieldType::Memo, 10, 0 } });
    constexpr int kFirst = 120;
    constexpr int kSecond = 40;
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        Cursor c(*t);
        for (int i = 0; i < kFirst; ++i) {
            c.append();
            c.setInteger("ID", i);
            c.setMemo("NOTE", memoText(i));
            c.post();
        }
        EXPECT_EQ(c.recNo(), static_cast<RecNo>(kFirst));
        // Delete every fourth record and pack: the files are replaced, appends go on after.
        for (int i = 0; i < kFirst; i += 4) {
            ASSERT_TRUE(c.gotoRecNo(static_cast<RecNo>(i + 1)));
            c.remove();
        }
        t->pack();
        c.first();
        for (int i = kFirst; i < kFirst + kSecond; ++i) {
            c.append();
            c.setInteger("ID", i);
            c.setMemo("NOTE", memoText(i));
            c.post();
        }
    }
    const int kept = kFirst - kFirst / 4 + kSecond;
    const std::vector<std::uint8_t> bytes = readBytes(path);
    ASSERT_GE(bytes.size(), 8u);
    const std::uint32_t headerCount = static_cast<std::uint32_t>(bytes[4])
        | (static_cast<std::uint32_t>(bytes[5]) << 8) | (static_cast<std::uint32_t>(bytes[6]) << 16)
        | (static_cast<std::uint32_t>(bytes[7]) << 24);
    EXPECT_EQ(headerCount, static_cast<std::uint32_t>(kept));

    auto t = Table::open(path, OpenMode::Shared);
    EXPECT_EQ(t->recordCount(), static_cast<RecNo>(kept));
    // The end mark follows the last record.
    const std::size_t end = t->headerLength() + kept * t->layout().recordLength();
    ASSERT_EQ(bytes.size(), end + 1);
    EXPECT_EQ(bytes[end], 0x1A);
    EXPECT_EQ(std::filesystem::file_size(Table::memoPathFor(path)) % 512, 0u);

    Cursor c(*t);
    int seen = 0;
    int expected = 0;
    for (bool ok = !c.isEmpty(); ok; ok = c.next()) {
        while (expected < kFirst && expected % 4 == 0)
            ++expected;
        ASSERT_EQ(c.integer("ID"), expected);
        EXPECT_EQ(c.memo("NOTE"), memoText(expected)) << "record " << c.recNo();
        ++expected;
        ++seen;
    }
    EXPECT_EQ(seen, kept);
}

// A shared open must keep reading the count from the file before each append: another
// program's appends in between are neither overwritten nor hidden.
TEST_F(ProcessLock, SharedAppendSeesAnotherProgramsAppends)
{
    auto table = Table::open(path(), OpenMode::Shared);
    Cursor c(*table);
    c.append();
    c.setText("NAME", "MINE1");
    c.post();
    ASSERT_EQ(c.recNo(), 3u);

    const int status = inChild([&] {
        auto t = Table::open(path(), OpenMode::Shared);
        Cursor other(*t);
        for (int i = 0; i < 3; ++i) {
            other.append();
            other.setText("NAME", "OTHER");
            other.setInteger("N", i);
            other.post();
        }
        return 0;
    });
    ASSERT_EQ(status, 0);

    c.append();
    c.setText("NAME", "MINE2");
    c.post();
    EXPECT_EQ(c.recNo(), 7u);
    EXPECT_EQ(table->recordCount(), 7u);

    const std::vector<std::string> want = { "ONE", "TWO", "MINE1", "OTHER", "OTHER", "OTHER",
        "MINE2" };
    auto reopened = Table::open(path(), OpenMode::Shared);
    Cursor r(*reopened);
    std::vector<std::string> got;
    for (bool ok = !r.isEmpty(); ok; ok = r.next())
        got.push_back(r.text("NAME"));
    EXPECT_EQ(got, want);
}
