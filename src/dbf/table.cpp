#include "dbf/table.h"

#include <cassert>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include "dbf/errors.h"
#include "dbf/field_codec.h"
#include "dbf/memo_file.h"

namespace dbf {

namespace {

// The append lock is held for one write; waiting longer means the other program is stuck.
constexpr auto kAppendPatience = std::chrono::seconds(5);
constexpr std::size_t kScanBlockBytes = 1 << 20;

std::uint32_t u32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void put32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}

bool hasLowerCase(const std::string &s)
{
    for (char c : s)
        if (c >= 'a' && c <= 'z')
            return true;
    return false;
}

std::string upper(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

} // namespace

RecordLock::RecordLock(RecordLock &&other) noexcept
    : m_table(other.m_table)
    , m_recNo(other.m_recNo)
{
    other.m_table = nullptr;
}

RecordLock &RecordLock::operator=(RecordLock &&other) noexcept
{
    if (this != &other) {
        release();
        m_table = other.m_table;
        m_recNo = other.m_recNo;
        other.m_table = nullptr;
    }
    return *this;
}

void RecordLock::release() noexcept
{
    if (m_table)
        m_table->unlockRecord(m_recNo);
    m_table = nullptr;
}

std::filesystem::path Table::memoPathFor(const std::filesystem::path &dbfPath)
{
    std::filesystem::path memo = dbfPath;
    const bool lower = hasLowerCase(dbfPath.extension().string());
    memo.replace_extension(lower ? ".dbt" : ".DBT");
    if (!std::filesystem::exists(memo)) {
        std::filesystem::path other = dbfPath;
        other.replace_extension(lower ? ".DBT" : ".dbt");
        if (std::filesystem::exists(other))
            return other;
    }
    return memo;
}

void Table::create(
    const std::filesystem::path &path, std::vector<FieldDef> fields, const CreateOptions &options)
{
    DbfHeader::validateFields(fields);
    DbfHeader header;
    header.layout = RecordLayout(std::move(fields));
    header.version = header.layout.hasMemo() ? DbfHeader::kVersionMemo4 : DbfHeader::kVersionNoMemo;
    header.lastUpdate = options.lastUpdate.value_or(Date::today());
    header.languageDriver = options.languageDriver;
    std::vector<std::uint8_t> bytes = header.serialize();
    bytes.push_back(DbfHeader::kEndOfFile);

    if (std::filesystem::exists(path))
        throw Error(path.filename().string() + ": the table exists already.");
    std::filesystem::path memoPath;
    if (header.layout.hasMemo()) {
        memoPath = memoPathFor(path);
        MemoFile::create(memoPath, upper(path.stem().string()), options.memoBlockSize);
    }
    try {
        File f = File::create(path);
        f.writeAt(0, bytes.data(), bytes.size());
    } catch (...) {
        if (!memoPath.empty())
            std::filesystem::remove(memoPath);
        throw;
    }
}

std::unique_ptr<Table> Table::open(
    const std::filesystem::path &directory, std::string_view name, OpenMode mode)
{
    const std::string wanted = upper(std::string(name)) + ".DBF";
    std::filesystem::path exact = directory / wanted;
    if (std::filesystem::exists(exact))
        return open(exact, mode);
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(directory, ec))
        if (upper(entry.path().filename().string()) == wanted)
            return open(entry.path(), mode);
    return open(exact, mode); // reports the missing file
}

std::unique_ptr<Table> Table::open(const std::filesystem::path &path, OpenMode mode)
{
    finishInterruptedPack(path);
    std::unique_ptr<Table> t(new Table);
    t->m_path = path;
    t->m_mode = mode;
    t->m_dbf = File::open(path, File::Access::ReadWrite, true);
    const bool exclusive = mode == OpenMode::Exclusive;
    if (!t->m_dbf.tryLock(
            kOpenLock, 1, exclusive ? File::LockKind::Exclusive : File::LockKind::Shared))
        throw TableBusy(path.filename().string());

    t->readHeader();

    if (t->m_header.layout.hasMemo()) {
        const bool dbaseIII = t->m_header.version == DbfHeader::kVersionMemo3;
        t->m_memo = MemoFile::open(memoPathFor(path), dbaseIII, t->m_dbf.isWritable());
        t->m_memo->setSoleWriter(exclusive);
    }
    if (t->m_header.productionIndex != 0)
        t->m_index = openProductionIndex(*t);
    return t;
}

