#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dbf/file.h"
#include "dbf/key_expression.h"

namespace dbf {

// A production index file: the tags of one table, each a B-tree of 1024-byte blocks.
//
// File header (page 0):
//   OFFSET SIZE MEANING
//   0      1    version 0x02
//   1      3    creation date YY MM DD (year - 1900)
//   4      16   table base name, NUL-padded
//   20     2    block size in pages (2)
//   22     2    block size in bytes (1024)
//   24     1    production index flag (1)
//   25     1    tag table slots (48)
//   26     1    tag slot length (32)
//   28     2    tags in use
//   30     1    tags in use + 1
//   31     1    language driver (the table's)
//   32     4    pages in the file; new blocks are appended here
//   36     8    free chain head and count: always 0 (space comes back by a rebuild)
//   44     3    date of the last update YY MM DD
//   48     4    change counter (our own; other writers leave the reserved bytes zero): odd
//               from a writer's first change in a session to the session's end, when it
//               becomes the next even number; all under the index lock
// Tag table: slot 0 at 512 (all zero but byte 17 = 1), tag i at 544 + 32 (i - 1):
//   0      4    page of the tag header block
//   4      11   tag name, upper case, NUL-padded
//   15     1    0x10 single-field key, 0x00 expression
//   16     3    tag thread: left, right, parent slot of a search tree over the names
//   19     1    0x02
//   20     1    key type C, N or D
// Tag header block:
//   0      4    root node page
//   4      4    pages used by the tag
//   8      1    key format: 0x10 character keys, 0x40 unique
//   9      1    key type
//   11     1    language driver
//   12     2    key length
//   14     2    maximum keys per node = (1024 - 12) / item length
//   16     2    1 for date keys, else 0
//   18     2    item length = key length + 4 rounded up to a multiple of 4
//   20     1    1
//   23     1    unique 1 / 0
//   24     220  key expression text, NUL-terminated, exactly as given
//   246    1    1 once the tag holds a key
//   248    8    first and last leaf page (written as the root page)
//   257    3    tag date YY MM DD
//   480    1    1 for a single-field key
// Node blocks are described in btree.h. Every page number counts 512-byte pages.
//
// Sharing. Readers hold a shared lock on byte 0xEFFFFFFE of the index file while they look at
// the tree, writers an exclusive one while they change it, so nobody sees a half-made split.
// Locks are taken without blocking and retried for a few seconds, then TableBusy. Every session
// starts by reading the header: when the tag count, page count or change counter differ from
// what this object saw last, every cached block is dropped and the tag table read again.
// A privately used file (the table is open exclusively) skips locks and re-reading, and writes
// its header's change counter and date when it is synced or closed rather than after every
// session: nobody else looks at them meanwhile, and the page count, which a reader after a kill
// does need, is still written as soon as a new block is.
class MdxFile
{
public:
    static constexpr std::uint32_t kPageSize = 512;
    static constexpr std::uint32_t kBlockSize = 1024;
    static constexpr std::uint32_t kBlockPages = 2;
    static constexpr std::uint32_t kFirstBlockPage = 4;
    static constexpr std::size_t kMaxTags = 47;
    static constexpr std::uint64_t kIndexLock = 0xEFFFFFFE;

    struct Tag
    {
        std::string name; // upper case
        std::string expression; // as given
        KeyType type = KeyType::Character;
        std::uint16_t keyLength = 0;
        std::uint16_t itemLength = 0;
        std::uint16_t maxKeys = 0;
        bool unique = false;
        bool singleField = false;
        bool hasKeys = false; // tag header byte 246: set once a key was added
        std::uint32_t headerPage = 0;
        std::uint32_t root = 0;
    };

    // Opens an existing file: CorruptFile on a wrong signature or a pointer outside the file,
    // Unsupported on another block size.
    static std::unique_ptr<MdxFile> open(
        const std::filesystem::path &path, bool writable, bool privateUse);
    // Creates (or replaces) an index file without tags.
    static std::unique_ptr<MdxFile> create(const std::filesystem::path &path,
        std::string_view tableName, std::uint8_t languageDriver, bool privateUse);

    ~MdxFile();
    MdxFile(const MdxFile &) = delete;
    MdxFile &operator=(const MdxFile &) = delete;

    const std::filesystem::path &path() const { return m_file.path(); }
    const std::vector<Tag> &tags() const { return m_tags; }
    // Tag position by name, without regard to case; -1 when there is none.
    int findTag(std::string_view name) const;
    std::uint32_t pageCount() const { return m_pageCount; }
    // Moves whenever the tree may have changed (own writes, or another writer's seen on a
    // session start): positions remembered as node paths are stale then.
    std::uint64_t generation() const { return m_generation; }
    bool isWritable() const { return m_file.isWritable(); }

