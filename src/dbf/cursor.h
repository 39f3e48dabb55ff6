#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/date.h"
#include "dbf/field.h"
#include "dbf/index_hooks.h"
#include "dbf/table.h"

namespace dbf {

// A remembered row of a cursor; valid for any cursor on the same table.
struct Bookmark
{
    RecNo recNo = 0; // 0: no row
    bool operator==(const Bookmark &) const = default;
};

// A position in a table plus a buffer holding the current record. Borrows its Table, which must
// outlive it (checked in debug builds by the Table's cursor count). Deleted records are never
// visible (dBASE SET DELETED ON). Not thread-safe.
//
// States:
//            edit() [takes the record lock, re-reads]
//   Browse ---------------------------> Edit ---post()/cancel()/remove()--> Browse
//     |                                                 [releases the lock]
//     +-------- append() ----------> Insert ---post()/cancel()--> Browse
//                                      (blank buffer, nothing in the file until post)
// A throwing edit() leaves the cursor in Browse, unchanged (except when the record was deleted
// by another program meanwhile: then it moves as reread() does). A throwing post() (KeyViolation,
// IoError) leaves the cursor in Edit or Insert with its buffer, so the caller may correct and
// post again or cancel. Moving in Edit or Insert throws Error: post or cancel first.
//
// Position: the cursor stands on one visible record or on none (empty table or order). bof() is
// true after first() or after a prior() that found nothing before; eof() after last() or after a
// next() that found nothing after. On an empty table both are true. A failed move keeps the
// record it stood on.
//
// Field access: fields by index (fast) or by name without regard to case (throws Error when there
// is no such field). Reads work in every state on the buffer; setters require Edit or Insert.
//   text()     C: without trailing blanks; N F: the number as stored, trimmed; D: YYYYMMDD or "";
//              L: "T", "F" or ""; M: the memo text
//   number()   N F: the value, 0 when blank; C: the text read as a number
//   integer()  number() rounded to the nearest whole number
//   date()     D: the date; null when blank or not a date
//   logical()  L: T/Y true; C: "Y"/"T" true (text flags); N F: non-zero (numeric flags)
//   memo()     M: the text, the pending text in Edit/Insert once set
// Setters: setText cuts to the field width (C; on N F D L it parses the text as the type's value
// and throws Error when it cannot); setNumber throws Error, field unchanged, when the number does
// not fit the width with its decimals; setLogical writes T/F, Y/N on C fields, 1/0 on N fields.
class Cursor
{
public:
    enum class State { Browse, Edit, Insert };

    // Starts in natural (record number) order, positioned on the first visible record.
    explicit Cursor(Table &table);
    ~Cursor();
    Cursor(const Cursor &) = delete;
    Cursor &operator=(const Cursor &) = delete;

    Table &table() { return *m_table; }
    const RecordLayout &layout() const { return m_table->layout(); }
    State state() const { return m_state; }

    // Order: null restores natural order. The cursor moves to the first record of the new order.
    // Requires: Browse (else throws Error).
    void setOrder(std::unique_ptr<RecordOrder> order);
    RecordOrder &order() { return *m_order; }
    // After the order was positioned from outside (a key search), loads the record it stands on,
    // moving forward over deleted records. Returns false (eof) when none is left.
    bool syncToOrder();

    // Tag order. setTag: the cursor follows tag `name` (without regard to case; empty: record
    // order) and goes to its first record; Error when the table has no such tag. Keys are the
    // tag's stored bytes: makeKey() builds them from values, one per key part, each padded with
    // blanks to its width (numbers and YYYYMMDD dates for numeric and date tags); fewer values
    // than parts make a partial key that matches every key beginning with it.
    // setRange: only records whose key lies in [low, high] are visible; goes to the first.
    // cancelRange keeps the current record. findKey moves to the first record with the key and
    // returns true, or returns false without moving; findNearest moves to the first record with
    // a key at or after it (false and on the last record when there is none). All require a
    // tag order (else Error) and Browse.
    void setTag(std::string_view name);
    std::string tag() const;
    std::string makeKey(const std::vector<std::string> &values);
    void setRange(std::string_view low, std::string_view high);
    void cancelRange();
    bool hasRange() const;
    bool findKey(std::string_view key);
    bool findNearest(std::string_view key);
    // Master link: shows only the records whose key equals the value of field `masterField` of
    // `master`'s current record (the stored field, blank-padded). Call again whenever the
    // master moves; a master without a record shows nothing.
    void followMaster(const Cursor &master, std::size_t masterField);

