#include <functional>
#include <random>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "test_dir.h"
#include <gtest/gtest.h>

using namespace dbf;

namespace {

// T.DBF: NAME C(5), NOTE M; two records whose memos sit at blocks 1 and 2 of T.DBT.
// Header length 32 + 2 * 32 + 1 = 97, record length 16.
void makeTable(const TestDir &dir)
{
    Table::create(dir / "T.DBF",
        { { "NAME", FieldType::Character, 5, 0 }, { "NOTE", FieldType::Memo, 10, 0 } });
    auto table = Table::open(dir / "T.DBF", OpenMode::Shared);
    Cursor c(*table);
    for (const char *name : { "ONE", "TWO" }) {
        c.append();
        c.setText("NAME", name);
        c.setMemo("NOTE", std::string("memo of ") + name);
        c.post();
    }
}

void patch(const std::filesystem::path &path, std::size_t offset, const std::string &hex)
{
    std::vector<std::uint8_t> bytes = readBytes(path);
    const std::vector<std::uint8_t> with = fromHex(hex);
    std::copy(with.begin(), with.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    writeBytes(path, bytes);
}

void truncateTo(const std::filesystem::path &path, std::size_t size)
{
    std::filesystem::resize_file(path, size);
}

// Opens the table and reads every record and memo.
void readAll(const TestDir &dir)
{
    auto table = Table::open(dir / "T.DBF", OpenMode::Shared);
    Cursor c(*table);
    for (bool ok = c.first(); ok; ok = c.next())
        (void)c.memo("NOTE");
}

} // namespace

TEST(DamagedFile, EachDamageGivesAnErrorNamingTheFile)
{
    struct Case
    {
        const char *what;
        std::function<void(const TestDir &)> damage;
        const char *file; // named in the message
        const char *message; // part of the message
        bool unsupported = false;
    };
    const std::vector<Case> cases = {
        { "truncated header", [](const TestDir &d) { truncateTo(d / "T.DBF", 20); }, "T.DBF",
            "truncated table header" },
        { "header cut inside the descriptors",
            [](const TestDir &d) { truncateTo(d / "T.DBF", 50); }, "T.DBF", "header length" },
        { "record length disagrees with the fields",
            [](const TestDir &d) { patch(d / "T.DBF", 10, "11 00"); }, "T.DBF",
            "record length 17 disagrees" },
        { "record count beyond the end of the file",
            [](const TestDir &d) { patch(d / "T.DBF", 4, "E8 03 00 00"); }, "T.DBF",
            "record count 1000 runs past the end" },
        { "record count near 2^32", [](const TestDir &d) { patch(d / "T.DBF", 4, "FF FF FF FF"); },
            "T.DBF", "runs past the end" },
        { "header length beyond the file", [](const TestDir &d) { patch(d / "T.DBF", 8, "FF FF"); },
            "T.DBF", "runs past the end of the file" },
        { "no header terminator", [](const TestDir &d) { patch(d / "T.DBF", 96, "20"); }, "T.DBF",
            "runs past the header length" },
        { "unknown field type", [](const TestDir &d) { patch(d / "T.DBF", 32 + 11, "58"); },
            "T.DBF", "unknown type" },
        { "memo block past the end of the DBT",
            [](const TestDir &d) { patch(d / "T.DBF", 97 + 6, "20 20 20 20 20 20 39 39 39 39"); },
            "T.DBT", "memo block 9999 is past the end" },
        { "memo pointer that is no number",
            [](const TestDir &d) { patch(d / "T.DBF", 97 + 6, "20 20 20 20 20 20 41 42 43 44"); },
            "T.DBF", "not a block number" },
        { "memo length running past the file",
            [](const TestDir &d) { patch(d / "T.DBT", 512 + 4, "FF FF FF 7F"); }, "T.DBT",
            "memo length 2147483647 runs past the end" },
        { "memo length below its own header",
            [](const TestDir &d) { patch(d / "T.DBT", 512 + 4, "03 00 00 00"); }, "T.DBT",
            "too small" },
        { "memo block without signature",
            [](const TestDir &d) { patch(d / "T.DBT", 1024, "00 00 00 00"); }, "T.DBT",
            "does not start a memo" },
        { "truncated memo file", [](const TestDir &d) { truncateTo(d / "T.DBT", 10); }, "T.DBT",
            "truncated memo file header" },
        { "memo file cut inside a memo",
            [](const TestDir &d) { truncateTo(d / "T.DBT", 1024 + 12); }, "T.DBT",
            "runs past the end" },
        { "bad memo block size", [](const TestDir &d) { patch(d / "T.DBT", 20, "00 03"); }, "T.DBT",
            "not a multiple of 512" },
        { "encrypted table", [](const TestDir &d) { patch(d / "T.DBF", 15, "01"); }, "T.DBF",
            "encrypted", true },
        { "level 7 table", [](const TestDir &d) { patch(d / "T.DBF", 0, "04"); }, "T.DBF",
            "not a dBASE IV table", true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestDir dir;
        makeTable(dir);
        c.damage(dir);
        try {
            readAll(dir);
            ADD_FAILURE() << "no error";
        } catch (const CorruptFile &e) {
            EXPECT_FALSE(c.unsupported);
            EXPECT_NE(std::string(e.what()).find(c.file), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        } catch (const Unsupported &e) {
            EXPECT_TRUE(c.unsupported) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.file), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(DamagedFile, CountRaisedPastTheEndWhileOpenIsCaught)
{
    TestDir dir;
    makeTable(dir);
    auto table = Table::open(dir / "T.DBF", OpenMode::Shared);
    Cursor c(*table);
    patch(dir / "T.DBF", 4, "64 00 00 00"); // another writer's bad header: 100 records
    EXPECT_THROW(table->recordCount(), CorruptFile);
    EXPECT_THROW(c.last(), CorruptFile);
}

TEST(DamagedFile, OverlongValuesNeverSpillIntoTheNextField)
{
    TestDir dir;
    Table::create(dir / "V.DBF",
        { { "A", FieldType::Character, 3, 0 }, { "N", FieldType::Numeric, 6, 2 },
            { "B", FieldType::Character, 3, 0 } });
    auto table = Table::open(dir / "V.DBF", OpenMode::Shared);
    Cursor c(*table);
    c.append();
    c.setText("B", "zzz");
    c.setNumber("N", 1.5);
    c.setText("A", "ABCDEFGHIJ");
    EXPECT_THROW(c.setNumber("N", 1000.0), Error); // "1000.00" needs 7 characters
    EXPECT_THROW(c.setNumber("N", -100.0), Error);
    EXPECT_THROW(c.setInteger("N", 10000000), Error);
    EXPECT_THROW(c.setText("N", "12x"), Error);
    c.post();
    EXPECT_EQ(c.text("A"), "ABC");
    EXPECT_EQ(c.number("N"), 1.5);
    EXPECT_EQ(c.text("B"), "zzz");
    EXPECT_EQ(std::string(c.raw(1)), "  1.50");
}

// Random damage anywhere in the header, the records or the memo file: every outcome is either a
// clean read or an engine error, never a crash or a read outside the files (run under the
// sanitizers).
TEST(DamagedFile, RandomDamageEndsInAnErrorOrACleanRead)
{
    TestDir dir;
    makeTable(dir);
    const std::vector<std::uint8_t> dbf = readBytes(dir / "T.DBF");
    const std::vector<std::uint8_t> dbt = readBytes(dir / "T.DBT");
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    int errors = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> d = dbf, m = dbt;
        for (int k = 0; k < 3; ++k) {
            std::vector<std::uint8_t> &target = rng() % 3 == 0 ? m : d;
            target[rng() % target.size()] = static_cast<std::uint8_t>(rng());
        }
        if (rng() % 8 == 0)
            d.resize(rng() % d.size());
        writeBytes(dir / "T.DBF", d);
        writeBytes(dir / "T.DBT", m);
        try {
            readAll(dir);
        } catch (const Error &) {
            ++errors;
        }
    }
    EXPECT_GT(errors, 0);
}
