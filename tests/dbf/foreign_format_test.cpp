#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "test_dir.h"
#include <gtest/gtest.h>

using namespace dbf;

// Files as other writers produce them, assembled byte by byte from the format notes rather than
// by our own writer.

namespace {

// F.DBF, version 0x8B, last update 2001-07-04 (year byte 0x65); fields N C(3), OK L, NOTE M
// with each field's record offset in descriptor bytes 12..15 (as some writers store it).
// Header 32 + 3 * 32 + 1 = 129 (0x81); record 1 + 3 + 1 + 10 = 15 (0x0F). Three records:
//   1: "ABC", '?', memo "0000000001" (zero-padded pointer)
//   2: "DE ", ' ', memo "         3" (space-padded pointer; its memo has stale bytes after it)
//   3: deleted "XYZ", 'y', no memo
// No end-of-file mark after the last record.
const char *kForeignDbf = R"(
8B 65 07 04 03 00 00 00 81 00 0F 00 00 00 00 00 | 0x8B, 2001-07-04, 3 records, 129, 15
00 00 00 00 00 00 00 00 00 00 00 00 00 03 00 00 | LDID 3
4E 00 00 00 00 00 00 00 00 00 00 43 01 00 00 00 | N C, offset 1 in bytes 12..15
03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
4F 4B 00 00 00 00 00 00 00 00 00 4C 04 00 00 00 | OK L, offset 4
01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
4E 4F 54 45 00 00 00 00 00 00 00 4D 05 00 00 00 | NOTE M, offset 5
0A 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00
0D
20 41 42 43 3F 30 30 30 30 30 30 30 30 30 31       | "ABC" '?' "0000000001"
20 44 45 20 20 20 20 20 20 20 20 20 20 20 33       | "DE " ' ' "         3"
2A 58 59 5A 79 20 20 20 20 20 20 20 20 20 20       | deleted "XYZ" 'y'
)";

// F.DBT with 1024-byte blocks. Header dword 0 holds 1, as a free-chain head of another writer
// would; the file has 5 blocks. Block 1: "hello" (L = 13) followed by stale bytes; block 3:
// 1020 bytes of 'q' running into block 4 (L = 1028).
std::vector<std::uint8_t> foreignDbt()
{
    std::vector<std::uint8_t> dbt(5 * 1024, 0);
    const std::vector<std::uint8_t> header =
        fromHex("01 00 00 00 00 00 00 00 46 00 00 00 00 00 00 00 00 00 02 01 00 04");
    std::copy(header.begin(), header.end(), dbt.begin());
    const std::vector<std::uint8_t> memo1 = fromHex("FF FF 08 00 0D 00 00 00 68 65 6C 6C 6F"
                                                    "53 54 41 4C 45 1A 1A"); // "hello" + stale
    std::copy(memo1.begin(), memo1.end(), dbt.begin() + 1024);
    const std::vector<std::uint8_t> memo3 = fromHex("FF FF 08 00 04 04 00 00");
    std::copy(memo3.begin(), memo3.end(), dbt.begin() + 3 * 1024);
    std::fill(dbt.begin() + 3 * 1024 + 8, dbt.begin() + 3 * 1024 + 8 + 1020, 'q');
    std::fill(dbt.begin() + 3 * 1024 + 8 + 1020, dbt.begin() + 5 * 1024, 'S'); // stale
    return dbt;
}

} // namespace

TEST(ForeignFormat, ReadsWhatOtherWritersProduce)
{
    TestDir dir;
    writeBytes(dir / "F.DBF", fromHex(kForeignDbf));
    writeBytes(dir / "F.DBT", foreignDbt());
    auto table = Table::open(dir / "F.DBF", OpenMode::Shared);
    EXPECT_EQ(table->lastUpdate(), Date(2001, 7, 4));
    EXPECT_EQ(table->languageDriver(), 3);
    EXPECT_EQ(table->recordCount(), 3u);
    EXPECT_EQ(table->liveRecordCount(), 2u);

    Cursor c(*table);
    EXPECT_EQ(c.text("N"), "ABC");
    EXPECT_TRUE(c.isBlank("OK")); // '?'
    EXPECT_EQ(c.text("OK"), "");
    EXPECT_EQ(c.memo("NOTE"), "hello");
    ASSERT_TRUE(c.next());
    EXPECT_EQ(c.text("N"), "DE");
    EXPECT_TRUE(c.isBlank("OK")); // blank
    EXPECT_EQ(c.memo("NOTE"), std::string(1020, 'q'));
    EXPECT_FALSE(c.next()); // record 3 is deleted

    // A memo that no longer fits goes after the last block, whatever header dword 0 says (M2).
    c.first();
    c.edit();
    c.setMemo("NOTE", std::string(2000, 'n'));
    c.post();
    EXPECT_EQ(std::string(c.raw(2)), "         5");
    EXPECT_EQ(readBytes(dir / "F.DBT").size(), 7u * 1024);
    EXPECT_EQ(c.memo("NOTE"), std::string(2000, 'n'));
    c.next();
    EXPECT_EQ(c.memo("NOTE"), std::string(1020, 'q'));
    // Appending a record restores the end-of-file mark after it.
    c.append();
    c.setText("N", "NEW");
    c.post();
    const std::vector<std::uint8_t> bytes = readBytes(dir / "F.DBF");
    EXPECT_EQ(bytes.size(), 129u + 4 * 15 + 1);
    EXPECT_EQ(bytes.back(), 0x1A);
}

TEST(ForeignFormat, HeaderYearByteOfBothConventions)
{
    struct Case
    {
        std::uint8_t byte;
        int year;
    };
    for (const Case c :
        { Case{ 0x65, 2001 }, Case{ 0x7C, 2024 }, Case{ 0x1A, 2026 }, Case{ 0x5F, 1995 } }) {
        SCOPED_TRACE(c.year);
        TestDir dir;
        std::vector<std::uint8_t> bytes = fromHex(kForeignDbf);
        bytes[0] = 0x03; // no memo file needed
        bytes[32 + 2 * 32 + 11] = 'C';
        bytes[1] = c.byte;
        writeBytes(dir / "Y.DBF", bytes);
        EXPECT_EQ(Table::open(dir / "Y.DBF", OpenMode::Shared)->lastUpdate().year(), c.year);
    }
}

TEST(ForeignFormat, ReadsDbaseIIIMemosAndRefusesToWriteThem)
{
    TestDir dir;
    std::vector<std::uint8_t> bytes = fromHex(kForeignDbf);
    bytes[0] = 0x83;
    writeBytes(dir / "T3.DBF", bytes);
    // dBASE III memo file: next block, version 3 at byte 16, 512-byte blocks; text ends at 0x1A.
    std::vector<std::uint8_t> dbt(4 * 512, 0);
    dbt[0] = 4;
    dbt[16] = 3;
    const std::string first = "dBASE III text\x1A\x1A";
    std::copy(first.begin(), first.end(), dbt.begin() + 512);
    std::fill(dbt.begin() + 3 * 512, dbt.end(), 'z'); // block 3: runs to the end, no 0x1A
    writeBytes(dir / "T3.DBT", dbt);

    auto table = Table::open(dir / "T3.DBF", OpenMode::Shared);
    Cursor c(*table);
    EXPECT_EQ(c.memo("NOTE"), "dBASE III text");
    c.next();
    EXPECT_EQ(c.memo("NOTE"), std::string(512, 'z'));
    c.edit();
    c.setMemo("NOTE", "x");
    EXPECT_THROW(c.post(), Unsupported);
    c.cancel();
}
