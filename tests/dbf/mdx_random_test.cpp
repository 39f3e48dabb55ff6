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
#include "test_dir.h"
#include <gtest/gtest.h>

using namespace dbf;

namespace {

struct Row
{
    std::string name; // C(60)
    std::string code; // C(4)
    std::string day; // YYYYMMDD or blank
    long cents = 0; // AMT N(10,2)
    int id = 0; // ID C(8), unique tag
};

std::string idText(int id)
{
    char b[24];
    std::snprintf(b, sizeof b, "%08d", id);
    return b;
}

class Model
{
public:
    std::map<RecNo, Row> live;

    // The expected record order of each tag, worked out from the values themselves.
    std::vector<RecNo> order(const std::string &tag) const
    {
        std::multimap<std::tuple<std::string, double, RecNo>, RecNo> sorted;
        for (const auto &[r, row] : live) {
            std::string s;
            double v = 0;
            if (tag == "NAME") {
                s = row.name;
                s.resize(60, ' ');
            } else if (tag == "AMT") {
                v = static_cast<double>(row.cents);
            } else if (tag == "DAY") {
                s = row.day.empty() ? "        " : row.day;
            } else if (tag == "CODEDAY") {
                s = row.code;
                s.resize(4, ' ');
                s += row.day.empty() ? "        " : row.day;
            } else {
                s = idText(row.id);
            }
            sorted.emplace(std::make_tuple(s, v, r), r);
        }
        std::vector<RecNo> out;
        for (const auto &e : sorted)
            out.push_back(e.second);
        return out;
    }
};

const char *const kTags[] = { "NAME", "AMT", "DAY", "CODEDAY", "ID" };

class Generator
{
public:
    explicit Generator(unsigned seed)
        : m_rng(seed)
    {
    }
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

    Row row(int id)
    {
        Row r;
        switch (below(8)) {
        case 0:
            r.name = ""; // blank key
            break;
        case 1:
            r.name = std::string(60, 'z'); // full width
            break;
        default:
            r.name = std::string(1, static_cast<char>('a' + below(3))) + std::to_string(below(400));
            r.name +=
                std::string(static_cast<std::size_t>(below(40)), 'x'); // long keys: deep trees
        }
        static const char *codes[] = { "", "A", "B", "C1", "ZZZZ" };
        r.code = codes[below(5)];
        static const char *days[] = { "", "19000101", "20491231", "20240229", "19991231" };
        if (below(3) == 0) {
            r.day = days[below(5)];
        } else {
            char b[48];
            std::snprintf(
                b, sizeof b, "%04d%02d%02d", 1950 + below(90), 1 + below(12), 1 + below(28));
            r.day = b;
        }
        static const long amounts[] = { 0, -1, -99999999, 99999999, 1, -50 };
        r.cents = below(4) == 0 ? amounts[below(6)] : below(200000) - 100000;
        r.id = id;
        return r;
    }

private:
    std::mt19937 m_rng;
};

void store(Cursor &c, const Row &r)
{
    c.setText("NAME", r.name);
    c.setText("CODE", r.code);
    c.setText("DAY", r.day);
    c.setNumber("AMT", static_cast<double>(r.cents) / 100.0);
    c.setText("ID", idText(r.id));
}

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
            std::map<RecNo, Row> renumbered;
            RecNo r = 1;
            for (const auto &[old, row] : model.live)
                renumbered[r++] = row;
            model.live = std::move(renumbered);
            keptDeleted.clear();
        }
        std::size_t deletedKeys = 0;
        const auto faults = checkIndex(*table, &deletedKeys);
        EXPECT_TRUE(faults.empty()) << faults.front();
        EXPECT_EQ(deletedKeys, keptDeleted.size() * std::size(kTags));
        for (const char *tag : kTags) {
            Cursor w(*table);
            w.setTag(tag);
            std::vector<RecNo> forward, backward;
            for (bool ok = w.first(); ok; ok = w.next())
                forward.push_back(w.recNo());
            for (bool ok = w.last(); ok; ok = w.prior())
                backward.insert(backward.begin(), w.recNo());
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