void Table::readHeader()
{
    // Read again when the header looks damaged: another program's header write may have been
    // half done.
    for (int attempt = 1;; ++attempt) {
        std::uint8_t fixed[DbfHeader::kFileHeaderSize] = {};
        const std::size_t got = m_dbf.readAt(0, fixed, sizeof fixed);
        const std::size_t headerLength =
            got == sizeof fixed ? static_cast<std::size_t>(fixed[8] | (fixed[9] << 8)) : got;
        std::vector<std::uint8_t> bytes(std::max(headerLength, got));
        bytes.resize(m_dbf.readAt(0, bytes.data(), bytes.size()));
        // The size is taken after the header: an appending program writes its record before the
        // count that shows it, so a count read first always fits the size read later.
        const std::uint64_t fileSize = m_dbf.size();
        try {
            m_header = DbfHeader::parse(m_path, bytes, fileSize);
            break;
        } catch (const CorruptFile &) {
            if (attempt == 3)
                throw;
        }
    }
    m_knownCount = m_header.recordCount;
}

Table::~Table()
{
    try {
        writePendingAppends();
    } catch (...) {
        // Only a failing disk gets here; flush() reports it to a caller who asks.
    }
    unmapFile();
    assert(m_cursorCount == 0 && "a cursor outlived its table");
    assert(m_lockedRecords.empty());
}

std::string Table::name() const
{
    return m_path.stem().string();
}

std::uint64_t Table::recordOffset(RecNo recNo) const
{
    return m_header.headerLength
        + static_cast<std::uint64_t>(recNo - 1) * m_header.layout.recordLength();
}

RecNo Table::recordCount() const
{
    // A read can meet another program's header write half done (the count bytes of an append),
    // so a count that does not fit the file is read again before it is called damaged.
    constexpr int kAttempts = 3;
    if (!m_pendingAppends.empty())
        return m_knownCount; // exclusive: nobody else changes the count
    for (int attempt = 1;; ++attempt) {
        std::uint8_t bytes[4];
        if (m_dbf.readAt(4, bytes, sizeof bytes) != sizeof bytes)
            throw CorruptFile(m_path, 4, "truncated table header");
        const std::uint32_t count = u32(bytes);
        if (count != m_knownCount) {
            const std::uint64_t end = m_header.headerLength
                + static_cast<std::uint64_t>(count) * m_header.layout.recordLength();
            if (end > m_dbf.size()) {
                if (attempt < kAttempts)
                    continue;
                throw CorruptFile(m_path, 4,
                    "record count " + std::to_string(count) + " runs past the end of the file");
            }
        }
        m_knownCount = count;
        return count;
    }
}

bool Table::hasRecord(RecNo recNo) const
{
    if (recNo == 0)
        return false;
    return recNo <= m_knownCount || recNo <= recordCount();
}

