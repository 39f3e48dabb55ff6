#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace dbf {

// One open file descriptor with positioned reads and writes and open-file-description byte-range
// locks (F_OFD_SETLK). Move-only; the destructor closes the descriptor, which drops the locks
// held through it and no others: locks taken through another File on the same path stay.
//
// Every failure of the operating system throws IoError naming the file. Reads past the end of
// the file are not errors: readAt() returns the number of bytes that exist.
class File
{
public:
    enum class Access { ReadOnly, ReadWrite };
    enum class LockKind { Shared, Exclusive };

    File() = default;
    ~File();
    File(File &&other) noexcept;
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    // Opens an existing file. With Access::ReadWrite a file that may only be read is opened
    // read-only instead when allowReadOnlyFallback is set (isWritable() then says false).
    static File open(
        const std::filesystem::path &path, Access access, bool allowReadOnlyFallback = false);
    // Creates a new file; fails when it exists already.
    static File create(const std::filesystem::path &path);

    bool isOpen() const { return m_fd >= 0; }
    bool isWritable() const { return m_writable; }
    const std::filesystem::path &path() const { return m_path; }

    // Reads up to `size` bytes at `offset`; returns how many were read (fewer only at the end).
    std::size_t readAt(std::uint64_t offset, void *buffer, std::size_t size) const;
    // Writes all `size` bytes at `offset`.
    void writeAt(std::uint64_t offset, const void *buffer, std::size_t size);
    std::uint64_t size() const;
    void truncate(std::uint64_t size);
    void sync();
    // Renames the file (replacing `to`); the descriptor and its locks stay with it.
    void renameTo(const std::filesystem::path &to);
    // Makes the directory entries of `directory` (renames, new and removed files) durable.
    static void syncDirectory(const std::filesystem::path &directory);
    // Modification time in nanoseconds, for cheap change detection of the whole file.
    std::int64_t modificationTimeNs() const;

    // A read-only shared mapping of the first `length` bytes (it may reach past the end of the
    // file; only bytes inside the file may be touched). Null when the system refuses one. It
    // shows every write to the file, ours and other programs', as soon as it is made.
    const std::uint8_t *mapReadOnly(std::uint64_t length) const;
    static void unmap(const std::uint8_t *address, std::uint64_t length) noexcept;

    // Never waits: returns false at once when another open file description holds a conflicting
    // lock on any byte of the range.
    bool tryLock(std::uint64_t offset, std::uint64_t length, LockKind kind);
    void unlock(std::uint64_t offset, std::uint64_t length);

private:
    void close() noexcept;

    int m_fd = -1;
    bool m_writable = false;
    std::filesystem::path m_path;
};

} // namespace dbf
