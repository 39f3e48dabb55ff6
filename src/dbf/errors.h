#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace dbf {

// Every failure of the table engine is an exception derived from Error; its what() is the text
// the windows show. Callers recognise the sharing failures by the beginning of that text
// ("Table is busy", "Record locked"), so those prefixes never change.
class Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The operating system refused a read, write, open or lock call.
class IoError : public Error
{
public:
    using Error::Error;
};

// A file's contents contradict its format: a bad length, pointer, page type or signature.
// Data read from disk is input; a bad value ends here, never in an assert or a crash.
class CorruptFile : public Error
{
public:
    CorruptFile(const std::filesystem::path &path, std::uint64_t offset, const std::string &what)
        : Error(
            path.filename().string() + ": " + what + " (at byte " + std::to_string(offset) + ")")
        , m_path(path)
        , m_offset(offset)
    {
    }
    const std::filesystem::path &path() const { return m_path; }
    std::uint64_t offset() const { return m_offset; }

private:
    std::filesystem::path m_path;
    std::uint64_t m_offset;
};

// A well-formed file that uses a feature this engine does not handle (encryption, level 7).
class Unsupported : public Error
{
public:
    using Error::Error;
};

// An exclusive open while others have the table open, or a shared open of a table held
// exclusively. The message begins "Table is busy".
class TableBusy : public Error
{
public:
    explicit TableBusy(const std::string &table)
        : Error("Table is busy: " + table + " is in use by another program.")
    {
    }
};

// A record held in edit by another program. The message begins "Record locked".
class RecordLocked : public Error
{
public:
    explicit RecordLocked(const std::string &table)
        : Error("Record locked by another user: " + table + ".")
    {
    }
};

// A post that would give a unique tag a second record with the same key. Nothing is written.
class KeyViolation : public Error
{
public:
    KeyViolation()
        : Error("Key violation.")
    {
    }
};

} // namespace dbf
