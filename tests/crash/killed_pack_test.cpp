// A pack stopped at each point of its switch (after the index is built, after the marker, after
// each rename) and killed at random moments: the next open finds the old table or the new one,
// never a mixture. Every live record is there with its own memo, every tag checks clean and
// finds each record, `tarnw-dbf check` finds nothing wrong, and no roll-forward marker is left
// behind.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "dbf/cursor.h"
#include "dbf/mdx_check.h"
#include "dbf/table.h"
#include "../interop/run_tool.h"
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Entry
{
    std::string name;
    std::string memo;
};

class KilledPack : public testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("tarnw-pack-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_path = m_dir / "PACKED.DBF";
        dbf::Table::create(m_path,
            { { "NO", dbf::FieldType::Numeric, 8, 0 }, { "NAME", dbf::FieldType::Character, 20, 0 },
                { "CODE", dbf::FieldType::Character, 3, 0 },
                { "NOTE", dbf::FieldType::Memo, 10, 0 } });
        auto t = dbf::Table::open(m_path, dbf::OpenMode::Exclusive);
        t->addTag("NO", "NO", { true, false, false });
        t->addTag("NAME", "NAME");
        t->addTag("CODENAME", "CODE+NAME");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string memoFor(std::int64_t no) const
    {
        if (no % 3 != 0)
            return {};
        return "memo of " + std::to_string(no)
            + std::string(static_cast<std::size_t>(no % 700), '.');
    }

    // Appends `count` records and deletes about one live record in five, so that a pack has
    // records to drop and memos to move.
    void grow(int count)
    {
        auto t = dbf::Table::open(m_path, dbf::OpenMode::Exclusive);
        dbf::Cursor c(*t);
        for (int i = 0; i < count; ++i) {
            const std::int64_t no = m_next++;
            const std::string name = "N" + std::to_string((no * 37) % 1000);
            c.append();
            c.setInteger("NO", no);
            c.setText("NAME", name);
            c.setText("CODE", std::to_string(no % 50));
            if (!memoFor(no).empty())
                c.setMemo("NOTE", memoFor(no));
            c.post();
            m_live[no] = { name, memoFor(no) };
        }
        for (bool at = c.first(); at;) {
            const std::int64_t no = c.integer("NO");
            if (m_rng() % 5 == 0) {
                c.remove();
                m_live.erase(no);
                at = c.next();
            } else {
                at = c.next();
            }
        }
        t->flush();
    }

    // Packs in a child process that stops itself at `stopAt` (or is killed after `killAfter`).
    // With `alarmAfter` the child is instead killed that long after its records are written,
    // that is while it builds the index.
    void packInChild(std::optional<dbf::PackStep> stopAt, std::chrono::microseconds killAfter,
        std::chrono::microseconds alarmAfter = {})
    {
        static std::optional<dbf::PackStep> target;
        static useconds_t alarm = 0;
        target = stopAt;
        alarm = static_cast<useconds_t>(alarmAfter.count());
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                dbf::packStepHook = [](dbf::PackStep step) {
                    if (target && *target == step)
                        ::_exit(3);
                    if (alarm > 0 && step == dbf::PackStep::RecordsWritten)
                        ::ualarm(alarm, 0); // SIGALRM ends the process where it stands
                };
                auto t = dbf::Table::open(m_path, dbf::OpenMode::Exclusive);
                t->pack();
            } catch (const std::exception &e) {
                std::fprintf(stderr, "pack: %s\n", e.what());
                ::_exit(2);
            }
            ::_exit(0);
        }
        if (killAfter.count() > 0) {
            std::this_thread::sleep_for(killAfter);
            ::kill(pid, SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        m_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        if (WIFEXITED(status)) {
            ASSERT_NE(WEXITSTATUS(status), 2) << "the pack failed";
        }
    }

    // The table as the next program finds it.
    void expectWhole(const std::string &when)
    {
        SCOPED_TRACE(when);
        auto t = dbf::Table::open(m_path, dbf::OpenMode::Shared);
        EXPECT_FALSE(fs::exists(dbf::Table::packMarkerFor(m_path)));
        dbf::Cursor c(*t);
        std::map<std::int64_t, Entry> found;
        for (bool at = c.first(); at; at = c.next())
            found[c.integer("NO")] = { c.text("NAME"), c.memo("NOTE") };
        ASSERT_EQ(found.size(), m_live.size());
        for (const auto &[no, e] : m_live) {
            auto it = found.find(no);
            ASSERT_NE(it, found.end()) << no;
            ASSERT_EQ(it->second.name, e.name) << no;
            ASSERT_EQ(it->second.memo, e.memo) << no;
        }
        const auto faults = dbf::checkIndex(*t);
        ASSERT_TRUE(faults.empty()) << faults.front();
        const ToolResult check =
            runTool("'" TARNW_BINARY_DIR "/tools/tarnw-dbf' check '" + m_path.string() + "'");
        ASSERT_EQ(check.status, 0) << check.output;
        c.setTag("NO");
        for (const auto &[no, e] : m_live) {
            ASSERT_TRUE(c.findKey(c.makeKey({ std::to_string(no) }))) << no;
            ASSERT_EQ(c.text("NAME"), e.name);
        }
    }

    fs::path m_dir, m_path;
    std::map<std::int64_t, Entry> m_live;
    std::int64_t m_next = 1;
    int m_signal = 0; // the signal that ended the last pack, 0 when it ended by itself
    std::mt19937 m_rng{ 4242 };
};

TEST_F(KilledPack, StoppedAtEachPointOfTheSwitchLeavesOneWholeTable)
{
    const dbf::PackStep steps[] = { dbf::PackStep::RecordsWritten, dbf::PackStep::IndexWritten,
        dbf::PackStep::MarkerWritten, dbf::PackStep::MemoSwitched, dbf::PackStep::IndexSwitched,
        dbf::PackStep::TableSwitched };
    for (const dbf::PackStep step : steps) {
        grow(300);
        packInChild(step, std::chrono::microseconds(0));
        expectWhole("stopped at step " + std::to_string(static_cast<int>(step)));
    }
}

TEST_F(KilledPack, KilledAtRandomLeavesOneWholeTable)
{
    grow(6000);
    const auto start = std::chrono::steady_clock::now();
    packInChild(std::nullopt, std::chrono::microseconds(0));
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    expectWhole("a whole pack");
    const int rounds = 25;
    for (int round = 0; round < rounds; ++round) {
        grow(200);
        const auto delay = std::chrono::microseconds(
            1 + m_rng() % static_cast<std::uint64_t>(took.count() + took.count() / 5 + 1));
        packInChild(std::nullopt, delay);
        expectWhole("round " + std::to_string(round) + ", killed after "
            + std::to_string(delay.count()) + " us of " + std::to_string(took.count()));
    }
}

} // namespace

namespace {

TEST_F(KilledPack, KilledWhileBuildingTheIndexLeavesOneWholeTable)
{
    grow(20000);
    int killed = 0;
    for (int round = 0; round < 5; ++round) {
        grow(100);
        const auto delay = std::chrono::microseconds(200 + m_rng() % 4000);
        packInChild(std::nullopt, std::chrono::microseconds(0), delay);
        killed += m_signal == SIGALRM ? 1 : 0;
        expectWhole("killed " + std::to_string(delay.count()) + " us into the index build");
    }
    EXPECT_GT(killed, 0) << "no pack was stopped inside its index build";
}

} // namespace