    // Navigation; each returns whether the cursor now stands on a (different) record as asked.
    bool first();
    bool last();
    bool next();
    bool prior();
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    bool isEmpty() const { return m_recNo == 0; }
    // Physical number of the current record, 0 when none (and for a record not yet posted).
    RecNo recNo() const { return m_state == State::Insert ? 0 : m_recNo; }
    Bookmark bookmark() const { return { recNo() }; }
    // Moves to a remembered record; false, position unchanged, when it is deleted, gone or not
    // part of the current order.
    bool gotoBookmark(const Bookmark &bookmark);
    bool gotoRecNo(RecNo recNo) { return gotoBookmark({ recNo }); }
    // Reads the current record from the file again; when it has been deleted meanwhile, moves to
    // the following visible record (or the prior one at the end). Requires: Browse.
    void reread();
    // Live records visible through this cursor's order (reads the deletion marks).
    std::size_t recordCount() const;

    void append();
    void insert() { append(); }
    // Takes the record lock or throws RecordLocked (nothing changed); then re-reads the record.
    // Requires: a current record. In Edit or Insert it does nothing.
    void edit();
    void post();
    void cancel();
    // Marks the current record deleted (taking and releasing its lock unless in Edit) and stands
    // on the following visible record, or on the last one when it was the last. In Insert it is
    // cancel(). Throws RecordLocked when another program holds the record.
    void remove();
    // Save changes: pending writes of the table reach the disk.
    void flush() { m_table->flush(); }

    std::size_t fieldIndex(std::string_view name) const;

    std::string text(std::size_t field) const;
    // The stored bytes of a field, valid until the cursor moves or the field is set.
    std::string_view raw(std::size_t field) const;
    double number(std::size_t field) const;
    std::int64_t integer(std::size_t field) const;
    Date date(std::size_t field) const;
    bool logical(std::size_t field) const;
    std::string memo(std::size_t field) const;
    bool isBlank(std::size_t field) const;

    void setText(std::size_t field, std::string_view value);
    void setNumber(std::size_t field, double value);
    void setInteger(std::size_t field, std::int64_t value);
    void setDate(std::size_t field, const Date &value);
    void setLogical(std::size_t field, bool value);
    void setMemo(std::size_t field, std::string_view value);
    void clear(std::size_t field);

    std::string text(std::string_view name) const { return text(fieldIndex(name)); }
    double number(std::string_view name) const { return number(fieldIndex(name)); }
    std::int64_t integer(std::string_view name) const { return integer(fieldIndex(name)); }
    Date date(std::string_view name) const { return date(fieldIndex(name)); }
    bool logical(std::string_view name) const { return logical(fieldIndex(name)); }
    std::string memo(std::string_view name) const { return memo(fieldIndex(name)); }
    bool isBlank(std::string_view name) const { return isBlank(fieldIndex(name)); }
    void setText(std::string_view name, std::string_view v) { setText(fieldIndex(name), v); }
    void setNumber(std::string_view name, double v) { setNumber(fieldIndex(name), v); }
    void setInteger(std::string_view name, std::int64_t v) { setInteger(fieldIndex(name), v); }
    void setDate(std::string_view name, const Date &v) { setDate(fieldIndex(name), v); }
    void setLogical(std::string_view name, bool v) { setLogical(fieldIndex(name), v); }
    void setMemo(std::string_view name, std::string_view v) { setMemo(fieldIndex(name), v); }
    void clear(std::string_view name) { clear(fieldIndex(name)); }

    // The current record image (deletion byte first), layout().recordLength() bytes.
    const std::uint8_t *image() const { return m_buffer.data(); }

private:
    class TagOrder &tagOrder();
    bool load(RecNo recNo);
    bool settle(RecNo found, bool forward);
    bool fetch(RecNo recNo, std::uint8_t *out, bool sequential);
    void dropReadAhead();
    void setEmpty();
    char *fieldBytes(std::size_t field);
    void requireWritable(std::size_t field) const;
    void requireBrowse() const;

    Table *m_table;
    std::unique_ptr<RecordOrder> m_order;
    State m_state = State::Browse;
    RecNo m_recNo = 0;
    bool m_bof = true;
    bool m_eof = true;
    std::vector<std::uint8_t> m_buffer; // current record
    std::vector<std::uint8_t> m_original; // the record as read under the lock (Edit)
    std::vector<std::uint8_t> m_scratch; // the record being looked at while moving
    std::vector<std::optional<std::string>> m_pendingMemos; // per field; set in Edit/Insert
    RecordLock m_lock;
    // Read-ahead block for natural-order walks: records [m_blockFirst, m_blockFirst + m_blockCount)
    std::vector<std::uint8_t> m_blockData;
    const std::uint8_t *m_block = nullptr; // into m_blockData
    RecNo m_blockFirst = 0;
    std::size_t m_blockCount = 0;
    std::uint64_t m_blockGeneration = 0;
    std::uint64_t m_blockMapGeneration = 0;
    std::chrono::steady_clock::time_point m_blockTime;
    std::size_t m_aheadBytes = 0; // size of the last block read
};

} // namespace dbf
