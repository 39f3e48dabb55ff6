#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/date.h"
#include "dbf/dbf_header.h"
#include "dbf/field.h"
#include "dbf/file.h"
#include "dbf/index_hooks.h"

namespace dbf {

class MemoFile;

enum class OpenMode { Shared, Exclusive };

struct CreateOptions
{
    std::uint8_t languageDriver = 0x57; // ANSI code page 1252, the usual driver of such tables
    std::uint16_t memoBlockSize = 512; // multiple of 512
    std::optional<Date> lastUpdate; // header date; today when unset
};

// New memo text for one M field of a record being written.
struct MemoUpdate
{
    std::size_t field = 0;
    std::string_view text;
};

class Table;

// The points of a pack between which a stop leaves different files (see table_pack.cpp).
enum class PackStep {
    RecordsWritten, // the new table and memo file are complete, the index not yet
    IndexWritten, // every new file is complete
    MarkerWritten, // the roll-forward marker is durable; no rename made yet
    MemoSwitched,
    IndexSwitched,
    TableSwitched, // every rename made; the marker is still there
};
// Called at each PackStep when set (tests stop a pack there); null otherwise.
inline void (*packStepHook)(PackStep) = nullptr;

// Options of a new index tag. `primary` and `expression` are accepted as callers pass them; a
// dBASE IV index has no primary tags, and whether a key is an expression follows from its text.
struct TagOptions
{
    bool unique = false;
    bool primary = false;
    bool expression = false;
};

// One tag of a table's production index as the tag list reports it.
struct TagInfo
{
    std::string name; // upper case
    std::string expression; // exactly as it was given when the tag was added
    bool unique = false;
    char keyType = 'C'; // C, N or D
    std::uint16_t keyLength = 0;
};

// A record lock held by this program. Move-only; the destructor releases it. Never outlives its
// Table.
class RecordLock
{
public:
    RecordLock() = default;
    RecordLock(Table *table, RecNo recNo)
        : m_table(table)
        , m_recNo(recNo)
    {
    }
    ~RecordLock() { release(); }
    RecordLock(RecordLock &&other) noexcept;
    RecordLock &operator=(RecordLock &&other) noexcept;
    RecordLock(const RecordLock &) = delete;
    RecordLock &operator=(const RecordLock &) = delete;

    bool isHeld() const { return m_table != nullptr; }
    RecNo recNo() const { return m_recNo; }
    void release() noexcept;

private:
    Table *m_table = nullptr;
    RecNo m_recNo = 0;
};

// One open table: its DBF file, its DBT memo file when the table has memo fields, and the index
// layer's hooks when a production index belongs to it. Owns the descriptors; the destructor
// closes them, which releases every lock this Table holds. Not thread-safe. Cursors borrow the
// Table and must not outlive it.
//
// Lifecycle:  open()/create+open --> Open --destructor--> closed.
//
// Lock scheme (byte ranges of the DBF file, open-file-description locks, never waiting). The
// offsets lie far beyond any real data, so a lock never stands in the way of plain reads:
//   0xF0000000  1 byte  open lock: shared lock by every shared open, exclusive lock by an
//                       exclusive open. A conflict fails the open with TableBusy.
//   0xEFFFFFFF  1 byte  append lock, held while an append reads the record count, writes the
//                       record and the end-of-file mark and updates the header.
//   0xEFFFFFFE - r      1 byte  record lock of record r (r >= 1), held from Cursor::edit() to
//                       post()/cancel() and during a delete.
// The DBT file has one lock: 0xEFFFFFFE, 1 byte, held while memo blocks are allocated.
// Separate Table objects of one program lock against each other like separate programs; two
// cursors of one Table are kept apart by the Table's own list of held record locks.
//
// Caching: the header is re-read (record count, date) before each use that depends on it; a
// record is read from the file each time it is asked for, except that a cursor walking in record
// order serves the next steps of a quick walk from blocks read ahead (readRecords; 32 KB first,
// doubling up to 512 KB while the walk goes on), each dropped
// after 50 ms or any write of this Table. edit() and delete always re-read under the record lock.
// Single records are read through a read-only shared mapping of the file, which shows every
// write at once; no
// program ever shortens a table file in place (a pack writes a new file), so a record inside the
// count read from the header is always inside the mapped file.
//
// Invariants kept by every write (numbered for tests and the checker):
//   T1: header length = 32 + 32 * fields + 1; record length = 1 + sum of field widths.
//   T2: header length + count * record length <= file size; the byte after the last record is
//       the end-of-file mark 0x1A.
//   T3: byte 0 of every record is 0x20 (live) or 0x2A (deleted).
//   T4: every non-blank M field names a block of the DBT that starts with FF FF 08 00 and whose
//       length stays inside the DBT.
class Table
{
public:
    static constexpr std::uint64_t kOpenLock = 0xF0000000;
    static constexpr std::uint64_t kAppendLock = 0xEFFFFFFF;
    static constexpr std::uint64_t kRecordLockBase = 0xEFFFFFFE; // record r at base - r

