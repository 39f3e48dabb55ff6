// A table and production index as another dBASE IV program leaves them after deleting records:
// the records carry the deletion mark and every tag still lists their keys until the next pack.
// The files are assembled byte by byte from the format notes, not by our own writer.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/mdx_check.h"
#include "mdx_model.h"
#include "test_dir.h"
#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace dbf;
using namespace mdx_model;

namespace {

class Bytes
{
public:
    explicit Bytes(std::size_t size)
        : data(size, 0)
    {
    }
    void u16(std::size_t at, unsigned v)
    {
        data[at] = static_cast<std::uint8_t>(v);
        data[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void u32(std::size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            data[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    // `s` padded with blanks to `width` (or left NUL-padded when `width` is 0).
    void text(std::size_t at, const std::string &s, std::size_t width = 0)
    {
        std::copy(s.begin(), s.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
        for (std::size_t i = s.size(); i < width; ++i)
            data[at + i] = ' ';
    }
    std::vector<std::uint8_t> data;
};

struct FixtureRecord
{
    bool deleted;
    const char *name;
    int id;
};

// Record 3 holds the ID of the deleted record 2, which the unique tag still lists before it.
const FixtureRecord kRecords[] = {
    { false, "carol", 3 },
    { true, "alpha", 2 },
    { false, "alpha", 2 },
    { true, "dave", 4 },
    { false, "bravo", 1 },
    { true, "", 9 },
};
constexpr std::size_t kDeletedRecords = 3;

// FX.DBF: NAME C(60), CODE C(4), DAY D, AMT N(10,2), ID C(8); CODE, DAY and AMT left blank.
std::vector<std::uint8_t> fixtureDbf()
{
    const std::size_t headerLength = 32 + 5 * 32 + 1, recordLength = 1 + 60 + 4 + 8 + 10 + 8;
    const std::size_t count = std::size(kRecords);
    Bytes f(headerLength + count * recordLength + 1);
    f.data[0] = 0x03;
    f.data[1] = 0x65; // 2001-07-04
    f.data[2] = 7;
    f.data[3] = 4;
    f.u32(4, static_cast<std::uint32_t>(count));
    f.u16(8, headerLength);
    f.u16(10, recordLength);
    f.data[28] = 0x01; // production index
    struct Field
    {
        const char *name;
        char type;
        int length, decimals;
        bool tagged;
    };
    const Field fields[] = { { "NAME", 'C', 60, 0, true }, { "CODE", 'C', 4, 0, false },
        { "DAY", 'D', 8, 0, false }, { "AMT", 'N', 10, 2, false }, { "ID", 'C', 8, 0, true } };
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const std::size_t at = 32 + 32 * i;
        f.text(at, fields[i].name);
        f.data[at + 11] = static_cast<std::uint8_t>(fields[i].type);
        f.data[at + 16] = static_cast<std::uint8_t>(fields[i].length);
        f.data[at + 17] = static_cast<std::uint8_t>(fields[i].decimals);
        f.data[at + 31] = fields[i].tagged ? 1 : 0;
    }
    f.data[headerLength - 1] = 0x0D;
    for (std::size_t r = 0; r < count; ++r) {
        const std::size_t at = headerLength + r * recordLength;
        f.text(at, kRecords[r].deleted ? "*" : " ");
        f.text(at + 1, kRecords[r].name, 60);
        f.text(at + 61, "", 4 + 8 + 10);
        f.text(at + 83, idText(kRecords[r].id), 8);
    }
    f.data.back() = 0x1A;
    return f.data;
}

// Page numbers of FX.MDX (1024-byte blocks, two pages each).
constexpr std::uint32_t kNameHeader = 4, kNameRoot = 6, kIdHeader = 8, kIdRoot = 10, kNameLeft = 12,
                        kNameRight = 14, kPages = 16;

void tagEntry(Bytes &m, int slot, std::uint32_t headerPage, const char *name)
{
    const std::size_t at = 544 + 32 * static_cast<std::size_t>(slot - 1);
    m.u32(at, headerPage);
    m.text(at + 4, name);
    m.data[at + 15] = 0x10; // a plain field
    m.data[at + 19] = 0x02;
    m.data[at + 20] = 'C';
}

void tagHeader(Bytes &m, std::uint32_t page, std::uint32_t root, std::uint32_t pagesUsed,
    unsigned keyLength, bool unique, const char *expression, std::uint32_t firstLeaf,
    std::uint32_t lastLeaf)
{
    const std::size_t at = page * 512;
    const unsigned item = (keyLength + 4 + 3) / 4 * 4;
    m.u32(at, root);
    m.u32(at + 4, pagesUsed);
    m.data[at + 8] = unique ? 0x50 : 0x10;
    m.data[at + 9] = 'C';
    m.u16(at + 12, keyLength);
    m.u16(at + 14, (1024 - 12) / item);
    m.u16(at + 18, item);
    m.data[at + 20] = 3;
    m.data[at + 23] = unique ? 1 : 0;
    m.text(at + 24, expression);
    m.data[at + 246] = 1; // has keys
    m.u32(at + 248, firstLeaf);
    m.u32(at + 252, lastLeaf);
    m.data[at + 257] = 0x65;
    m.data[at + 258] = 7;
    m.data[at + 259] = 4;
    m.data[at + 480] = 1; // single field
}

struct Entry
{
    std::uint32_t pointer; // record number in a leaf, child page in an interior node
    std::string key;
};

// A node: its entries, then the extra pointer (0 in a leaf).
void node(Bytes &m, std::uint32_t page, unsigned keyLength, const std::vector<Entry> &entries,
    std::uint32_t extra = 0)
{
    const std::size_t at = page * 512;
    const unsigned item = (keyLength + 4 + 3) / 4 * 4;
    m.u32(at, static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        m.u32(at + 8 + i * item, entries[i].pointer);
        m.text(at + 8 + i * item + 4, entries[i].key, keyLength);
    }
    m.u32(at + 8 + entries.size() * item, extra);
}

// FX.MDX: tag NAME (two leaves under an interior root) and unique tag ID (one leaf), each
// listing all six records, the deleted ones included, in key then record order.
std::vector<std::uint8_t> fixtureMdx()
{
    Bytes m(kPages * 512);
    m.data[0] = 0x02;
    m.data[1] = 0x65;
    m.data[2] = 7;
    m.data[3] = 4;
    m.text(4, "FX");
    m.u16(20, 2);
    m.u16(22, 1024);
    m.data[24] = 1;
    m.data[25] = 48;
    m.data[26] = 32;
    m.u16(28, 2);
    m.data[30] = 3;
    m.u32(32, kPages);
    m.data[44] = 0x65;
    m.data[45] = 7;
    m.data[46] = 4;
    m.data[529] = 0x01;
    tagEntry(m, 1, kNameHeader, "NAME");
    tagEntry(m, 2, kIdHeader, "ID");
    m.data[544 + 16] = 2; // tag thread: "ID" < "NAME", the left child of tag 1
    m.data[544 + 32 + 18] = 1;
    tagHeader(m, kNameHeader, kNameRoot, 8, 60, false, "NAME", kNameLeft, kNameRight);
    tagHeader(m, kIdHeader, kIdRoot, 4, 8, true, "ID", kIdRoot, kIdRoot);
    node(m, kNameRoot, 60, { { kNameLeft, "alpha" } }, kNameRight);
    node(m, kNameLeft, 60, { { 6, "" }, { 2, "alpha" }, { 3, "alpha" } });
    node(m, kNameRight, 60, { { 5, "bravo" }, { 1, "carol" }, { 4, "dave" } });
    node(m, kIdRoot, 8,
        { { 5, idText(1) }, { 2, idText(2) }, { 3, idText(2) }, { 1, idText(3) }, { 4, idText(4) },
            { 6, idText(9) } });
    return m.data;
}

std::string runCheck(const std::filesystem::path &table, int *status)
{
    const std::string command = std::string("'") + TARNW_BINARY_DIR + "/tools/tarnw-dbf' check '"
        + table.string() + "' 2>&1";
    std::string output;
    FILE *pipe = popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int s = pclose(pipe);
    *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    return output;
}

const char *const kFixtureTags[] = { "NAME", "ID" };

// Both tags in both directions against the model, every live ID found, the check clean with
// `keptDeleted` records' keys counted.
void expectAgrees(Table &table, const Model &model, std::size_t keptDeleted)
{
    std::size_t deletedKeys = 0;
    const auto faults = checkIndex(table, &deletedKeys);
    EXPECT_TRUE(faults.empty()) << faults.front();
    EXPECT_EQ(deletedKeys, keptDeleted * std::size(kFixtureTags));
    for (const char *tag : kFixtureTags) {
        const std::vector<RecNo> forward = tagOrder(table, tag, false);
        const std::vector<RecNo> backward = tagOrder(table, tag, true);
        const auto expected = model.order(tag);
        EXPECT_EQ(forward, expected) << tag;
        EXPECT_EQ(backward, expected) << tag;
    }
    Cursor f(table);
    f.setTag("ID");
    for (const auto &[r, row] : model.live) {
        ASSERT_TRUE(f.findKey(f.makeKey({ idText(row.id) }))) << row.id;
        EXPECT_EQ(f.recNo(), r) << row.id;
    }
}

} // namespace

TEST(ForeignIndexFixture, CheckCountsKeptKeysAndSeekFindsTheLiveRecord)
{
    TestDir dir;
    writeBytes(dir / "FX.DBF", fixtureDbf());
    writeBytes(dir / "FX.MDX", fixtureMdx());

    int status = -1;
    const std::string output = runCheck(dir / "FX.DBF", &status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output,
        "2 tags checked, no fault\n" + std::to_string(kDeletedRecords * 2)
            + " keys of deleted records kept until the next pack\n");

    auto table = Table::open(dir / "FX.DBF", OpenMode::Shared);
    Model model;
    for (std::size_t r = 0; r < std::size(kRecords); ++r)
        if (!kRecords[r].deleted)
            model.live[static_cast<RecNo>(r + 1)] =
                Row{ kRecords[r].name, "", "", 0, kRecords[r].id };
    expectAgrees(*table, model, kDeletedRecords);

    // ID 2 is listed for the deleted record 2 first, then for the live record 3.
    Cursor c(*table);
    c.setTag("ID");
    ASSERT_TRUE(c.findKey(c.makeKey({ idText(2) })));
    EXPECT_EQ(c.recNo(), 3u);
    EXPECT_EQ(c.text("NAME"), "alpha");
    // The IDs only deleted records hold are free; a live one is not.
    EXPECT_FALSE(c.findKey(c.makeKey({ idText(9) })));
    c.append();
    store(c, Row{ "eve", "", "", 0, 9 });
    c.post();
    c.append();
    store(c, Row{ "frank", "", "", 0, 2 });
    EXPECT_THROW(c.post(), KeyViolation);
    c.cancel();
    model.live[7] = Row{ "eve", "", "", 0, 9 };
    expectAgrees(*table, model, kDeletedRecords);
}

// 1,000 random appends, key-changing edits, deletes and refused duplicates on the fixture, in
// batches each followed by the full comparison; the last batch ends with a pack.
TEST(ForeignIndexFixture, RandomWritesAndPackKeepEveryTagRight)
{
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator gen(seed);
    TestDir dir;
    const auto path = dir / "FX.DBF";
    writeBytes(path, fixtureDbf());
    writeBytes(dir / "FX.MDX", fixtureMdx());

    Model model;
    std::map<RecNo, Row> keptDeleted;
    for (std::size_t r = 0; r < std::size(kRecords); ++r) {
        const Row row{ kRecords[r].name, "", "", 0, kRecords[r].id };
        (kRecords[r].deleted ? keptDeleted : model.live)[static_cast<RecNo>(r + 1)] = row;
    }
    int nextId = 10;
    const int batches = 4, opsPerBatch = 250;
    for (int batch = 0; batch < batches; ++batch) {
        SCOPED_TRACE("batch " + std::to_string(batch));
        const bool pack = batch == batches - 1;
        auto table = Table::open(path, pack ? OpenMode::Exclusive : OpenMode::Shared);
        Cursor c(*table);
        c.setTag(kFixtureTags[gen.below(2)]);
        for (int op = 0; op < opsPerBatch; ++op) {
            const int what = gen.below(10);
            if (what < 4 || model.live.empty()) {
                const Row r = gen.row(nextId++);
                c.append();
                store(c, r);
                c.post();
                model.live[c.recNo()] = r;
            } else if (what < 7) {
                auto it = model.live.begin();
                std::advance(it, gen.below(static_cast<int>(model.live.size())));
                ASSERT_TRUE(c.gotoRecNo(it->first));
                const Row r = gen.row(it->second.id);
                c.edit();
                store(c, r);
                c.post();
                it->second = r;
            } else if (what < 8) {
                auto it = model.live.begin();
                std::advance(it, gen.below(static_cast<int>(model.live.size())));
                ASSERT_TRUE(c.gotoRecNo(it->first));
                c.remove();
                model.live.erase(it);
            } else {
                // An ID a live record holds is refused; one only kept deleted records hold is
                // taken.
                const bool reuseDeleted = !keptDeleted.empty() && gen.below(2) == 0;
                const std::map<RecNo, Row> &from = reuseDeleted ? keptDeleted : model.live;
                auto it = from.begin();
                std::advance(it, gen.below(static_cast<int>(from.size())));
                const Row r = gen.row(it->second.id);
                const bool taken = std::any_of(model.live.begin(), model.live.end(),
                    [&](const auto &entry) { return entry.second.id == r.id; });
                c.append();
                store(c, r);
                if (taken) {
                    EXPECT_THROW(c.post(), KeyViolation);
                    c.cancel();
                } else {
                    c.post();
                    model.live[c.recNo()] = r;
                }
            }
        }
        if (pack) {
            table->pack();
            renumberAfterPack(model);
            keptDeleted.clear();
        }
        expectAgrees(*table, model, keptDeleted.size());
        if (testing::Test::HasFatalFailure())
            return;
    }
    // After the pack no key of a deleted record is left and the check tool agrees.
    int status = -1;
    const std::string output = runCheck(path, &status);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output, "2 tags checked, no fault\n");
}