    // Sessions nest; the outermost takes and drops the lock. endWrite() publishes the changes
    // (page count, date, change counter) when there were any.
    void beginRead();
    void endRead() noexcept;
    void beginWrite();
    void endWrite() noexcept;
    bool inWrite() const { return m_writeDepth > 0; }

    // A read without the lock, for short lookups (seeks). begin says whether one may be tried:
    // not while a writer of ours is at work (the change counter is odd from a writer's first
    // change to the end of its session) or when the file changed since the cache was filled.
    // end says whether what was read holds: the counter is still `token`. Otherwise, or when the
    // lookup met an impossible block, the caller reads again inside a read session.
    bool beginUnlockedRead(std::uint32_t &token);
    bool endUnlockedRead(std::uint32_t token) const;

    // A node block, cached; CorruptFile when the page is not a block inside the file.
    const std::uint8_t *block(std::uint32_t page);
    // Writes a block through to the file (and the cache unless told otherwise).
    void writeBlock(std::uint32_t page, const std::uint8_t *data, bool cache = true);
    // Writes `count` consecutive new blocks from `page` on with one write, past the cache (bulk
    // builds, whose blocks nothing links to until the build is done).
    void writeNewBlocks(std::uint32_t page, const std::uint8_t *data, std::size_t count);
    // A new block at the end of the file (inside a write session); its contents are unwritten.
    // With `publish` the header's page count is written as soon as the block is, before
    // anything links to it, so that a program stopped in the middle of a session leaves no
    // linked block beyond the counted pages and no counted page beyond the file; blocks nothing
    // links to until the session ends (bulk builds) are counted at its end.
    // A private file first takes blocks given back by releaseBlock: they lie inside the counted
    // pages, and nothing on disk links to them.
    std::uint32_t allocateBlock(bool publish = true);
    // A block nothing links to any more, after the write that unlinked it (a split's old block).
    void releaseBlock(std::uint32_t page);
    void setRoot(std::size_t tag, std::uint32_t page);
    // Sets the tag header's "has keys" byte, once.
    void markHasKeys(std::size_t tag);
    // Writes the header block and the tag table entry of a new tag whose tree is built already
    // (root set); returns its position.
    std::size_t addTag(Tag tag);
    void sync();

private:
    MdxFile() = default;
    void readAll();
    void refresh();
    void lock(bool exclusive);
    void unlock() noexcept;
    void writeHeader();
    void writeDeferredHeader();
    // Marks the change counter odd on disk before a session's first change (shared use).
    void beginChange();

    File m_file;
    const std::uint8_t *m_headerMap = nullptr; // first page, shared use only
    bool m_private = false;
    std::vector<Tag> m_tags;
    std::uint32_t m_pageCount = 0;
    std::uint32_t m_counter = 0;
    std::uint16_t m_tagCount = 0;
    // What the header on disk says, and whether a private file's header waits for sync or close.
    std::uint32_t m_headerPageCount = 0;
    std::uint16_t m_headerTagCount = 0;
    bool m_headerDeferred = false;
    bool m_changing = false; // the counter on disk is odd for this session's changes
    std::vector<std::uint32_t> m_spare; // unlinked blocks of a private file, to use again
    std::uint8_t m_languageDriver = 0;
    std::uint64_t m_generation = 1;
    int m_readDepth = 0;
    int m_writeDepth = 0;
    bool m_locked = false;
    bool m_dirty = false;
    std::uint32_t m_publishAfter = 0; // a new block whose write makes the page count public
    std::unordered_map<std::uint32_t, std::unique_ptr<std::uint8_t[]>> m_cache;
    // Direct-mapped front of the cache for the blocks used over and over (roots, inner nodes).
    struct Recent
    {
        std::uint32_t page = 0;
        const std::uint8_t *data = nullptr;
    };
    static constexpr std::size_t kRecent = 256;
    Recent m_recent[kRecent];
    void clearCache();
};

// RAII sessions.
class MdxReadSession
{
public:
    explicit MdxReadSession(MdxFile &f)
        : m_file(f)
    {
        m_file.beginRead();
    }
    ~MdxReadSession() { m_file.endRead(); }
    MdxReadSession(const MdxReadSession &) = delete;
    MdxReadSession &operator=(const MdxReadSession &) = delete;

private:
    MdxFile &m_file;
};

class MdxWriteSession
{
public:
    explicit MdxWriteSession(MdxFile &f)
        : m_file(f)
    {
        m_file.beginWrite();
    }
    ~MdxWriteSession() { m_file.endWrite(); }
    MdxWriteSession(const MdxWriteSession &) = delete;
    MdxWriteSession &operator=(const MdxWriteSession &) = delete;

private:
    MdxFile &m_file;
};

} // namespace dbf
