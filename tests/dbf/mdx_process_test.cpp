// Two programs share a table: one appends and edits while the other walks the tags.
#include <cstring>
#include <random>
#include <set>
#include <string>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/mdx_check.h"
#include "dbf/mdx_tag_order.h"
#include "test_dir.h"
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dbf;

namespace {

// The writer: appends records with random names and changes amounts of random records.
int writer(const std::filesystem::path &path, unsigned seed)
{
    try {
        auto t = Table::open(path, OpenMode::Shared);
        Cursor c(*t);
        std::mt19937 rng(seed);
        for (int i = 0; i < 3000; ++i) {
            c.append();
            c.setText("NAME", "W" + std::to_string(rng() % 100000));
            c.setInteger("AMT", static_cast<std::int64_t>(rng() % 1000));
            c.post();
            if (i % 3 == 0 && c.gotoRecNo(static_cast<RecNo>(1 + rng() % t->recordCount()))) {
                c.edit();
                c.setInteger("AMT", static_cast<std::int64_t>(rng() % 1000));
                c.post();
            }
        }
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "writer: %s\n", e.what());
        return 1;
    }
}

} // namespace

TEST(MdxProcess, WalkerSeesKeysInOrderAndNoRecordTwiceWhileAnotherProgramWrites)
{
    TestDir dir;
    const auto path = dir / "SHARED.DBF";
    Table::create(
        path, { { "NAME", FieldType::Character, 40, 0 }, { "AMT", FieldType::Numeric, 6, 0 } });
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        Cursor c(*t);
        for (int i = 0; i < 200; ++i) {
            c.append();
            c.setText("NAME", "S" + std::to_string(i * 37 % 200));
            c.setInteger("AMT", i % 50);
            c.post();
        }
        t->addTag("NAME", "NAME");
        t->addTag("AMT", "AMT");
    }

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
        _exit(writer(path, 1234));

    auto t = Table::open(path, OpenMode::Shared);
    int walks = 0;
    int walksDuringWrites = 0;
    std::size_t longest = 0;
    bool writerDone = false;
    while (!writerDone || walks < 3) {
        int status = 0;
        if (!writerDone && waitpid(pid, &status, WNOHANG) == pid) {
            writerDone = true;
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        for (const char *tag : { "NAME", "AMT" }) {
            Cursor c(*t);
            c.setTag(tag);
            auto &order = dynamic_cast<TagOrder &>(c.order());
            std::vector<std::uint8_t> lastKey;
            RecNo lastRec = 0;
            std::set<RecNo> seen;
            for (bool ok = c.first(); ok; ok = c.next()) {
                const auto &key = order.currentKey();
                const RecNo r = c.recNo();
                if (!lastKey.empty()) {
                    const int cmp = compareKeys(
                        std::string(tag) == "AMT" ? KeyType::Numeric : KeyType::Character,
                        lastKey.data(), key.data(), key.size());
                    ASSERT_TRUE(cmp < 0 || (cmp == 0 && lastRec < r))
                        << tag << " walk " << walks << " at record " << r;
                }
                // Names never change, so no record may come twice in that tag.
                if (std::string(tag) == "NAME") {
                    ASSERT_TRUE(seen.insert(r).second) << "record " << r << " twice";
                }
                lastKey = key;
                lastRec = r;
            }
            longest = std::max(longest, seen.size());
        }
        ++walks;
        if (!writerDone)
            ++walksDuringWrites;
    }
    EXPECT_GE(walks, 3);
    // The walks overlapped the writes (the writer's work is sized for that).
    EXPECT_GE(walksDuringWrites, 2);
    std::printf(
        "%d walks, %d while the writer ran, longest %zu\n", walks, walksDuringWrites, longest);
    EXPECT_EQ(t->recordCount(), 3200u);
    const auto faults = checkIndex(*t);
    EXPECT_TRUE(faults.empty()) << faults.front();
    Cursor c(*t);
    c.setTag("NAME");
    EXPECT_EQ(c.recordCount(), 3200u);
}