    // Writes a new empty table (and an empty DBT when a field is a memo). Fails when the file
    // exists. Field names are stored upper case. Throws Error on an invalid field list (empty,
    // a bad width, a duplicate or too long name, record longer than 4000 bytes).
    static void create(const std::filesystem::path &path, std::vector<FieldDef> fields,
        const CreateOptions &options = {});

    // Opens the table file at `path` with its memo file. Throws TableBusy on a sharing conflict,
    // CorruptFile on a damaged header, Unsupported on an encrypted or non-dBASE table, IoError.
    static std::unique_ptr<Table> open(const std::filesystem::path &path, OpenMode mode);
    // Opens table `name` (without extension) in `directory`; the file name is matched without
    // regard to case ("TWCLIENT" finds TWCLIENT.DBF or twclient.dbf).
    static std::unique_ptr<Table> open(
        const std::filesystem::path &directory, std::string_view name, OpenMode mode);
    // The DBT beside a DBF: same base name, extension in the same case as the DBF's.
    static std::filesystem::path memoPathFor(const std::filesystem::path &dbfPath);

    ~Table();
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    // Base name of the file without extension, e.g. "TWCLIENT".
    std::string name() const;
    const RecordLayout &layout() const { return m_header.layout; }
    bool isExclusive() const { return m_mode == OpenMode::Exclusive; }
    bool isWritable() const { return m_dbf.isWritable(); }
    std::uint8_t version() const { return m_header.version; }
    std::uint8_t languageDriver() const { return m_header.languageDriver; }
    std::uint32_t headerLength() const { return m_header.headerLength; }

    // Physical record count, deleted records included, re-read from the header. Throws
    // CorruptFile when the count runs past the end of the file.
    RecNo recordCount() const;
    // True when record `recNo` exists. Cheap: the header is re-read only for a number beyond the
    // count seen last. While this Table is open no other program can shrink the table (that
    // needs an exclusive open), so a count once seen stays valid.
    bool hasRecord(RecNo recNo) const;
    // Records not marked deleted. Reads every deletion mark in large blocks, unless neither this
    // Table nor (by the file's modification time) another program wrote since the last count.
    std::size_t liveRecordCount() const;
    // Header date of the last update, re-read.
    Date lastUpdate() const;
    // Header byte 28, re-read.
    bool hasProductionIndex() const;
    // Sets or clears header byte 28 (the index layer and the start-up checks use this).
    void setProductionIndex(bool present);

    // Reads record `recNo` (1..recordCount()) into `image` (layout().recordLength() bytes).
    // Returns false when the record does not exist.
    bool readRecord(RecNo recNo, std::uint8_t *image) const;
    // Reads up to `count` whole records starting at `first` into `buffer` with one read; returns
    // how many exist. The header is re-read first.
    std::size_t readRecords(RecNo first, std::size_t count, std::uint8_t *buffer) const;
    // Like readRecords, but points `view` at the records in a read-only mapping of the file
    // instead of copying them; the mapping shows every later write as well. The view stays valid
    // while mapGeneration() keeps its value (a table that grew past the mapping is mapped anew).
    // Where the system gives no mapping, the records are read into a buffer of the Table.
    std::size_t viewRecords(RecNo first, std::size_t count, const std::uint8_t *&view) const;
    std::uint64_t mapGeneration() const { return m_mapGeneration; }

    // Writes record `recNo`, whose lock the caller holds (or the table is exclusive). oldImage is
    // the record as it was read under that lock. The memo updates are placed in the DBT and their
    // block numbers put into newImage. Index hooks run around the write. A throw from the index
    // check leaves everything unchanged; an IoError may leave the write partly done.
    void writeRecord(RecNo recNo, const std::uint8_t *oldImage, std::uint8_t *newImage,
        std::span<const MemoUpdate> memos = {});
    // Appends a record under the append lock and returns its number. Same guarantees as
    // writeRecord. Throws TableBusy when another program keeps the append lock for seconds.
    // An exclusive open appends without the append and memo allocation locks and takes the
    // record count from memory: no other program can have changed it. An exclusive open of a
    // table without an index also gathers the appended records (and their new memo runs) in
    // memory and writes them in large blocks, the header's count after them: see
    // writePendingAppends().
    RecNo appendRecord(std::uint8_t *newImage, std::span<const MemoUpdate> memos = {});
    // Writes the gathered appends of an exclusive open: memo runs, then the records with the
    // end mark, then the header's count, so a stop in between leaves the table as it was before
    // them. Every read of the file, every other write, flush() and the destructor call it first.
    void writePendingAppends();

