#include "dbf/mdx_file.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "dbf/date.h"
#include "dbf/errors.h"

namespace dbf {

namespace {

constexpr std::uint32_t kTagTableOffset = 512;
constexpr std::uint32_t kSlotLength = 32;
constexpr std::uint32_t kHeaderUsed = 52; // header bytes read at each session start
constexpr std::size_t kCacheLimit = 16384; // blocks (16 MB)
constexpr auto kLockPatience = std::chrono::seconds(5);

// Generations are unique over every MdxFile of the program, so a position remembered against
// one file object is never taken as valid for another.
std::uint64_t nextGeneration()
{
    static std::uint64_t last = 0;
    return ++last;
}

std::uint16_t get16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t get32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void put16(std::uint8_t *p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void putDate(std::uint8_t *p)
{
    const Date d = Date::today();
    p[0] = static_cast<std::uint8_t>(d.year() - 1900);
    p[1] = static_cast<std::uint8_t>(d.month());
    p[2] = static_cast<std::uint8_t>(d.day());
}

} // namespace

std::unique_ptr<MdxFile> MdxFile::open(
    const std::filesystem::path &path, bool writable, bool privateUse)
{
    std::unique_ptr<MdxFile> f(new MdxFile);
    f->m_file = File::open(path, writable ? File::Access::ReadWrite : File::Access::ReadOnly, true);
    f->m_private = privateUse;
    if (!privateUse) // the header is looked at by every session: read it through a mapping
        f->m_headerMap = f->m_file.mapReadOnly(kPageSize);
    f->lock(false);
    try {
        f->readAll();
    } catch (...) {
        f->unlock();
        throw;
    }
    f->unlock();
    return f;
}

MdxFile::~MdxFile()
{
    try {
        writeDeferredHeader();
    } catch (...) {
        // The page count on disk is right; only the change counter and date stay behind.
    }
    File::unmap(m_headerMap, kPageSize);
}

std::unique_ptr<MdxFile> MdxFile::create(const std::filesystem::path &path,
    std::string_view tableName, std::uint8_t languageDriver, bool privateUse)
{
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::unique_ptr<MdxFile> f(new MdxFile);
    f->m_file = File::create(path);
    f->m_private = privateUse;
    std::vector<std::uint8_t> head(kFirstBlockPage * kPageSize, 0);
    std::uint8_t *h = head.data();
    h[0] = 0x02;
    putDate(h + 1);
    for (std::size_t i = 0; i < tableName.size() && i < 16; ++i)
        h[4 + i] = static_cast<std::uint8_t>(tableName[i]);
    put16(h + 20, kBlockPages);
    put16(h + 22, kBlockSize);
    h[24] = 1;
    h[25] = 48;
    h[26] = kSlotLength;
    h[30] = 1;
    h[31] = languageDriver;
    f->m_languageDriver = languageDriver;
    put32(h + 32, kFirstBlockPage);
    putDate(h + 44);
    h[kTagTableOffset + 17] = 1; // anchor slot
    f->m_file.writeAt(0, head.data(), head.size());
    f->m_pageCount = f->m_headerPageCount = kFirstBlockPage;
    f->m_generation = nextGeneration();
    return f;
}

int MdxFile::findTag(std::string_view name) const
{
    for (std::size_t i = 0; i < m_tags.size(); ++i)
        if (RecordLayout::equalsIgnoreCase(m_tags[i].name, name))
            return static_cast<int>(i);
    return -1;
}

// Reads the header, the tag table and every tag header; checks what later reads rely on.
void MdxFile::readAll()
{
    const auto &p = m_file.path();
    std::uint8_t head[kFirstBlockPage * kPageSize];
    const std::uint64_t size = m_file.size();
    if (size < sizeof head || m_file.readAt(0, head, sizeof head) != sizeof head)
        throw CorruptFile(p, 0, "index file too short");
    if (head[0] != 0x02)
        throw CorruptFile(p, 0, "not a dBASE IV index file (version byte)");
    if (get16(head + 22) != kBlockSize || get16(head + 20) != kBlockPages)
        throw Unsupported(p.filename().string() + ": index block size "
            + std::to_string(get16(head + 22)) + " is not supported.");
    if (head[25] != 48 || head[26] != kSlotLength)
        throw CorruptFile(p, 25, "wrong tag table layout");
    const std::uint16_t count = get16(head + 28);
    if (count > kMaxTags)
        throw CorruptFile(p, 28, "too many tags");
    const std::uint32_t pages = get32(head + 32);
    if (pages < kFirstBlockPage || static_cast<std::uint64_t>(pages) * kPageSize > size)
        throw CorruptFile(p, 32, "page count outside the file");
    m_pageCount = m_headerPageCount = pages;
    m_counter = get32(head + 48);
    m_tagCount = m_headerTagCount = count;
    m_languageDriver = head[31];

    std::vector<Tag> tags;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint32_t off = kTagTableOffset + kSlotLength * (i + 1);
        const std::uint8_t *e = head + off;
        Tag t;
        t.headerPage = get32(e);
        for (int c = 0; c < 11 && e[4 + c] != 0; ++c)
            t.name.push_back(static_cast<char>(e[4 + c]));
        if (t.headerPage < kFirstBlockPage || t.headerPage + kBlockPages > pages)
            throw CorruptFile(p, off, "tag header page outside the file");
        std::uint8_t th[kBlockSize];
        const std::uint64_t thOff = static_cast<std::uint64_t>(t.headerPage) * kPageSize;
        if (m_file.readAt(thOff, th, sizeof th) != sizeof th)
            throw CorruptFile(p, thOff, "truncated tag header");
        const char type = static_cast<char>(th[9]);
        if (type != 'C' && type != 'N' && type != 'D')
            throw CorruptFile(p, thOff + 9, "unknown key type of tag " + t.name);
        t.type = static_cast<KeyType>(type);
        t.keyLength = get16(th + 12);
        t.maxKeys = get16(th + 14);
        t.itemLength = get16(th + 18);
        if (t.keyLength == 0 || t.keyLength > 100 || t.itemLength < t.keyLength + 4
            || t.itemLength % 4 != 0 || t.maxKeys < 2
            || t.maxKeys > (kBlockSize - 12) / t.itemLength)
            throw CorruptFile(p, thOff + 12, "impossible key sizes in tag " + t.name);
        if (th[245] != 0 || (th[8] & 0x08) != 0)
            throw Unsupported(p.filename().string() + ": tag " + t.name
                + " has a FOR condition or descending order, which this engine does not keep.");
        t.unique = th[23] != 0 || (th[8] & 0x40) != 0;
        t.singleField = th[480] != 0;
        t.hasKeys = th[246] != 0;
        for (std::size_t c = 24; c < 244 && th[c] != 0; ++c)
            t.expression.push_back(static_cast<char>(th[c]));
        t.root = get32(th);
        if (t.root < kFirstBlockPage || t.root + kBlockPages > pages)
            throw CorruptFile(p, thOff, "root page of tag " + t.name + " outside the file");
        tags.push_back(std::move(t));
    }
    m_tags = std::move(tags);
    clearCache();
    m_generation = nextGeneration();
}

void MdxFile::refresh()
{
    if (m_private)
        return;
    std::uint8_t head[kHeaderUsed];
    if (m_headerMap != nullptr) // readAll() found the file at least a header long
        std::memcpy(head, m_headerMap, sizeof head);
    else if (m_file.readAt(0, head, sizeof head) != sizeof head)
        throw CorruptFile(m_file.path(), 0, "index file too short");
    if (get16(head + 28) != m_tagCount || get32(head + 32) != m_pageCount
        || get32(head + 48) != m_counter)
        readAll();
    else if (m_cache.size() > kCacheLimit)
        clearCache();
}

void MdxFile::lock(bool exclusive)
{
    if (m_private || m_locked)
        return;
    const auto kind = exclusive ? File::LockKind::Exclusive : File::LockKind::Shared;
    const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
    while (!m_file.tryLock(kIndexLock, 1, kind)) {
        if (std::chrono::steady_clock::now() > deadline)
            throw TableBusy(m_file.path().filename().string());
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    m_locked = true;
}

void MdxFile::unlock() noexcept
{
    if (!m_locked)
        return;
    m_locked = false;
    try {
        m_file.unlock(kIndexLock, 1);
    } catch (...) {
    }
}

void MdxFile::beginRead()
{
    if (m_readDepth == 0 && m_writeDepth == 0) {
        lock(false);
        try {
            refresh();
        } catch (...) {
            unlock();
            throw;
        }
    }
    ++m_readDepth;
}

void MdxFile::endRead() noexcept
{
    if (--m_readDepth == 0 && m_writeDepth == 0)
        unlock();
}

void MdxFile::beginWrite()
{
    if (m_writeDepth == 0) {
        if (!m_file.isWritable())
            throw IoError(m_file.path().filename().string() + ": the index file is read-only");
        if (m_readDepth != 0)
            throw Error("index write inside a read session");
        lock(true);
        try {
            refresh();
        } catch (...) {
            unlock();
            throw;
        }
        m_dirty = false;
        m_changing = false;
    }
    ++m_writeDepth;
}

void MdxFile::endWrite() noexcept
{
    if (--m_writeDepth > 0)
        return;
    if (m_dirty) {
        try {
            // A private file's header is written when it is synced or closed, unless this
            // session changed what a reader needs from it (the tags, unpublished pages).
            if (m_private && m_pageCount == m_headerPageCount && m_tagCount == m_headerTagCount)
                m_headerDeferred = true;
            else
                writeHeader();
        } catch (...) {
            // The blocks are written; a header left behind is caught by the next check.
        }
        m_generation = nextGeneration();
        m_dirty = false;
    }
    unlock();
}

void MdxFile::writeHeader()
{
    std::uint8_t h[kHeaderUsed - 28];
    std::memset(h, 0, sizeof h);
    m_counter = (m_counter + 2) & ~std::uint32_t{ 1 }; // even: no change under way
    put16(h, m_tagCount);
    h[2] = static_cast<std::uint8_t>(m_tagCount + 1);
    h[3] = m_languageDriver;
    put32(h + 4, m_pageCount);
    putDate(h + 16);
    put32(h + 20, m_counter);
    m_file.writeAt(28, h, sizeof h);
    m_headerPageCount = m_pageCount;
    m_headerTagCount = m_tagCount;
    m_headerDeferred = false;
    m_changing = false;
}

void MdxFile::beginChange()
{
    if (m_changing || m_private)
        return;
    m_counter = (m_counter + 1) | 1; // odd: a change is under way
    std::uint8_t b[4];
    put32(b, m_counter);
    m_file.writeAt(48, b, sizeof b);
    m_changing = true;
    m_dirty = true;
}

bool MdxFile::beginUnlockedRead(std::uint32_t &token)
{
    if (m_headerMap == nullptr || m_readDepth != 0 || m_writeDepth != 0)
        return false;
    std::uint8_t head[kHeaderUsed];
    std::memcpy(head, m_headerMap, sizeof head);
    std::atomic_thread_fence(std::memory_order_acquire);
    const std::uint32_t counter = get32(head + 48);
    if ((counter & 1) != 0 || counter != m_counter || get16(head + 28) != m_tagCount
        || get32(head + 32) != m_pageCount || m_cache.size() > kCacheLimit)
        return false;
    token = counter;
    return true;
}

bool MdxFile::endUnlockedRead(std::uint32_t token) const
{
    std::atomic_thread_fence(std::memory_order_seq_cst);
    std::uint8_t counter[4];
    std::memcpy(counter, m_headerMap + 48, sizeof counter);
    return get32(counter) == token;
}

void MdxFile::writeDeferredHeader()
{
    if (m_headerDeferred && m_file.isWritable())
        writeHeader();
}

void MdxFile::clearCache()
{
    m_cache.clear();
    for (Recent &r : m_recent)
        r = {};
}

const std::uint8_t *MdxFile::block(std::uint32_t page)
{
    Recent &recent = m_recent[(page / kBlockPages) % kRecent];
    if (recent.page == page && recent.data != nullptr && page + kBlockPages <= m_pageCount)
        return recent.data;
    if (page < kFirstBlockPage || page % kBlockPages != 0 || page + kBlockPages > m_pageCount)
        throw CorruptFile(m_file.path(), static_cast<std::uint64_t>(page) * kPageSize,
            "node pointer " + std::to_string(page) + " outside the index file");
    auto it = m_cache.find(page);
    if (it == m_cache.end()) {
        auto data = std::make_unique<std::uint8_t[]>(kBlockSize);
        const std::uint64_t off = static_cast<std::uint64_t>(page) * kPageSize;
        if (m_file.readAt(off, data.get(), kBlockSize) != kBlockSize)
            throw CorruptFile(m_file.path(), off, "node block runs past the end of the index file");
        it = m_cache.emplace(page, std::move(data)).first;
    }
    recent = { page, it->second.get() };
    return recent.data;
}

void MdxFile::writeBlock(std::uint32_t page, const std::uint8_t *data, bool cache)
{
    beginChange();
    m_file.writeAt(static_cast<std::uint64_t>(page) * kPageSize, data, kBlockSize);
    m_dirty = true;
    if (page == m_publishAfter) {
        // The new block exists now: count it before anything links to it.
        m_publishAfter = 0;
        std::uint8_t b[4];
        put32(b, m_pageCount);
        m_file.writeAt(32, b, sizeof b);
        m_headerPageCount = m_pageCount;
    }
    auto it = m_cache.find(page);
    if (it != m_cache.end()) {
        std::memcpy(it->second.get(), data, kBlockSize);
    } else if (cache) {
        auto copy = std::make_unique<std::uint8_t[]>(kBlockSize);
        std::memcpy(copy.get(), data, kBlockSize);
        m_cache.emplace(page, std::move(copy));
    }
}

void MdxFile::writeNewBlocks(std::uint32_t page, const std::uint8_t *data, std::size_t count)
{
    beginChange();
    m_file.writeAt(static_cast<std::uint64_t>(page) * kPageSize, data, count * kBlockSize);
    m_dirty = true;
}

std::uint32_t MdxFile::allocateBlock(bool publish)
{
    if (publish && !m_spare.empty()) {
        const std::uint32_t page = m_spare.back();
        m_spare.pop_back();
        return page;
    }
    const std::uint32_t page = m_pageCount;
    m_pageCount += kBlockPages;
    m_dirty = true;
    if (publish)
        m_publishAfter = page;
    return page;
}

void MdxFile::releaseBlock(std::uint32_t page)
{
    // Another program may still be on its way down to the block, or hold it in its cache; only a
    // private file knows nobody is.
    if (m_private)
        m_spare.push_back(page);
}

void MdxFile::setRoot(std::size_t tag, std::uint32_t page)
{
    beginChange();
    Tag &t = m_tags.at(tag);
    std::uint8_t b[4];
    put32(b, page);
    m_file.writeAt(static_cast<std::uint64_t>(t.headerPage) * kPageSize, b, 4);
    t.root = page;
    m_dirty = true;
}

void MdxFile::markHasKeys(std::size_t tag)
{
    Tag &t = m_tags.at(tag);
    if (t.hasKeys)
        return;
    beginChange();
    const std::uint8_t one = 1;
    m_file.writeAt(static_cast<std::uint64_t>(t.headerPage) * kPageSize + 246, &one, 1);
    t.hasKeys = true;
    m_dirty = true;
}

std::size_t MdxFile::addTag(Tag tag)
{
    if (m_tags.size() >= kMaxTags)
        throw Error(m_file.path().filename().string() + ": a table can have at most 47 tags.");
    beginChange();
    const std::size_t slot = m_tags.size() + 1;

    // Tag header block.
    std::uint8_t th[kBlockSize] = {};
    put32(th, tag.root);
    put32(th + 4, m_pageCount - tag.headerPage);
    th[8] = static_cast<std::uint8_t>(
        (tag.type == KeyType::Character ? 0x10 : 0) | (tag.unique ? 0x40 : 0));
    th[9] = static_cast<std::uint8_t>(tag.type);
    th[11] = m_languageDriver;
    put16(th + 12, tag.keyLength);
    put16(th + 14, tag.maxKeys);
    put16(th + 16, tag.type == KeyType::Date ? 1 : 0);
    put16(th + 18, tag.itemLength);
    th[20] = 1;
    th[23] = tag.unique ? 1 : 0;
    std::memcpy(th + 24, tag.expression.data(), std::min<std::size_t>(tag.expression.size(), 219));
    th[246] = tag.hasKeys ? 1 : 0;
    put32(th + 248, tag.root);
    put32(th + 252, tag.root);
    putDate(th + 257);
    th[480] = tag.singleField ? 1 : 0;
    writeBlock(tag.headerPage, th, false);

    // Tag table entry, threaded into the search tree over the names.
    std::uint8_t table[kFirstBlockPage * kPageSize - kTagTableOffset];
    m_file.readAt(kTagTableOffset, table, sizeof table);
    std::uint8_t *e = table + kSlotLength * slot;
    std::memset(e, 0, kSlotLength);
    put32(e, tag.headerPage);
    std::memcpy(e + 4, tag.name.data(), std::min<std::size_t>(tag.name.size(), 10));
    e[15] = tag.singleField ? 0x10 : 0x00;
    e[19] = 0x02;
    e[20] = static_cast<std::uint8_t>(tag.type);
    if (slot > 1) {
        std::size_t node = 1;
        for (int guard = 0; guard < 64; ++guard) {
            const bool left = tag.name < m_tags[node - 1].name;
            std::uint8_t &link = table[kSlotLength * node + (left ? 16 : 17)];
            if (link == 0 || link >= slot) {
                link = static_cast<std::uint8_t>(slot);
                e[18] = static_cast<std::uint8_t>(node);
                break;
            }
            node = link;
        }
    }
    m_file.writeAt(kTagTableOffset, table, sizeof table);
    m_tags.push_back(std::move(tag));
    m_tagCount = static_cast<std::uint16_t>(m_tags.size());
    m_dirty = true;
    return m_tags.size() - 1;
}

void MdxFile::sync()
{
    writeDeferredHeader();
    if (m_file.isWritable())
        m_file.sync();
}

} // namespace dbf
