#pragma once
// The billing journal: what one posting (a client's finalization, a payment, a statement's
// deletion) is about to change, written and forced to disk before the first table write, so that
// a copy killed half-way through can be completed (or undone) by the next copy that starts,
// finalizes, posts a payment or deletes a statement. docs/billing.md describes the format, the
// write order and recovery. The second half of this header applies entries to the tables; the
// finalizer, the payment posting, the statement deletion and recovery share it.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/date.h"
#include "dbf/field.h"
#include "dbf/table.h"
#include "platform/money.h"

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

// A whole record a posting appends (a payment) or deletes (a statement and its payments): its
// image, deletion byte first, as the posting writes it or as it stood before the deletion.
struct JournalRow
{
    std::string table;
    dbf::RecNo recNo = 0;
    std::string image;
    bool operator==(const JournalRow &) const = default;
};

// What a block records:
//   Finalization  one client's statement: the appended TWINVOIC row (invoiceImage), its slips,
//                 projects and NEXTINV
//   Payment       rows[0] the appended TWPMT row; INV_PAID of invoice invoiceRecNo
//   Deletion      rows[0] the statement's TWINVOIC row, rows[1..] its payments, all deleted; its
//                 slips made unbilled and their projects' totals taken back
enum class JournalKind : char { Finalization = 'F', Payment = 'P', Deletion = 'D' };

// One posting.
struct JournalEntry
{
    JournalKind kind = JournalKind::Finalization;
    std::string clientNumber; // NUMBER as stored (6 bytes)
    dbf::RecNo clientRecNo = 0;
    std::int64_t invoiceNumber = 0;
    // Finalization: where the appended TWINVOIC row is expected; otherwise the statement's row.
    dbf::RecNo invoiceRecNo = 0;
    std::string invoiceImage; // finalization: the whole appended record, deletion byte first
    std::vector<JournalRow> rows;
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

// --- Applying entries to the tables --------------------------------------------------------

namespace posting {

using Image = std::vector<std::uint8_t>;
inline constexpr std::uint8_t kDeletedMark = '*';
// The counter record of TWTRACK. Statements are appended, and payments too, only under its lock,
// so that the record a journal expects is the one the append gets.
inline constexpr dbf::RecNo kCounterRecord = 1;

std::size_t fieldIndex(const dbf::RecordLayout &layout, std::string_view name);
std::string_view bytesOf(const dbf::RecordLayout &layout, const Image &image, std::size_t field);
void putBytes(
    const dbf::RecordLayout &layout, Image &image, std::size_t field, std::string_view bytes);
double numberOf(std::string_view bytes);
dbf::Date dateOf(std::string_view bytes);
std::string textOf(std::string_view bytes); // trailing blanks removed
// The stored bytes of a value for a field; numberBytes throws dbf::Error when it does not fit.
std::string numberBytes(const dbf::FieldDef &f, double value);
std::string dateBytes(const dbf::FieldDef &f, const dbf::Date &date);
std::string textBytes(const dbf::FieldDef &f, std::string_view text);
// Whether a record holds `image` in every byte after the deletion mark.
bool sameRecord(const Image &now, std::string_view image);

// The tables postings and recovery write, each opened shared through a handle of its own.
class PostingTables
{
public:
    explicit PostingTables(const std::filesystem::path &dir);
    dbf::Table &operator[](const std::string &name); // throws dbf::Error for an unknown name
    void flush();

private:
    std::map<std::string, std::unique_ptr<dbf::Table>> m_tables;
};

Image readImage(dbf::Table &t, dbf::RecNo recNo); // throws dbf::Error when it is missing
// Takes the counter record, retrying for about two seconds while another copy holds it.
dbf::RecordLock lockCounter(dbf::Table &track);

// Which way fields are applied: forward writes `after` where a field holds `before` (a Raise
// makes the counter at least `after`); back writes `before` where it holds `after` (a Raise is
// never lowered). Fields holding anything else are left, and so is a deleted record or one whose
// guards no longer hold. Returns whether the record was written.
enum class Direction { Forward, Back };
bool applyRecord(dbf::Table &t, dbf::RecNo recNo, const std::vector<const JournalField *> &fields,
    Direction direction);

// The journal's fields grouped by record, in journal order.
struct RecordFields
{
    std::string table;
    dbf::RecNo recNo = 0;
    std::vector<const JournalField *> fields;
};
std::vector<RecordFields> byRecord(const JournalEntry &e);

// Marks a record deleted (nothing when it is already); the caller holds its lock.
void deleteRecord(dbf::Table &t, dbf::RecNo recNo);
// Takes back the deletion of a record that still holds `image`; the caller holds its lock.
void undeleteRecord(dbf::Table &t, dbf::RecNo recNo, std::string_view image);

// What billing a project's slips adds to its totals, and deleting their statement takes back:
// the hours, and each slip's total plus its tax amount (taxable or not). Summed exactly (hours
// in ten-thousandths, money in cents).
struct ProjectShare
{
    std::int64_t tenThousandthHours = 0;
    platform::Cents charges;
    void addSlip(double hours, platform::Cents total, platform::Cents taxAmount);
};
// The PJ_TOTHOUR and PJ_TOTCHG fields of project record `recNo` (now `project`) taking `share`
// in (sign +1: finalization) or back out (sign -1: deletion), appended to `entry` as Set fields.
void addProjectTotals(JournalEntry &entry, const dbf::RecordLayout &layout, dbf::RecNo recNo,
    const Image &project, const ProjectShare &share, int sign);

} // namespace posting

} // namespace billing
