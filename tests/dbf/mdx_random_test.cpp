// Random inserts, key-changing edits, deletes and packs against an in-memory model; every tag is
// checked after each batch. TARNW_MDX_RANDOM_SCALE=N multiplies the work (CI runs scale 1);
// TARNW_MDX_RANDOM_SEED repeats a run.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "dbf/btree.h"
#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/mdx_check.h"
#include "dbf/mdx_index.h"
#include "mdx_model.h"
#include "test_dir.h"
#include <gtest/gtest.h>

using namespace dbf;
using namespace mdx_model;

namespace {

int scale()
{
    const char *s = std::getenv("TARNW_MDX_RANDOM_SCALE");
    return s ? std::max(1, std::atoi(s)) : 1;
}

// With `foreignDeletes`, every other delete is made as another dBASE IV program makes it: the
// deletion mark is written into the record and the tags keep its keys until the next pack. The
// check must count those keys, not fault them, and a unique key of such a record must be free
// for a live record.
void runModel(bool foreignDeletes)
{
    const char *seedText = std::getenv("TARNW_MDX_RANDOM_SEED");
    const unsigned seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10))
                                   : std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed) + " (TARNW_MDX_RANDOM_SEED repeats it)");
    Generator gen(seed);
    TestDir dir;
    const auto path = dir / "RND.DBF";
    Table::create(path,
        { { "NAME", FieldType::Character, 60, 0 }, { "CODE", FieldType::Character, 4, 0 },
            { "DAY", FieldType::Date, 8, 0 }, { "AMT", FieldType::Numeric, 10, 2 },
            { "ID", FieldType::Character, 8, 0 } });
    {
        auto t = Table::open(path, OpenMode::Exclusive);
        t->addTag("NAME", "NAME");
        t->addTag("AMT", "AMT");
        t->addTag("DAY", "DAY");
        t->addTag("CODEDAY", "CODE+DTOS(DAY)");
        t->addTag("ID", "ID", { true, true, false });
    }

    Model model;
    std::map<RecNo, Row> keptDeleted; // deleted by the other program, keys still listed
    int nextId = 1;
    const int batches = 6 * scale();
    const int opsPerBatch = 220;
    for (int batch = 0; batch < batches; ++batch) {
        SCOPED_TRACE("batch " + std::to_string(batch));
        const bool pack = batch % 3 == 2;
        auto table = Table::open(path, pack ? OpenMode::Exclusive : OpenMode::Shared);
        Cursor c(*table);
        c.setTag(kTags[gen.below(5)]);
        for (int op = 0; op < opsPerBatch; ++op) {
            const int what = gen.below(10);
            if (what < 5 || model.live.empty()) {
                const Row r = gen.row(nextId++);
                c.append();
                store(c, r);
                c.post();
                model.live[c.recNo()] = r;
            } else if (what < 8) {
                auto it = model.live.begin();
                std::advance(it, gen.below(static_cast<int>(model.live.size())));
                ASSERT_TRUE(c.gotoRecNo(it->first));
                Row r = gen.row(it->second.id);
                c.edit();
                store(c, r);
                c.post();
                it->second = r;
            } else if (what < 9) {
                auto it = model.live.begin();
                std::advance(it, gen.below(static_cast<int>(model.live.size())));
                if (foreignDeletes && gen.below(2) == 0) {
                    File raw = File::open(path, File::Access::ReadWrite);
                    const std::uint8_t mark = '*';
                    raw.writeAt(table->headerLength()
                            + std::uint64_t{ it->first - 1 } * table->layout().recordLength(),
                        &mark, 1);
                    keptDeleted[it->first] = it->second;
                } else {
                    ASSERT_TRUE(c.gotoRecNo(it->first));
                    c.remove();
                }
                model.live.erase(it);
            } else if (!keptDeleted.empty() && gen.below(2) == 0) {
                // The unique key of a record the other program deleted is free again.
                auto it = keptDeleted.begin();
                std::advance(it, gen.below(static_cast<int>(keptDeleted.size())));
                const Row r = gen.row(it->second.id);
                const bool taken = std::any_of(model.live.begin(), model.live.end(),
                    [&](const auto &entry) { return entry.second.id == r.id; });
                c.append();
                store(c, r);
                if (taken) { // by a live record since: refused
                    EXPECT_THROW(c.post(), KeyViolation);
                    c.cancel();
                } else {
                    c.post();
                    model.live[c.recNo()] = r;
                }
            } else {
                // A duplicate of a unique key is refused and leaves nothing behind.
                auto it = model.live.begin();
                std::advance(it, gen.below(static_cast<int>(model.live.size())));
                Row r = gen.row(it->second.id);
                c.append();
                store(c, r);
                EXPECT_THROW(c.post(), KeyViolation);
                c.cancel();
            }
        }
        if (pack) {
            table->pack();
            renumberAfterPack(model);
            keptDeleted.clear();
        }
        std::size_t deletedKeys = 0;
        const auto faults = checkIndex(*table, &deletedKeys);
        EXPECT_TRUE(faults.empty()) << faults.front();
        EXPECT_EQ(deletedKeys, keptDeleted.size() * std::size(kTags));
        for (const char *tag : kTags) {
            const std::vector<RecNo> forward = tagOrder(*table, tag, false);
            const std::vector<RecNo> backward = tagOrder(*table, tag, true);
            const auto expected = model.order(tag);
            ASSERT_EQ(forward, expected) << tag;
            ASSERT_EQ(backward, expected) << tag;
        }
        // Every unique key is found; a missing one is not.
        Cursor f(*table);
        f.setTag("ID");
        for (const auto &[r, row] : model.live) {
            ASSERT_TRUE(f.findKey(f.makeKey({ idText(row.id) })));
            ASSERT_EQ(f.recNo(), r);
        }
        for (const auto &[r, row] : keptDeleted) {
            const bool reused = std::any_of(model.live.begin(), model.live.end(),
                [&](const auto &entry) { return entry.second.id == row.id; });
            if (!reused) {
                EXPECT_FALSE(f.findKey(f.makeKey({ idText(row.id) }))) << row.id;
            }
        }
        EXPECT_FALSE(f.findKey(f.makeKey({ idText(nextId + 5) })));
    }

    // The long-key tag grew to at least three levels on the way.
    auto table = Table::open(path, OpenMode::Shared);
    auto *index = dynamic_cast<MdxIndex *>(table->indexHooks());
    ASSERT_NE(index, nullptr);
    MdxReadSession session(index->file());
    BTree tree(index->file(), 0);
    BTree::Path p;
    ASSERT_TRUE(tree.seekFirst(p));
    EXPECT_GE(p.levels.size(), 3u);
}

} // namespace

TEST(MdxRandom, ModelAgreesWithEveryTagThroughInsertsEditsDeletesAndPacks)
{
    runModel(false);
}

TEST(MdxRandom, IndexThatKeepsDeletedRecordsKeysAsOtherWritersLeaveIt)
{
    runModel(true);
}