// The count is kept while the record count, this Table's writes and the file's modification time
// all stay the same. The time is only trusted when the file had been quiet for a while before
// the scan: a write landing in the same clock tick as the scan could otherwise keep the time.
std::size_t Table::liveRecordCount() const
{
    constexpr std::int64_t kQuietNs = 50'000'000;
    const_cast<Table *>(this)->writePendingAppends();
    const RecNo count = recordCount();
    const std::int64_t modified = m_dbf.modificationTimeNs();
    if (m_liveCache.valid && m_liveCache.count == count && m_liveCache.modified == modified
        && m_liveCache.generation == m_writeGeneration)
        return m_liveCache.live;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::int64_t scanStart =
        static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    const std::uint32_t length = m_header.layout.recordLength();
    const std::size_t perBlock = std::max<std::size_t>(1, kScanBlockBytes / length);
    std::vector<std::uint8_t> block(perBlock * length);
    std::size_t live = 0;
    RecNo at = 1;
    for (;;) {
        const std::size_t n = readRecords(at, perBlock, block.data());
        for (std::size_t i = 0; i < n; ++i)
            if (block[i * length] != '*')
                ++live;
        if (n < perBlock)
            break;
        at += static_cast<RecNo>(n);
    }
    m_liveCache = { scanStart - modified > kQuietNs, count, modified, m_writeGeneration, live };
    return live;
}

Date Table::lastUpdate() const
{
    const_cast<Table *>(this)->writePendingAppends();
    std::uint8_t b[3];
    if (m_dbf.readAt(1, b, sizeof b) != sizeof b)
        throw CorruptFile(m_path, 1, "truncated table header");
    return decodeHeaderDate(b[0], b[1], b[2]);
}

bool Table::hasProductionIndex() const
{
    const_cast<Table *>(this)->writePendingAppends();
    std::uint8_t flag = 0;
    if (m_dbf.readAt(28, &flag, 1) != 1)
        throw CorruptFile(m_path, 28, "truncated table header");
    return flag != 0;
}

void Table::setProductionIndex(bool present)
{
    writePendingAppends();
    const std::uint8_t flag = present ? 1 : 0;
    m_dbf.writeAt(28, &flag, 1);
    m_header.productionIndex = flag;
}

bool Table::readRecord(RecNo recNo, std::uint8_t *image) const
{
    if (!hasRecord(recNo))
        return false;
    const std::uint32_t length = m_header.layout.recordLength();
    if (!m_pendingAppends.empty() && recNo > m_writtenCount) {
        std::memcpy(image, m_pendingAppends.data() + (recNo - m_writtenCount - 1) * length, length);
        return true;
    }
    const std::uint64_t offset = recordOffset(recNo);
    if (mapThrough(offset + length)) {
        std::memcpy(image, m_map + offset, length);
        return true;
    }
    if (m_dbf.readAt(recordOffset(recNo), image, length) != length)
        throw CorruptFile(m_path, recordOffset(recNo),
            "record " + std::to_string(recNo) + " runs past the end of the file");
    return true;
}

std::size_t Table::readRecords(RecNo first, std::size_t count, std::uint8_t *buffer) const
{
    const_cast<Table *>(this)->writePendingAppends();
    const RecNo total = recordCount();
    if (first == 0 || first > total || count == 0)
        return 0;
    const std::size_t n = std::min<std::size_t>(count, total - first + 1);
    const std::size_t bytes = n * m_header.layout.recordLength();
    if (m_dbf.readAt(recordOffset(first), buffer, bytes) != bytes)
        throw CorruptFile(m_path, recordOffset(first), "records run past the end of the file");
    return n;
}

std::size_t Table::viewRecords(RecNo first, std::size_t count, const std::uint8_t *&view) const
{
    const_cast<Table *>(this)->writePendingAppends();
    const RecNo total = recordCount();
    if (first == 0 || first > total || count == 0)
        return 0;
    const std::size_t n = std::min<std::size_t>(count, total - first + 1);
    const std::uint64_t offset = recordOffset(first);
    if (mapThrough(offset + n * m_header.layout.recordLength())) {
        view = m_map + offset;
        return n;
    }
    m_viewBuffer.resize(n * m_header.layout.recordLength());
    ++m_mapGeneration; // views into the buffer's earlier contents are stale now
    view = m_viewBuffer.data();
    return readRecords(first, n, m_viewBuffer.data());
}

