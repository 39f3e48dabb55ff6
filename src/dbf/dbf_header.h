#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "dbf/date.h"
#include "dbf/field.h"

namespace dbf {

// The fixed part of a DBF file: the 32-byte file header, the field descriptors and the header
// terminator. All integers little-endian.
//
// File header (32 bytes):
//   OFFSET SIZE MEANING
//   0      1    version: 0x03 no memo, 0x8B dBASE IV memo (DBT), 0x83 dBASE III memo (read only),
//                0x84 dBASE IV memo as some writers mark it (read and written as they left it)
//   1      3    last update: year - 1900, month, day (binary)
//   4      4    record count, deleted records included
//   8      2    header length = 32 + 32 * fields + 1 (offset of record 1)
//   10     2    record length = 1 + sum of field widths
//   12     2    reserved, 0
//   14     1    incomplete transaction flag (0)
//   15     1    encryption flag; non-zero is refused
//   16     12   multi-user reserved, 0
//   28     1    production index flag: 1 when a production .MDX belongs to the table
//   29     1    language driver id
//   30     2    reserved, 0
// Field descriptor (32 bytes each, from offset 32):
//   0      11   name, ASCII, NUL-padded
//   11     1    type letter C N F D L M
//   12     4    reserved (some writers store the field offset here; ignored)
//   16     1    width
//   17     1    decimals
//   18     13   reserved, 0
//   31     1    production index field flag (1 when a tag is on this field alone)
// After the descriptors: 0x0D. Records start at the header length.
struct DbfHeader
{
    static constexpr std::size_t kFileHeaderSize = 32;
    static constexpr std::size_t kDescriptorSize = 32;
    static constexpr std::uint8_t kTerminator = 0x0D;
    static constexpr std::uint8_t kEndOfFile = 0x1A;
    static constexpr std::uint8_t kVersionNoMemo = 0x03;
    static constexpr std::uint8_t kVersionMemo4 = 0x8B;
    static constexpr std::uint8_t kVersionMemo3 = 0x83;
    // Written by some other programs for a table with a memo file in the dBASE IV block layout.
    static constexpr std::uint8_t kVersionMemo4Other = 0x84;
    static constexpr std::uint32_t kMaxRecordLength = 4000; // dBASE IV limit
    static constexpr std::size_t kMaxFields = 255;

    std::uint8_t version = kVersionNoMemo;
    Date lastUpdate;
    std::uint32_t recordCount = 0;
    std::uint32_t headerLength = 0;
    std::uint8_t productionIndex = 0;
    std::uint8_t languageDriver = 0;
    RecordLayout layout;
    std::vector<std::uint8_t> fieldIndexFlags; // byte 31 of each descriptor

    // Reads and checks the header of `file` of `fileSize` bytes. Throws CorruptFile (naming
    // path and offset) when it is truncated or contradicts itself: a record length that is not
    // the sum of the fields, a header length that does not fit the descriptors, a record count
    // running past the end of the file, a bad type or width. Throws Unsupported for an
    // encrypted table or a version this engine does not read.
    static DbfHeader parse(const std::filesystem::path &path, std::span<const std::uint8_t> bytes,
        std::uint64_t fileSize);
    // The bytes of the header (header length bytes: file header, descriptors, terminator).
    std::vector<std::uint8_t> serialize() const;
    // Checks a field list for create(): names, widths, decimals, count, record length.
    // Throws Error with a message naming the offending field.
    static void validateFields(std::vector<FieldDef> &fields);

    std::uint32_t recordLength() const { return layout.recordLength(); }
    bool hasDbaseIvMemo() const
    {
        return version == kVersionMemo4 || version == kVersionMemo4Other;
    }
};

// Year byte of the header: year - 1900 on write; on read values below 70 of a writer that stored
// year % 100 are taken as 2000 + value only when they make no sense as 1900 + value (< 1980).
Date decodeHeaderDate(std::uint8_t yy, std::uint8_t mm, std::uint8_t dd);

} // namespace dbf
