#pragma once
// The finalization journal: what one client's posting is about to change, written and forced to
// disk before the first table write, so that a copy killed half-way through a client can be
// completed (or undone) by the next copy that starts or finalizes. docs/billing.md describes the
// format, the write order and recovery.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dbf/field.h"

namespace billing {

// One field of one record: its stored bytes before and after the posting.
//   Set    the posting writes `after` over `before`
//   Guard  the posting relies on the field keeping its value (before == after); a guard that
//          no longer holds tells recovery that another copy changed the record meanwhile
//   Raise  a counter: the posting makes it at least `after` and never lowers it
struct JournalField
{
    enum class Kind : char { Set = 'S', Guard = 'G', Raise = 'R' };
    Kind kind = Kind::Set;
    std::string table; // "TWSLIP"
    dbf::RecNo recNo = 0;
    std::string field; // "SL_BILLED"
    std::string before; // stored bytes, the field's width
    std::string after;
    bool operator==(const JournalField &) const = default;
};

// The posting of one client.
struct JournalEntry
{
    std::string clientNumber; // NUMBER as stored (6 bytes)
    dbf::RecNo clientRecNo = 0;
    std::int64_t invoiceNumber = 0;
    dbf::RecNo invoiceRecNo = 0; // where the appended TWINVOIC row is expected
    std::string invoiceImage; // the whole appended record, deletion byte first
    std::vector<JournalField> fields;
    bool aborted = false; // an undo was begun: recovery rolls back

    bool operator==(const JournalEntry &) const = default;
};

// The journal block of an entry, ending with its "end" line (checksum of the block).
std::string formatJournal(const JournalEntry &entry);
// The entry of a text holding exactly one block; nullopt when it is cut short or damaged.
std::optional<JournalEntry> parseJournal(const std::string &text);
// The entries of a journal file, in order, up to the first block that is cut short or damaged
// (*cutShort tells; nothing of that block was applied: the owner syncs a block before the first
// table write of its client).
std::vector<JournalEntry> parseJournals(const std::string &text, bool *cutShort);

// The journal file of one running copy: "TWBILL" + 8 hex digits + ".JNL" in the data directory,
// held under an exclusive open-file-description lock (F_OFD_SETLK on byte 0) for as long as this
// object lives, so that no other copy recovers it while its owner runs. Made under a temporary
// name and renamed once locked, so that a recovering copy never sees it unlocked.
//
// States: created (empty) --append()--> holds entries --retire()--> empty
//                                      \--markAborted()--> its last entry aborted
// The destructor removes the file when it is empty; a file still holding an entry is left for
// recovery (its lock goes with the descriptor).
class JournalFile
{
public:
    explicit JournalFile(const std::filesystem::path &dataDirectory);
    ~JournalFile();
    JournalFile(const JournalFile &) = delete;
    JournalFile &operator=(const JournalFile &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    // Adds the entry's block and forces it to disk. On a throw (dbf::IoError) the file is as it
    // was before.
    void append(const JournalEntry &entry);
    // Marks the last entry aborted and forces it to disk. Throws dbf::IoError.
    void markAborted();
    // Empties the file: its entries are applied (or undone) and their tables flushed. Throws
    // dbf::IoError.
    void retire();
    bool holdsEntry() const { return m_holdsEntry; }

    // The file name pattern of journals.
    static bool isJournalName(const std::string &fileName);

private:
    std::filesystem::path m_path;
    int m_fd = -1;
    std::uint64_t m_size = 0;
    bool m_holdsEntry = false;
};

// A journal file of another copy, opened for recovery. lock() takes the owner's lock when the
// owner is gone; false while it runs.
class ForeignJournal
{
public:
    explicit ForeignJournal(const std::filesystem::path &path);
    ~ForeignJournal();
    ForeignJournal(const ForeignJournal &) = delete;
    ForeignJournal &operator=(const ForeignJournal &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool lock();
    std::string read() const;
    // Removes the file (call while holding its lock).
    void remove();

private:
    std::filesystem::path m_path;
    int m_fd = -1;
};

} // namespace billing