bool Table::mapThrough(std::uint64_t end) const
{
    if (end <= m_mapLength)
        return true;
    const std::uint64_t size = m_dbf.size();
    if (end > size)
        return false;
    unmapFile();
    // Room to grow: appends of this and other programs are read without a new mapping for a
    // while. Pages past the end of the file are never touched (a record is read only inside the
    // count, which never runs past the file).
    constexpr std::uint64_t kPage = 4096;
    const std::uint64_t length = (size + size / 4 + (1 << 20) + kPage - 1) / kPage * kPage;
    m_map = m_dbf.mapReadOnly(length);
    if (m_map == nullptr)
        return false;
    m_mapLength = length;
    return true;
}

void Table::unmapFile() const noexcept
{
    File::unmap(m_map, m_mapLength);
    m_map = nullptr;
    m_mapLength = 0;
    ++m_mapGeneration;
}

std::string Table::readMemo(std::string_view pointerField) const
{
    const std::optional<std::uint32_t> block = codec::parseMemoBlock(pointerField);
    if (!block)
        throw CorruptFile(m_path, 0,
            "memo field holds \"" + std::string(pointerField) + "\", which is not a block number");
    if (*block == 0)
        return {};
    if (!m_memo)
        throw Error(m_path.filename().string() + ": the table has no memo file.");
    return m_memo->read(*block);
}

RecordLock Table::lockRecord(RecNo recNo)
{
    assert(recNo != 0 && recNo < kRecordLockBase);
    if (m_lockedRecords.count(recNo) != 0)
        throw RecordLocked(name());
    if (!m_dbf.isWritable())
        throw IoError(m_path.filename().string() + ": the table is read-only");
    if (!m_dbf.tryLock(kRecordLockBase - recNo, 1, File::LockKind::Exclusive))
        throw RecordLocked(name());
    m_lockedRecords.insert(recNo);
    return RecordLock(this, recNo);
}

void Table::unlockRecord(RecNo recNo) noexcept
{
    if (m_lockedRecords.erase(recNo) == 0)
        return;
    try {
        m_dbf.unlock(kRecordLockBase - recNo, 1);
    } catch (...) {
        // Closing the descriptor drops the lock at the latest.
    }
}

void Table::placeMemos(
    std::uint8_t *newImage, const std::uint8_t *oldImage, std::span<const MemoUpdate> memos)
{
    for (const MemoUpdate &m : memos) {
        const FieldDef &f = m_header.layout.field(m.field);
        if (f.type != FieldType::Memo)
            throw Error("Field " + f.name + " is not a memo field.");
        if (!m_memo)
            throw Error(m_path.filename().string() + ": the table has no memo file.");
        const std::uint32_t offset = m_header.layout.offset(m.field);
        std::uint32_t oldBlock = 0;
        if (oldImage) {
            const std::string_view old(reinterpret_cast<const char *>(oldImage) + offset, f.width);
            oldBlock = codec::parseMemoBlock(old).value_or(0);
        }
        const BlockNo block = m_memo->write(oldBlock, m.text);
        codec::formatMemoBlock(block, { reinterpret_cast<char *>(newImage) + offset, f.width });
    }
}

void Table::touchHeader(std::optional<RecNo> newCount)
{
    const Date today = Date::today();
    std::uint8_t b[7];
    b[0] = static_cast<std::uint8_t>(today.year() - 1900);
    b[1] = static_cast<std::uint8_t>(today.month());
    b[2] = static_cast<std::uint8_t>(today.day());
    if (newCount) {
        put32(b + 3, *newCount);
        m_dbf.writeAt(1, b, 7);
        m_knownCount = *newCount;
    } else if (today != m_dateWritten) {
        m_dbf.writeAt(1, b, 3);
    }
    m_dateWritten = today;
}

