#include "dbf/cursor.h"

#include <cassert>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

#include "dbf/errors.h"
#include "dbf/field_codec.h"
#include "dbf/natural_order.h"

namespace dbf {

namespace {

// A walk's first read-ahead block is small; each block that continues the walk doubles it, up to
// the most, so that a short walk reads little and a long one makes few large reads.
constexpr std::size_t kReadAheadFirst = 32 * 1024;
constexpr std::size_t kReadAheadMost = 512 * 1024;
// A read-ahead block serves one quick walk; a walk that pauses (a user stepping through rows)
// reads the file again rather than show what another program has changed since.
constexpr auto kReadAheadMaxAge = std::chrono::milliseconds(50);
constexpr std::uint8_t kDeleted = '*';

bool isDeleted(const std::uint8_t *image)
{
    return image[0] == kDeleted;
}

// The coarse monotonic clock (a few milliseconds' resolution) is enough for the read-ahead's age
// and costs a fraction of a precise reading, which a walk would otherwise pay for every record.
std::chrono::steady_clock::time_point coarseNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return std::chrono::steady_clock::time_point(std::chrono::duration_cast<
        std::chrono::steady_clock::duration>(
        std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec)));
}

} // namespace

Cursor::Cursor(Table &table)
    : m_table(&table)
    , m_order(std::make_unique<NaturalOrder>(table))
    , m_buffer(table.layout().recordLength(), ' ')
    , m_pendingMemos(table.layout().fieldCount())
{
    first();
    ++m_table->m_cursorCount; // after first(), which may throw: then there is no cursor to count
}

Cursor::~Cursor()
{
    m_lock.release();
    --m_table->m_cursorCount;
}

void Cursor::setOrder(std::unique_ptr<RecordOrder> order)
{
    requireBrowse();
    m_order = order ? std::move(order) : std::make_unique<NaturalOrder>(*m_table);
    dropReadAhead();
    first();
}

void Cursor::requireBrowse() const
{
    if (m_state != State::Browse)
        throw Error("The record of " + m_table->name()
            + " is being edited: post or cancel it before moving.");
}

void Cursor::dropReadAhead()
{
    m_blockCount = 0;
}

void Cursor::setEmpty()
{
    m_recNo = 0;
    m_bof = m_eof = true;
    std::memset(m_buffer.data(), ' ', m_buffer.size());
}

// Reads record `recNo` into `out`. In natural order the records come from a read-ahead block
// filled in the direction of travel; the block is dropped when this table writes, when it is
// older than kReadAheadMaxAge, and at any move that is not a step of a walk.
bool Cursor::fetch(RecNo recNo, std::uint8_t *out, bool sequential)
{
    const std::size_t length = m_buffer.size();
    if (!sequential || !m_order->isNaturalOrder()) {
        dropReadAhead();
        return m_table->readRecord(recNo, out);
    }
    const auto now = coarseNow();
    if (m_blockGeneration != m_table->writeGeneration()
        || m_blockMapGeneration != m_table->mapGeneration() || now - m_blockTime > kReadAheadMaxAge)
        dropReadAhead();
    if (m_blockCount == 0 || recNo < m_blockFirst || recNo >= m_blockFirst + m_blockCount) {
        const bool backward = m_blockCount != 0 && recNo < m_blockFirst;
        const bool continuing = m_blockCount != 0
            && (backward ? recNo + 1 == m_blockFirst : recNo == m_blockFirst + m_blockCount);
        m_aheadBytes = continuing ? std::min(m_aheadBytes * 2, kReadAheadMost) : kReadAheadFirst;
        const std::size_t perBlock = std::max<std::size_t>(1, m_aheadBytes / length);
        RecNo start = recNo;
        if (backward)
            start = recNo > perBlock ? static_cast<RecNo>(recNo - perBlock + 1) : 1;
        m_blockFirst = start;
        // Read, not viewed through the mapping: a walk touches every page once, and a read of
        // a block costs less than the page faults of a first look at mapped pages.
        if (m_blockData.capacity() < kReadAheadMost) // one allocation for the whole walk
            m_blockData.reserve(std::max<std::size_t>(kReadAheadMost / length, 1) * length);
        m_blockData.resize(perBlock * length);
        m_blockCount = m_table->readRecords(start, perBlock, m_blockData.data());
        m_block = m_blockData.data();
        m_blockGeneration = m_table->writeGeneration();
        m_blockMapGeneration = m_table->mapGeneration();
        m_blockTime = now;
        if (recNo < m_blockFirst || recNo >= m_blockFirst + m_blockCount) {
            dropReadAhead();
            return false;
        }
    }
    std::memcpy(out, m_block + (recNo - m_blockFirst) * length, length);
    return true;
}

