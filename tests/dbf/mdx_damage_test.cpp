// Damaged index files: reported as CorruptFile naming the file, never followed into a crash or
// an endless walk; `tarnw-dbf check` lists the faults and `reindex` repairs the tags.
#include <cstdio>
#include <functional>
#include <random>
#include <string>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/mdx_check.h"
#include "test_dir.h"
#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace dbf;

namespace {

std::uint32_t get32(const std::vector<std::uint8_t> &b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}
void put32(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct ToolRun
{
    int status = -1;
    std::string output;
};

ToolRun tarnwDbf(const std::string &arguments)
{
    const std::string command =
        std::string("'") + TARNW_BINARY_DIR + "/tools/tarnw-dbf' " + arguments + " 2>&1";
    ToolRun r;
    FILE *pipe = popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        r.output.append(buffer, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class MdxDamageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Table::create(m_dir / "DMG.DBF",
            { { "NAME", FieldType::Character, 30, 0 }, { "AMT", FieldType::Numeric, 8, 0 } });
        auto t = Table::open(m_dir / "DMG.DBF", OpenMode::Exclusive);
        t->addTag("NAME", "NAME");
        t->addTag("AMT", "AMT");
        {
            Cursor c(*t);
            for (int i = 0; i < 400; ++i) {
                c.append();
                c.setText("NAME", "K" + std::to_string((i * 7919) % 1000));
                c.setInteger("AMT", (i * 31) % 97);
                c.post();
            }
        }
        t.reset();
        m_good = readBytes(mdx());
        // The NAME tag (item 36, 28 keys a node) has an interior root over several leaves.
        m_root = get32(m_good, 2048) * 512;
        ASSERT_GT(get32(m_good, m_root + 8 + 0 * 36 + 0), 0u);
        ASSERT_NE(get32(m_good, m_root + 8 + get32(m_good, m_root) * 36), 0u); // interior
    }
    std::filesystem::path mdx() const { return m_dir / "DMG.MDX"; }
    std::string file() const { return "'" + (m_dir / "DMG.DBF").string() + "'"; }

    // Opens the table and walks every tag both ways; the error text, or "" when all went well.
    std::string openAndWalk()
    {
        try {
            auto t = Table::open(m_dir / "DMG.DBF", OpenMode::Shared);
            Cursor c(*t);
            for (const TagInfo &tag : t->tags()) {
                c.setTag(tag.name);
                for (bool ok = c.first(); ok; ok = c.next()) { }
                for (bool ok = c.last(); ok; ok = c.prior()) { }
            }
            return "";
        } catch (const CorruptFile &e) {
            EXPECT_EQ(e.path().filename(), "DMG.MDX");
            return e.what();
        }
    }

    TestDir m_dir;
    std::vector<std::uint8_t> m_good;
    std::size_t m_root = 0;
};

} // namespace

TEST_F(MdxDamageTest, EachKindOfDamageIsReportedAndReindexRepairsTheTree)
{
    const std::size_t item = 36;
    const std::size_t firstLeaf = get32(m_good, m_root + 8) * 512;
    const struct
    {
        const char *what;
        std::function<void(std::vector<std::uint8_t> &)> damage;
        const char *message; // part of the walk's error
    } cases[] = {
        { "pointer outside the file", [&](auto &b) { put32(b, m_root + 8 + item, 0x7FFF0000); },
            "outside the index file" },
        { "odd page", [&](auto &b) { put32(b, m_root + 8 + item, 7); }, "outside the index file" },
        { "loop back to the root",
            [&](auto &b) { put32(b, m_root + 8 + item, static_cast<std::uint32_t>(m_root / 512)); },
            "loop" },
        { "two parents of one leaf",
            [&](auto &b) { put32(b, m_root + 8 + item, get32(b, m_root + 8)); }, "out of order" },
        { "keys out of order in a leaf",
            [&](auto &b) {
                for (std::size_t i = 0; i < item; ++i)
                    std::swap(b[firstLeaf + 8 + i], b[firstLeaf + 8 + item + i]);
            },
            "out of order" },
        { "too many keys in a node", [&](auto &b) { put32(b, firstLeaf, 5000); }, "keys" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto bytes = m_good;
        c.damage(bytes);
        writeBytes(mdx(), bytes);
        const std::string error = openAndWalk();
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        const ToolRun check = tarnwDbf("check " + file());
        EXPECT_EQ(check.status, 1) << check.output;
        EXPECT_NE(check.output.find("tag NAME: "), std::string::npos) << check.output;
        const ToolRun reindex = tarnwDbf("reindex " + file());
        EXPECT_EQ(reindex.status, 0) << reindex.output;
        EXPECT_EQ(openAndWalk(), "");
        const ToolRun again = tarnwDbf("check " + file());
        EXPECT_EQ(again.status, 0) << again.output;
    }
}

TEST_F(MdxDamageTest, WrongSignatureOrSizesFailTheOpenNamingTheIndexFile)
{
    const struct
    {
        std::size_t at;
        std::uint8_t value;
    } cases[] = { { 0, 0x03 }, { 25, 12 }, { 32, 200 }, { 544, 250 }, { 2048 + 12, 0 },
        { 2048 + 14, 200 }, { 2048 + 9, 'X' } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.at);
        auto bytes = m_good;
        bytes[c.at] = c.value;
        writeBytes(mdx(), bytes);
        const std::string error = openAndWalk();
        EXPECT_NE(error.find("DMG.MDX"), std::string::npos) << error;
        // reindex makes the tags again from the definitions still readable in the file.
        const ToolRun reindex = tarnwDbf("reindex " + file());
        EXPECT_EQ(reindex.status, 0) << reindex.output;
        EXPECT_EQ(openAndWalk(), "");
        // A tag whose entry points at the wrong page cannot be read back; the others can.
        const ToolRun tags = tarnwDbf("tags " + file());
        EXPECT_EQ(tags.output,
            std::string(c.at == 544 ? "" : "NAME\tNAME\tC(30)\n") + "AMT\tAMT\tN(12)\n");
        EXPECT_EQ(tarnwDbf("check " + file()).status, 0);
    }
    // Tags with a FOR condition or in descending order are refused rather than kept wrongly.
    for (std::size_t at : { std::size_t{ 2048 + 245 }, std::size_t{ 2048 + 8 } }) {
        auto bytes = m_good;
        bytes[at] |= at == 2048 + 8 ? 0x08 : 0x01;
        writeBytes(mdx(), bytes);
        EXPECT_THROW(Table::open(m_dir / "DMG.DBF", OpenMode::Shared), Unsupported) << at;
    }
    // The block size of another kind of index is refused as unsupported.
    auto bytes = m_good;
    bytes[22] = 0x00;
    bytes[23] = 0x02;
    writeBytes(mdx(), bytes);
    EXPECT_THROW(Table::open(m_dir / "DMG.DBF", OpenMode::Shared), Unsupported);
}

// Random bytes anywhere in the file: an error or a clean walk, never a crash or a hang.
TEST_F(MdxDamageTest, RandomDamageEndsInAnErrorOrACleanWalk)
{
    std::mt19937 rng(std::random_device{}());
    const unsigned seed = rng();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 r(seed);
    int errors = 0;
    for (int round = 0; round < 60; ++round) {
        auto bytes = m_good;
        const int flips = 1 + static_cast<int>(r() % 8);
        for (int i = 0; i < flips; ++i) {
            // Mostly node blocks, sometimes the header and tag blocks.
            const std::size_t at = r() % 4 == 0 ? r() % 4096 : 4096 + r() % (bytes.size() - 4096);
            bytes[at] = static_cast<std::uint8_t>(r());
        }
        writeBytes(mdx(), bytes);
        try {
            if (!openAndWalk().empty())
                ++errors;
            auto t = Table::open(m_dir / "DMG.DBF", OpenMode::Shared);
            checkIndex(*t);
        } catch (const Error &) {
            ++errors;
        }
    }
    EXPECT_GT(errors, 0);
}
