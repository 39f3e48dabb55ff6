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