bool Cursor::settle(RecNo found, bool forward)
{
    m_scratch.resize(m_buffer.size());
    while (found != 0) {
        if (fetch(found, m_scratch.data(), true) && !isDeleted(m_scratch.data())) {
            m_recNo = found;
            m_buffer.swap(m_scratch);
            return true;
        }
        found = forward ? m_order->next() : m_order->prior();
    }
    return false;
}

bool Cursor::first()
{
    requireBrowse();
    dropReadAhead();
    if (!settle(m_order->first(), true)) {
        setEmpty();
        return false;
    }
    m_bof = true;
    m_eof = false;
    return true;
}

bool Cursor::last()
{
    requireBrowse();
    dropReadAhead();
    if (!settle(m_order->last(), false)) {
        setEmpty();
        return false;
    }
    m_bof = false;
    m_eof = true;
    return true;
}

bool Cursor::next()
{
    requireBrowse();
    if (m_recNo == 0) {
        const bool found = first();
        m_bof = !found;
        m_eof = !found;
        return found;
    }
    if (settle(m_order->next(), true)) {
        m_bof = m_eof = false;
        return true;
    }
    m_order->seek(m_recNo, m_buffer.data());
    m_eof = true;
    return false;
}

bool Cursor::prior()
{
    requireBrowse();
    if (m_recNo == 0) {
        const bool found = last();
        m_bof = !found;
        m_eof = !found;
        return found;
    }
    if (settle(m_order->prior(), false)) {
        m_bof = m_eof = false;
        return true;
    }
    m_order->seek(m_recNo, m_buffer.data());
    m_bof = true;
    return false;
}

bool Cursor::syncToOrder()
{
    requireBrowse();
    dropReadAhead();
    if (settle(m_order->current(), true)) {
        m_bof = m_eof = false;
        return true;
    }
    if (m_recNo != 0)
        m_order->seek(m_recNo, m_buffer.data());
    m_eof = true;
    return false;
}

bool Cursor::gotoBookmark(const Bookmark &bookmark)
{
    requireBrowse();
    if (bookmark.recNo == 0)
        return false;
    std::vector<std::uint8_t> image(m_buffer.size());
    if (!fetch(bookmark.recNo, image.data(), false) || isDeleted(image.data()))
        return false;
    if (!m_order->seek(bookmark.recNo, image.data()))
        return false;
    m_recNo = bookmark.recNo;
    m_buffer.swap(image);
    m_bof = m_eof = false;
    return true;
}

void Cursor::reread()
{
    requireBrowse();
    dropReadAhead();
    if (m_recNo == 0) {
        first();
        return;
    }
    std::vector<std::uint8_t> image(m_buffer.size());
    if (m_table->readRecord(m_recNo, image.data()) && !isDeleted(image.data())) {
        m_buffer.swap(image);
        return;
    }
    if (next())
        return;
    if (!prior())
        setEmpty();
}

std::size_t Cursor::recordCount() const
{
    if (m_order->isNaturalOrder())
        return m_table->liveRecordCount();
    std::unique_ptr<RecordOrder> walk = m_order->clone();
    std::vector<std::uint8_t> image(m_buffer.size());
    std::size_t live = 0;
    for (RecNo r = walk->first(); r != 0; r = walk->next())
        if (m_table->readRecord(r, image.data()) && !isDeleted(image.data()))
            ++live;
    return live;
}

void Cursor::append()
{
    requireBrowse();
    m_original = m_buffer; // the record to show again on cancel
    std::memset(m_buffer.data(), ' ', m_buffer.size());
    for (auto &m : m_pendingMemos)
        m.reset();
    m_state = State::Insert;
}

void Cursor::edit()
{
    if (m_state != State::Browse)
        return;
    if (m_recNo == 0)
        throw Error("There is no record to edit in " + m_table->name() + ".");
    RecordLock lock = m_table->lockRecord(m_recNo);
    std::vector<std::uint8_t> image(m_buffer.size());
    if (!m_table->readRecord(m_recNo, image.data()) || isDeleted(image.data())) {
        lock.release();
        reread();
        throw Error("Record deleted by another user: " + m_table->name() + ".");
    }
    dropReadAhead();
    m_buffer = image;
    m_original = std::move(image);
    for (auto &m : m_pendingMemos)
        m.reset();
    m_lock = std::move(lock);
    m_state = State::Edit;
}