void Table::writeRecord(RecNo recNo, const std::uint8_t *oldImage, std::uint8_t *newImage,
    std::span<const MemoUpdate> memos)
{
    assert(m_mode == OpenMode::Exclusive || m_lockedRecords.count(recNo) != 0);
    if (!m_dbf.isWritable())
        throw IoError(m_path.filename().string() + ": the table is read-only");
    if (!hasRecord(recNo))
        throw Error(
            m_path.filename().string() + ": record " + std::to_string(recNo) + " does not exist.");
    writePendingAppends();
    if (m_index)
        m_index->beforeWrite(recNo, oldImage, newImage);
    try {
        placeMemos(newImage, oldImage, memos);
        if (m_memo)
            m_memo->writePending(); // the runs before the record that points at them
        m_dbf.writeAt(recordOffset(recNo), newImage, m_header.layout.recordLength());
        ++m_writeGeneration;
        touchHeader(std::nullopt);
    } catch (...) {
        if (m_index)
            m_index->abandonWrite();
        throw;
    }
    if (m_index)
        m_index->afterWrite(recNo, oldImage, newImage);
}

RecNo Table::appendRecord(std::uint8_t *newImage, std::span<const MemoUpdate> memos)
{
    if (!m_dbf.isWritable())
        throw IoError(m_path.filename().string() + ": the table is read-only");
    // An exclusive open keeps every other program out of the table, so the count this Table
    // wrote or read last is the file's and no append lock is needed.
    const bool shared = m_mode != OpenMode::Exclusive;
    if (shared) {
        const auto deadline = std::chrono::steady_clock::now() + kAppendPatience;
        while (!m_dbf.tryLock(kAppendLock, 1, File::LockKind::Exclusive)) {
            if (std::chrono::steady_clock::now() > deadline)
                throw TableBusy(m_path.filename().string());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    struct Unlock
    {
        File &file;
        bool held;
        ~Unlock()
        {
            if (!held)
                return;
            try {
                file.unlock(kAppendLock, 1);
            } catch (...) {
            }
        }
    } unlock{ m_dbf, shared };

    const RecNo recNo = (shared ? recordCount() : m_knownCount) + 1;
    if (!shared && !m_index) {
        // Gathered; the memo file gathers the new runs alike (sole writer).
        constexpr std::size_t kPendingBytes = 1 << 20;
        placeMemos(newImage, nullptr, memos);
        const std::uint32_t length = m_header.layout.recordLength();
        if (m_pendingAppends.empty())
            m_writtenCount = recNo - 1;
        m_pendingAppends.insert(m_pendingAppends.end(), newImage, newImage + length);
        m_knownCount = recNo;
        ++m_writeGeneration;
        if (m_pendingAppends.size() >= kPendingBytes)
            writePendingAppends();
        return recNo;
    }
    if (m_index)
        m_index->beforeWrite(recNo, nullptr, newImage);
    try {
        placeMemos(newImage, nullptr, memos);
        if (m_memo)
            m_memo->writePending();
        const std::uint32_t length = m_header.layout.recordLength();
        std::vector<std::uint8_t> bytes(newImage, newImage + length);
        bytes.push_back(DbfHeader::kEndOfFile);
        m_dbf.writeAt(recordOffset(recNo), bytes.data(), bytes.size());
        ++m_writeGeneration;
        touchHeader(recNo);
    } catch (...) {
        if (m_index)
            m_index->abandonWrite();
        throw;
    }
    if (m_index)
        m_index->afterWrite(recNo, nullptr, newImage);
    return recNo;
}

void Table::writePendingAppends()
{
    if (m_pendingAppends.empty())
        return;
    if (m_memo)
        m_memo->writePending();
    m_pendingAppends.push_back(DbfHeader::kEndOfFile);
    try {
        m_dbf.writeAt(recordOffset(m_writtenCount + 1), m_pendingAppends.data(),
            m_pendingAppends.size());
    } catch (...) {
        m_pendingAppends.pop_back();
        throw;
    }
    m_pendingAppends.clear();
    m_writtenCount = m_knownCount;
    touchHeader(m_knownCount);
}

void Table::flush()
{
    writePendingAppends();
    if (m_dbf.isWritable())
        m_dbf.sync();
    if (m_memo)
        m_memo->flush();
    if (m_index)
        m_index->flush();
}

} // namespace dbf
