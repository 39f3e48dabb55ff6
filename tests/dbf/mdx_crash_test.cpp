// A program killed in the middle of appends (and so of tag splits): the table and its index
// still open, no finished record is lost from a tag (a cut-short split leaves keys twice), and
// reindex repairs what the check finds.
#include <chrono>
#include <csignal>
#include <random>
#include <string>
#include <thread>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/mdx_check.h"
#include "test_dir.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dbf;

TEST(MdxCrash, KilledWriterLosesNoFinishedRecordFromATagAndReindexRepairs)
{
    TestDir dir;
    const auto path = dir / "CRASH.DBF";
    Table::create(
        path, { { "NAME", FieldType::Character, 60, 0 }, { "AMT", FieldType::Numeric, 10, 0 } });
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        t->addTag("NAME", "NAME");
        t->addTag("AMT", "AMT");
    }
    std::mt19937 rng(std::random_device{}());
    int faultyRounds = 0;
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const unsigned seed = rng();
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                auto t = Table::open(path, OpenMode::Shared);
                Cursor c(*t);
                std::mt19937 r(seed);
                for (;;) {
                    c.append();
                    c.setText("NAME", std::to_string(r() % 100000) + std::string(r() % 50, 'x'));
                    c.setInteger("AMT", static_cast<std::int64_t>(r() % 100000));
                    c.post();
                }
            } catch (...) {
            }
            _exit(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + rng() % 60));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped on its own";

        auto t = Table::open(path, OpenMode::Exclusive); // opens: the header is consistent
        const RecNo last = t->recordCount();
        const auto faults = checkIndex(*t);
        for (const std::string &f : faults) {
            // Only the record in flight may be missing from a tag. A split cut short leaves
            // what it moved twice, never a lost key, a wrong one, or a pointer to nowhere: a
            // leaf's keys (out of order, outside a separator, listed twice), or an interior
            // node's children, reached from the new node and from the old one not yet cut.
            const bool inFlight =
                f.find("record " + std::to_string(last) + " is missing") != std::string::npos;
            const bool twice = f.find("out of order") != std::string::npos
                || f.find("outside its parent's separators") != std::string::npos
                || f.find("listed more than once") != std::string::npos
                || f.find("is reached twice") != std::string::npos;
            EXPECT_TRUE(inFlight || twice) << f;
        }
        if (!faults.empty())
            ++faultyRounds;
        t->reindex();
        EXPECT_TRUE(checkIndex(*t).empty());
    }
    std::printf("%d of 8 kills left faults for reindex to repair\n", faultyRounds);
}
