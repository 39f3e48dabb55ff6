// Two programs share a table: one appends and edits while the other walks the tags.
#include <algorithm>
#include <atomic>
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
#include <sys/mman.h>
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

// Two programs append the same keys to a unique tag at once: each key goes in exactly once,
// the other program's post is refused, and no refused record reaches the table.
TEST(MdxProcess, UniqueKeyCheckAndInsertAreOneStepAcrossPrograms)
{
    TestDir dir;
    const auto path = dir / "UNIQ.DBF";
    Table::create(path, { { "CODE", FieldType::Character, 8, 0 } });
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        t->addTag("CODE", "CODE", { true, false, false });
    }
    const int keys = 300;
    // Both programs open the table, meet, and then append.
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    auto appendAll = [&](bool child) {
        int refused = 0;
        std::vector<int> order(keys);
        for (int i = 0; i < keys; ++i)
            order[static_cast<std::size_t>(i)] = i;
        std::shuffle(order.begin(), order.end(), std::mt19937(child ? 1u : 2u));
        auto t = Table::open(path, OpenMode::Shared);
        Cursor c(*t);
        char byte = 1;
        if (child) {
            if (write(ready[1], &byte, 1) != 1 || read(go[0], &byte, 1) != 1)
                return -1;
        } else {
            if (read(ready[0], &byte, 1) != 1 || write(go[1], &byte, 1) != 1)
                return -1;
        }
        for (int i = 0; i < keys; ++i) {
            c.append();
            // Each program goes through the keys in its own random order, so that both add
            // keys all over the tag while the other is adding and refusing.
            c.setText("CODE", "K" + std::to_string(order[static_cast<std::size_t>(i)]));
            try {
                c.post();
            } catch (const KeyViolation &) {
                c.cancel();
                ++refused;
            }
            // A pause between posts, as a person would make, lets the other program in.
            usleep(100);
        }
        return refused;
    };
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        int refused = -1;
        try {
            refused = appendAll(true);
        } catch (...) {
        }
        const ssize_t w = write(pipeFds[1], &refused, sizeof refused);
        _exit(w == sizeof refused ? 0 : 1);
    }
    const int refusedHere = appendAll(false);
    int refusedThere = -1;
    ASSERT_EQ(read(pipeFds[0], &refusedThere, sizeof refusedThere),
        static_cast<ssize_t>(sizeof refusedThere));
    int status = 0;
    waitpid(pid, &status, 0);
    for (int fd : { pipeFds[0], pipeFds[1], ready[0], ready[1], go[0], go[1] })
        close(fd);
    EXPECT_EQ(refusedHere + refusedThere, keys);
    auto t = Table::open(path, OpenMode::Shared);
    EXPECT_EQ(t->recordCount(), static_cast<RecNo>(keys));
    const auto faults = checkIndex(*t);
    EXPECT_TRUE(faults.empty()) << faults.front();
    std::printf(
        "this program added %d keys, the other %d\n", keys - refusedHere, keys - refusedThere);
}

// Seeks look the tree up without the index lock and fall back to a locked read when a writer
// came in between. While another program splits blocks all over the tag, every seek finds the
// records that were there and every record the writer has posted.
TEST(MdxProcess, SeeksFindEveryPostedRecordWhileAnotherProgramSplitsTheTag)
{
    TestDir dir;
    const auto path = dir / "SEEK.DBF";
    Table::create(path, { { "CODE", FieldType::Character, 12, 0 } });
    const int kept = 2000, added = 4000;
    auto code = [](int i) {
        char b[8];
        std::snprintf(b, sizeof b, "K%04d", i);
        return std::string(b);
    };
    // The writer's keys land just after kept ones ("K0123" < "K0123x417"), in random order.
    std::vector<std::string> addedCodes;
    std::mt19937 keyRng(99);
    for (int i = 0; i < added; ++i)
        addedCodes.push_back(code(static_cast<int>(keyRng() % kept)) + "x" + std::to_string(i));
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        Cursor c(*t);
        for (int i = 0; i < kept; ++i) {
            c.append();
            c.setText("CODE", code(i));
            c.post();
        }
        t->addTag("CODE", "CODE");
    }
    // How many of its records the writer has posted, in memory both programs see.
    auto *posted = static_cast<std::atomic<int> *>(
        mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
            MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(posted, MAP_FAILED);
    new (posted) std::atomic<int>(0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        int rc = 0;
        try {
            auto t = Table::open(path, OpenMode::Shared);
            Cursor c(*t);
            for (int i = 0; i < added; ++i) {
                c.append();
                c.setText("CODE", addedCodes[static_cast<std::size_t>(i)]);
                c.post();
                posted->store(i + 1);
            }
        } catch (const std::exception &e) {
            std::fprintf(stderr, "writer: %s\n", e.what());
            rc = 1;
        }
        _exit(rc);
    }
    auto t = Table::open(path, OpenMode::Shared);
    Cursor c(*t);
    c.setTag("CODE");
    std::mt19937 rng(7);
    int seeks = 0, seeksDuringWrites = 0;
    bool writerDone = false;
    while (!writerDone || seeks < 20000) {
        int status = 0;
        if (!writerDone && waitpid(pid, &status, WNOHANG) == pid) {
            writerDone = true;
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        for (int k = 0; k < 100; ++k) {
            const int i = static_cast<int>(rng() % kept);
            ASSERT_TRUE(c.findKey(c.makeKey({ code(i) }))) << code(i) << " not found";
            ASSERT_EQ(c.recNo(), static_cast<RecNo>(i + 1)) << code(i);
            const int done = posted->load();
            if (done > 0) {
                const int j = static_cast<int>(rng() % static_cast<unsigned>(done));
                const std::string &want = addedCodes[static_cast<std::size_t>(j)];
                ASSERT_TRUE(c.findKey(c.makeKey({ want }))) << want << " posted, not found";
                ASSERT_EQ(c.recNo(), static_cast<RecNo>(kept + j + 1)) << want;
            }
            seeks += 2;
            if (!writerDone)
                seeksDuringWrites += 2;
        }
    }
    munmap(posted, sizeof(std::atomic<int>));
    EXPECT_GE(seeksDuringWrites, 1000);
    std::printf("%d seeks, %d while the writer ran\n", seeks, seeksDuringWrites);
    EXPECT_EQ(t->recordCount(), static_cast<RecNo>(kept + added));
    const auto faults = checkIndex(*t);
    EXPECT_TRUE(faults.empty()) << faults.front();
}