    // The memo text an M field's stored bytes point at ("" when blank). Throws CorruptFile on a
    // block number past the end of the DBT or a length running past it.
    std::string readMemo(std::string_view pointerField) const;
    // The memo file, null when the table has no memo field.
    MemoFile *memoFile() { return m_memo.get(); }

    // Takes the record lock or throws RecordLocked; the Table itself is left unchanged.
    RecordLock lockRecord(RecNo recNo);

    // Save changes: the table's pending writes (DBF, DBT, index) reach the disk.
    void flush();

    // Removes the deleted records and the memo space no record points at: the DBF, the DBT and
    // the index are written anew beside the old ones and then put in their place together; a
    // stop at any moment leaves the old table or the new one (the next open finishes a switch
    // that had begun). Requires: the table is open exclusively (else throws TableBusy) and no
    // record lock is held. Cursors of this table must move (first()) afterwards. A throw before
    // the files are exchanged leaves the table as it was.
    void pack();
    // The roll-forward marker a pack leaves while it puts the new files in place.
    static std::filesystem::path packMarkerFor(const std::filesystem::path &dbfPath);

    // Adds an index tag built from the records; the first tag creates the production index file
    // (NAME.MDX) and sets the production flag (header byte 28), a tag on one field alone also
    // the field's flag (descriptor byte 31). A tag of the same name is replaced. Requires: the
    // table open exclusively (else TableBusy). Throws Error on a bad name or key expression.
    void addTag(std::string_view name, std::string_view expression, const TagOptions &options = {});
    // Every tag of the production index in file order; empty without one.
    std::vector<TagInfo> tags();
    // Builds every tag anew from the records (exclusive table, else TableBusy). Without an
    // index file nothing happens.
    void reindex();
    // Repairs the index of the table at `dbfPath` (opened exclusively here): a reindex when the
    // index file opens; when it does not (a damaged header or tag table), the tag definitions
    // still readable in it are added again to a new file. Throws the open's error when none is.
    static void repairIndex(const std::filesystem::path &dbfPath);
    // The production index file beside the table (whether or not it exists).
    std::filesystem::path indexPath() const;

    // The index layer's hooks, null when the table has no production index open.
    IndexHooks *indexHooks() { return m_index.get(); }
    void attachIndex(std::unique_ptr<IndexHooks> hooks)
    {
        writePendingAppends();
        m_index = std::move(hooks);
    }
    // Raw DBF file, for the index layer's checks and tools.
    File &dbfFile()
    {
        writePendingAppends();
        return m_dbf;
    }
    // Counts the writes made through this Table; cursors drop read-ahead blocks when it moves.
    std::uint64_t writeGeneration() const { return m_writeGeneration; }

private:
    friend class RecordLock;
    Table() = default;
    void unlockRecord(RecNo recNo) noexcept;
    void placeMemos(
        std::uint8_t *newImage, const std::uint8_t *oldImage, std::span<const MemoUpdate> memos);
    void touchHeader(std::optional<RecNo> newCount);
    void readHeader();
    std::uint64_t recordOffset(RecNo recNo) const;
    // Makes the mapping of the file cover its first `end` bytes; false when the file is shorter
    // or the system refuses a mapping.
    bool mapThrough(std::uint64_t end) const;
    void unmapFile() const noexcept;
    // Completes the renames of a pack that stopped after its marker; TableBusy while another
    // program holds the table.
    static void finishInterruptedPack(const std::filesystem::path &path);

    std::filesystem::path m_path;
    OpenMode m_mode = OpenMode::Shared;
    File m_dbf;
    DbfHeader m_header;
    std::unique_ptr<MemoFile> m_memo;
    std::unique_ptr<IndexHooks> m_index;
    std::set<RecNo> m_lockedRecords; // record locks held by this Table's cursors
    std::uint64_t m_writeGeneration = 0;
    mutable RecNo m_knownCount = 0; // record count read last from the header
    // Appended records not yet written (exclusive open without an index): the images of the
    // records after m_writtenCount, and the count the file's header holds.
    std::vector<std::uint8_t> m_pendingAppends;
    RecNo m_writtenCount = 0;
    // Read-only mapping of the DBF (reads of records); grown with the file.
    mutable const std::uint8_t *m_map = nullptr;
    mutable std::uint64_t m_mapLength = 0;
    mutable std::uint64_t m_mapGeneration = 0;
    mutable std::vector<std::uint8_t> m_viewBuffer; // viewRecords without a mapping
    struct LiveCount
    {
        bool valid = false;
        RecNo count = 0; // physical count at the scan
        std::int64_t modified = 0; // file modification time at the scan
        std::uint64_t generation = 0;
        std::size_t live = 0;
    };
    mutable LiveCount m_liveCache; // last liveRecordCount() scan
    Date m_dateWritten; // header date this Table wrote last
    int m_cursorCount = 0; // live cursors borrowing this Table (checked on close)
    friend class Cursor;
};

} // namespace dbf