void Cursor::post()
{
    if (m_state == State::Browse)
        return;
    std::vector<MemoUpdate> memos;
    for (std::size_t i = 0; i < m_pendingMemos.size(); ++i)
        if (m_pendingMemos[i])
            memos.push_back({ i, *m_pendingMemos[i] });
    if (m_state == State::Edit) {
        m_table->writeRecord(m_recNo, m_original.data(), m_buffer.data(), memos);
        m_lock.release();
    } else {
        m_recNo = m_table->appendRecord(m_buffer.data(), memos);
    }
    for (auto &m : m_pendingMemos)
        m.reset();
    m_state = State::Browse;
    m_bof = m_eof = false;
    // A changed key may have moved the record out of a tag's range: then go to the first one.
    if (!m_order->seek(m_recNo, m_buffer.data()))
        first();
}

void Cursor::cancel()
{
    if (m_state == State::Browse)
        return;
    m_buffer = m_original;
    for (auto &m : m_pendingMemos)
        m.reset();
    m_lock.release();
    m_state = State::Browse;
}

void Cursor::remove()
{
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_recNo == 0)
        throw Error("There is no record to delete in " + m_table->name() + ".");
    if (m_state == State::Browse) {
        RecordLock lock = m_table->lockRecord(m_recNo);
        std::vector<std::uint8_t> image(m_buffer.size());
        if (!m_table->readRecord(m_recNo, image.data()) || isDeleted(image.data())) {
            lock.release();
            reread();
            return;
        }
        m_original = std::move(image);
        m_lock = std::move(lock);
    }
    std::vector<std::uint8_t> deleted = m_original;
    deleted[0] = kDeleted;
    try {
        m_table->writeRecord(m_recNo, m_original.data(), deleted.data());
    } catch (...) {
        if (m_state == State::Browse)
            m_lock.release();
        throw;
    }
    m_lock.release();
    for (auto &m : m_pendingMemos)
        m.reset();
    m_state = State::Browse;
    m_buffer = deleted;
    if (next())
        return;
    if (prior()) {
        m_eof = true;
        return;
    }
    setEmpty();
}

std::size_t Cursor::fieldIndex(std::string_view name) const
{
    if (auto i = layout().indexOf(name))
        return *i;
    throw Error("Field " + std::string(name) + " not found in " + m_table->name() + ".");
}

std::string_view Cursor::raw(std::size_t field) const
{
    const RecordLayout &l = layout();
    return { reinterpret_cast<const char *>(m_buffer.data()) + l.offset(field),
        l.field(field).width };
}

char *Cursor::fieldBytes(std::size_t field)
{
    return reinterpret_cast<char *>(m_buffer.data()) + layout().offset(field);
}

void Cursor::requireWritable(std::size_t field) const
{
    assert(field < layout().fieldCount());
    if (m_state == State::Browse)
        throw Error("Field " + layout().field(field).name
            + " cannot be changed: the record is not being edited.");
}

std::string Cursor::text(std::size_t field) const
{
    const std::string_view r = raw(field);
    switch (layout().field(field).type) {
    case FieldType::Character:
        return std::string(codec::trimRight(r));
    case FieldType::Numeric:
    case FieldType::Float:
    case FieldType::Date:
        return std::string(codec::trim(r));
    case FieldType::Logical: {
        const auto v = codec::parseLogical(r);
        return v ? (*v ? "T" : "F") : "";
    }
    case FieldType::Memo:
        return memo(field);
    }
    return {};
}

double Cursor::number(std::size_t field) const
{
    const FieldDef &f = layout().field(field);
    switch (f.type) {
    case FieldType::Numeric:
    case FieldType::Float:
    case FieldType::Character:
        return codec::parseNumber(raw(field)).value_or(0.0);
    case FieldType::Logical:
        return logical(field) ? 1.0 : 0.0;
    default:
        throw Error("Field " + f.name + " is not a number.");
    }
}

std::int64_t Cursor::integer(std::size_t field) const
{
    return static_cast<std::int64_t>(std::llround(number(field)));
}

Date Cursor::date(std::size_t field) const
{
    const FieldDef &f = layout().field(field);
    if (f.type != FieldType::Date && f.type != FieldType::Character)
        throw Error("Field " + f.name + " is not a date.");
    return Date::fromText(codec::trimRight(raw(field))).value_or(Date());
}

bool Cursor::logical(std::size_t field) const
{
    switch (layout().field(field).type) {
    case FieldType::Logical:
    case FieldType::Character:
        return codec::parseLogical(raw(field)).value_or(false);
    case FieldType::Numeric:
    case FieldType::Float:
        return codec::parseNumber(raw(field)).value_or(0.0) != 0.0;
    default:
        throw Error("Field " + layout().field(field).name + " is not a flag.");
    }
}

std::string Cursor::memo(std::size_t field) const
{
    const FieldDef &f = layout().field(field);
    if (f.type != FieldType::Memo)
        return text(field);
    if (m_pendingMemos[field])
        return *m_pendingMemos[field];
    return m_table->readMemo(raw(field));
}

