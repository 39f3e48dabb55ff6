#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/file.h"

namespace dbf {

using BlockNo = std::uint32_t;

// A DBT memo file. Block 0 is the header; memo text lives in runs of whole blocks.
//
// Header (block 0), little-endian:
//   OFFSET SIZE MEANING
//   0      4    next available block (we keep it = blocks in the file; never a free chain)
//   4      4    reserved, 0
//   8      8    table base name, NUL-padded
//   16     1    0x00 dBASE IV layout, 0x03 dBASE III layout
//   17     3    reserved, 0
//   20     2    block size in bytes, multiple of 512 (0 read as 512)
//   22     ..   zero to the end of the block
// dBASE IV memo starting at block b (offset b * block size):
//   0      4    FF FF 08 00 signature
//   4      4    length L including these 8 bytes
//   8      L-8  text, running on into blocks b+1.. without headers; the rest of the last block
//               is padding
// dBASE III memo (read only): text from the block start up to the first 0x1A.
//
// Invariants:
//   M1: the file size is a whole number of blocks once we have written to it.
//   M2: new runs are appended at ceil(file size / block size), never at the header's dword 0,
//       so a file whose header another writer turned into a free-chain head is never damaged.
//   M3: a memo rewritten with no more blocks than it had keeps its place; a memo followed only
//       by blocks where no memo starts (its own leftovers, the end of the file) grows in place.
//       Rewriting one memo therefore never grows the file by more than the largest text it
//       held. Space a memo leaves behind elsewhere is garbage until the table is packed.
class MemoFile
{
public:
    static constexpr std::uint8_t kSignature[4] = { 0xFF, 0xFF, 0x08, 0x00 };
    static constexpr std::uint64_t kAllocationLock = 0xEFFFFFFE;

    // Opens an existing DBT. dbaseIII selects the dBASE III layout (tables of version 0x83).
    // Throws CorruptFile on a truncated header or a bad block size.
    static std::unique_ptr<MemoFile> open(
        const std::filesystem::path &path, bool dbaseIII, bool writable);
    // Writes a new empty DBT (header block only). Fails when the file exists.
    static void create(
        const std::filesystem::path &path, const std::string &tableName, std::uint16_t blockSize);

    const std::filesystem::path &path() const { return m_file.path(); }
    std::uint32_t blockSize() const { return m_blockSize; }

    // The memo text at block `block`. Throws CorruptFile when the block lies past the end of the
    // file, has no signature, or its length runs past the end of the file.
    std::string read(BlockNo block) const;
    // Stores `text` and returns its first block. `oldBlock` (0 for none) is the memo this text
    // replaces: its blocks are reused when the text fits (M3). Empty text returns 0 (the field
    // becomes blank), except over an existing memo, whose run is kept holding a memo of length
    // 0. Takes the allocation lock for appends.
    BlockNo write(BlockNo oldBlock, std::string_view text);
    // Writes the buffered new runs (see setSoleWriter) and then syncs the file.
    void flush();
    // Set when the table owning this file is open exclusively: no other program can write the
    // file then, so allocations skip the allocation lock, the size is known without asking the
    // system, and new runs at the end are gathered in memory and written in large blocks (with
    // the header's next-block number after them) by writePending(), which a read of a gathered
    // block, a rewrite, flush() and the destructor call. The table writes them before the records
    // that point at them.
    void setSoleWriter(bool sole);
    void writePending();
    ~MemoFile();
    MemoFile(const MemoFile &) = delete;
    MemoFile &operator=(const MemoFile &) = delete;

private:
    MemoFile() = default;
    std::uint32_t blocksFor(std::uint64_t length) const;
    std::uint64_t fileBlocks() const;
    std::uint64_t fileSize() const;
    void writeRun(BlockNo block, std::string_view text);
    bool onlyGarbageFrom(std::uint64_t from, std::uint64_t end) const;

    File m_file;
    std::uint32_t m_blockSize = 512;
    bool m_dbaseIII = false;
    bool m_soleWriter = false;
    // Sole writer only: the file's size with the gathered runs, and the runs themselves, which
    // start at block m_pendingBlock.
    std::uint64_t m_size = 0;
    std::vector<std::uint8_t> m_pending;
    BlockNo m_pendingBlock = 0;
};

} // namespace dbf
