#include "dbf/memo_file.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

#include "dbf/errors.h"

namespace dbf {

namespace {

constexpr std::size_t kHeaderPrefix = 22; // bytes of block 0 that carry meaning
constexpr std::uint8_t kEndOfText = 0x1A; // dBASE III memo terminator
// The allocation lock is held for one write; a program holding it longer is stuck or gone.
constexpr auto kLockPatience = std::chrono::seconds(5);

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

// Holds the DBT allocation lock for one scope, waiting a short while for another writer's
// single append to finish.
class AllocationLock
{
public:
    explicit AllocationLock(File &file)
        : m_file(file)
    {
        const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
        while (!m_file.tryLock(MemoFile::kAllocationLock, 1, File::LockKind::Exclusive)) {
            if (std::chrono::steady_clock::now() > deadline)
                throw TableBusy(m_file.path().filename().string());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~AllocationLock()
    {
        try {
            m_file.unlock(MemoFile::kAllocationLock, 1);
        } catch (...) {
        }
    }
    AllocationLock(const AllocationLock &) = delete;
    AllocationLock &operator=(const AllocationLock &) = delete;

private:
    File &m_file;
};

} // namespace

std::unique_ptr<MemoFile> MemoFile::open(
    const std::filesystem::path &path, bool dbaseIII, bool writable)
{
    std::unique_ptr<MemoFile> memo(new MemoFile);
    memo->m_file =
        File::open(path, writable ? File::Access::ReadWrite : File::Access::ReadOnly, true);
    memo->m_dbaseIII = dbaseIII;
    std::uint8_t header[kHeaderPrefix] = {};
    if (memo->m_file.readAt(0, header, sizeof header) < sizeof header)
        throw CorruptFile(path, 0, "truncated memo file header");
    if (dbaseIII) {
        memo->m_blockSize = 512;
    } else {
        const std::uint32_t size = static_cast<std::uint32_t>(header[20] | (header[21] << 8));
        memo->m_blockSize = size == 0 ? 512 : size;
        if (memo->m_blockSize % 512 != 0)
            throw CorruptFile(
                path, 20, "memo block size " + std::to_string(size) + " is not a multiple of 512");
    }
    return memo;
}

void MemoFile::create(
    const std::filesystem::path &path, const std::string &tableName, std::uint16_t blockSize)
{
    if (blockSize == 0 || blockSize % 512 != 0)
        throw Error("Memo block size must be a multiple of 512.");
    std::vector<std::uint8_t> block(blockSize, 0);
    put32(block.data(), 1);
    std::memcpy(block.data() + 8, tableName.data(), std::min<std::size_t>(tableName.size(), 8));
    block[20] = static_cast<std::uint8_t>(blockSize & 0xFF);
    block[21] = static_cast<std::uint8_t>(blockSize >> 8);
    File f = File::create(path);
    f.writeAt(0, block.data(), block.size());
}

std::uint32_t MemoFile::blocksFor(std::uint64_t length) const
{
    return static_cast<std::uint32_t>((length + m_blockSize - 1) / m_blockSize);
}

std::uint64_t MemoFile::fileSize() const
{
    return m_soleWriter ? m_size : m_file.size();
}

std::uint64_t MemoFile::fileBlocks() const
{
    return (fileSize() + m_blockSize - 1) / m_blockSize;
}

MemoFile::~MemoFile()
{
    try {
        writePending();
    } catch (...) {
        // Only a failing disk gets here; flush() reports it to a caller who asks.
    }
}

void MemoFile::setSoleWriter(bool sole)
{
    writePending();
    m_soleWriter = sole;
    if (sole)
        m_size = m_file.size();
}

void MemoFile::writePending()
{
    if (m_pending.empty())
        return;
    m_file.writeAt(static_cast<std::uint64_t>(m_pendingBlock) * m_blockSize, m_pending.data(),
        m_pending.size());
    m_pending.clear();
    std::uint8_t next[4];
    put32(next, static_cast<std::uint32_t>(fileBlocks()));
    m_file.writeAt(0, next, sizeof next);
}

std::string MemoFile::read(BlockNo block) const
{
    const std::uint64_t offset = static_cast<std::uint64_t>(block) * m_blockSize;
    if (!m_pending.empty() && block >= m_pendingBlock)
        const_cast<MemoFile *>(this)->writePending();
    const std::uint64_t size = fileSize();
    if (block == 0)
        throw CorruptFile(path(), 0, "memo block 0 is the memo file header");
    if (m_dbaseIII) {
        if (offset >= size)
            throw CorruptFile(path(), offset,
                "memo block " + std::to_string(block) + " is past the end of the memo file");
        std::string text;
        std::vector<char> chunk(m_blockSize);
        for (std::uint64_t at = offset; at < size; at += m_blockSize) {
            const std::size_t n = m_file.readAt(at, chunk.data(), chunk.size());
            const void *end = std::memchr(chunk.data(), kEndOfText, n);
            if (end) {
                text.append(chunk.data(),
                    static_cast<std::size_t>(static_cast<const char *>(end) - chunk.data()));
                return text;
            }
            text.append(chunk.data(), n);
        }
        return text;
    }
    if (offset + 8 > size)
        throw CorruptFile(path(), offset,
            "memo block " + std::to_string(block) + " is past the end of the memo file");
    // One read takes the head and the first block's text; longer texts need a second one.
    std::uint8_t first[4096];
    const std::size_t firstBytes = static_cast<std::size_t>(
        std::min<std::uint64_t>({ sizeof first, m_blockSize, size - offset }));
    if (m_file.readAt(offset, first, firstBytes) != firstBytes)
        throw CorruptFile(path(), offset, "memo text was cut short");
    if (std::memcmp(first, kSignature, sizeof kSignature) != 0)
        throw CorruptFile(
            path(), offset, "memo block " + std::to_string(block) + " does not start a memo");
    const std::uint32_t length = u32(first + 4);
    if (length < 8)
        throw CorruptFile(
            path(), offset + 4, "memo length " + std::to_string(length) + " is too small");
    if (offset + length > size)
        throw CorruptFile(path(), offset + 4,
            "memo length " + std::to_string(length) + " runs past the end of the memo file");
    std::string text(length - 8, '\0');
    const std::size_t inFirst = std::min<std::size_t>(text.size(), firstBytes - 8);
    std::memcpy(text.data(), first + 8, inFirst);
    const std::size_t rest = text.size() - inFirst;
    if (rest != 0 && m_file.readAt(offset + 8 + inFirst, text.data() + inFirst, rest) != rest)
        throw CorruptFile(path(), offset + 8, "memo text was cut short");
    return text;
}

// True when no memo starts in blocks [from, end): every live memo starts with the signature, so
// such blocks are leftovers of the memo before them. Looks at no more than a few blocks; past
// that it answers false, and the caller appends.
bool MemoFile::onlyGarbageFrom(std::uint64_t from, std::uint64_t end) const
{
    constexpr std::uint64_t kMaxScan = 256;
    if (end < from || end - from > kMaxScan)
        return end <= from;
    for (std::uint64_t b = from; b < end; ++b) {
        std::uint8_t head[4] = {};
        m_file.readAt(b * m_blockSize, head, sizeof head);
        if (std::memcmp(head, kSignature, sizeof kSignature) == 0)
            return false;
    }
    return true;
}

void MemoFile::writeRun(BlockNo block, std::string_view text)
{
    const std::uint64_t length = text.size() + 8;
    std::vector<std::uint8_t> run(static_cast<std::size_t>(blocksFor(length)) * m_blockSize, 0);
    std::memcpy(run.data(), kSignature, sizeof kSignature);
    put32(run.data() + 4, static_cast<std::uint32_t>(length));
    std::memcpy(run.data() + 8, text.data(), text.size());
    m_file.writeAt(static_cast<std::uint64_t>(block) * m_blockSize, run.data(), run.size());
}

BlockNo MemoFile::write(BlockNo oldBlock, std::string_view text)
{
    if (m_dbaseIII)
        throw Unsupported(
            path().filename().string() + ": memo text of dBASE III tables can only be read");
    if (!m_file.isWritable())
        throw IoError(path().filename().string() + ": the memo file is read-only");
    if (text.empty() && oldBlock == 0)
        return 0;
    if (text.size() > 0xFFFFFFFFull - 8 - m_blockSize)
        throw Error("Memo text is too long.");
    const std::uint32_t need = blocksFor(text.size() + 8);
    if (oldBlock != 0)
        writePending(); // the old run and what follows it are looked at in the file

    // The old memo's run: reuse it when the new text fits (M3). A damaged old pointer is simply
    // not reused.
    std::uint64_t oldBlocks = 0;
    const std::uint64_t oldOffset = static_cast<std::uint64_t>(oldBlock) * m_blockSize;
    if (oldBlock != 0 && oldOffset + 8 <= fileSize()) {
        std::uint8_t head[8];
        m_file.readAt(oldOffset, head, sizeof head);
        if (std::memcmp(head, kSignature, sizeof kSignature) == 0 && u32(head + 4) >= 8)
            oldBlocks = blocksFor(u32(head + 4));
    }
    if (text.empty() && oldBlocks == 0)
        return 0;
    // Empty text over an existing memo keeps the run as a memo of length 0, so that later text
    // can grow back into it instead of going to the end of the file.
    if (oldBlocks != 0 && need <= oldBlocks) {
        writeRun(oldBlock, text);
        return oldBlock;
    }

    std::optional<AllocationLock> lock;
    if (!m_soleWriter)
        lock.emplace(m_file);
    const std::uint64_t end = fileBlocks();
    BlockNo start = static_cast<BlockNo>(end);
    if (oldBlocks != 0 && onlyGarbageFrom(oldBlock + oldBlocks, end))
        start = oldBlock; // nothing live after the old memo: grow it where it is
    if (static_cast<std::uint64_t>(start) + need > 0xFFFFFFFFull)
        throw Error(path().filename().string() + ": the memo file is full.");
    if (m_soleWriter) {
        m_size = std::max<std::uint64_t>(
            m_size, (static_cast<std::uint64_t>(start) + need) * m_blockSize);
        if (start == end) {
            // Gathered at the end of the file; written with the header by writePending().
            constexpr std::size_t kPendingBytes = 1 << 20;
            if (m_pending.empty())
                m_pendingBlock = start;
            const std::size_t at = m_pending.size();
            m_pending.resize(at + static_cast<std::size_t>(need) * m_blockSize, 0);
            std::memcpy(m_pending.data() + at, kSignature, sizeof kSignature);
            put32(m_pending.data() + at + 4, static_cast<std::uint32_t>(text.size() + 8));
            std::memcpy(m_pending.data() + at + 8, text.data(), text.size());
            if (m_pending.size() >= kPendingBytes)
                writePending();
            return start;
        }
    }
    writeRun(start, text);
    std::uint8_t next[4];
    put32(next, std::max<std::uint32_t>(start + need, static_cast<std::uint32_t>(end)));
    m_file.writeAt(0, next, sizeof next);
    return start;
}

void MemoFile::flush()
{
    writePending();
    if (m_file.isWritable())
        m_file.sync();
}

} // namespace dbf