bool Cursor::isBlank(std::size_t field) const
{
    switch (layout().field(field).type) {
    case FieldType::Memo:
        if (m_pendingMemos[field])
            return m_pendingMemos[field]->empty();
        if (codec::parseMemoBlock(raw(field)).value_or(0) == 0)
            return true;
        return memo(field).empty(); // a kept run holding no text
    case FieldType::Logical:
        return !codec::parseLogical(raw(field));
    default:
        return codec::isBlank(raw(field));
    }
}

void Cursor::setText(std::size_t field, std::string_view value)
{
    requireWritable(field);
    const FieldDef &f = layout().field(field);
    switch (f.type) {
    case FieldType::Character:
        codec::formatText(value, { fieldBytes(field), f.width });
        return;
    case FieldType::Numeric:
    case FieldType::Float: {
        if (codec::trim(value).empty()) {
            clear(field);
            return;
        }
        const auto v = codec::parseNumber(value);
        if (!v)
            throw Error("\"" + std::string(value) + "\" is not a number (field " + f.name + ").");
        setNumber(field, *v);
        return;
    }
    case FieldType::Date: {
        const auto d = Date::fromText(codec::trim(value));
        if (!d)
            throw Error("\"" + std::string(value) + "\" is not a date (field " + f.name + ").");
        setDate(field, *d);
        return;
    }
    case FieldType::Logical: {
        if (codec::trim(value).empty()) {
            clear(field);
            return;
        }
        const auto v = codec::parseLogical(value);
        if (!v)
            throw Error("\"" + std::string(value) + "\" is not T or F (field " + f.name + ").");
        setLogical(field, *v);
        return;
    }
    case FieldType::Memo:
        setMemo(field, value);
        return;
    }
}

void Cursor::setNumber(std::size_t field, double value)
{
    requireWritable(field);
    const FieldDef &f = layout().field(field);
    if (f.type == FieldType::Logical) {
        setLogical(field, value != 0.0);
        return;
    }
    if (f.type != FieldType::Numeric && f.type != FieldType::Float)
        throw Error("Field " + f.name + " is not a number.");
    if (!codec::formatNumber(value, f.decimals, { fieldBytes(field), f.width })) {
        char shown[64];
        std::snprintf(shown, sizeof shown, "%.*f", static_cast<int>(f.decimals), value);
        throw Error("The value " + std::string(shown) + " does not fit in field " + f.name + " ("
            + std::to_string(f.width) + " characters, " + std::to_string(f.decimals)
            + " decimals).");
    }
}

void Cursor::setInteger(std::size_t field, std::int64_t value)
{
    requireWritable(field);
    const FieldDef &f = layout().field(field);
    if ((f.type == FieldType::Numeric || f.type == FieldType::Float) && f.decimals == 0) {
        if (!codec::formatInteger(value, { fieldBytes(field), f.width }))
            throw Error("The value " + std::to_string(value) + " does not fit in field " + f.name
                + " (" + std::to_string(f.width) + " characters).");
        return;
    }
    setNumber(field, static_cast<double>(value));
}

void Cursor::setDate(std::size_t field, const Date &value)
{
    requireWritable(field);
    const FieldDef &f = layout().field(field);
    if (f.type != FieldType::Date)
        throw Error("Field " + f.name + " is not a date.");
    if (!value.isNull() && !value.isValid())
        throw Error("Invalid date for field " + f.name + ".");
    codec::formatText(value.toText(), { fieldBytes(field), f.width });
}

void Cursor::setLogical(std::size_t field, bool value)
{
    requireWritable(field);
    const FieldDef &f = layout().field(field);
    switch (f.type) {
    case FieldType::Logical:
        *fieldBytes(field) = value ? 'T' : 'F';
        return;
    case FieldType::Character:
        codec::formatText(value ? "Y" : "N", { fieldBytes(field), f.width });
        return;
    case FieldType::Numeric:
    case FieldType::Float:
        setInteger(field, value ? 1 : 0);
        return;
    default:
        throw Error("Field " + f.name + " is not a flag.");
    }
}

void Cursor::setMemo(std::size_t field, std::string_view value)
{
    requireWritable(field);
    if (layout().field(field).type != FieldType::Memo) {
        setText(field, value);
        return;
    }
    m_pendingMemos[field] = std::string(value);
}

void Cursor::clear(std::size_t field)
{
    requireWritable(field);
    if (layout().field(field).type == FieldType::Memo)
        m_pendingMemos[field] = std::string();
    else
        std::memset(fieldBytes(field), ' ', layout().field(field).width);
}

} // namespace dbf
