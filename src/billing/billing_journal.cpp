#include "billing/billing_journal.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

#include "dbf/errors.h"
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace billing {

namespace {

constexpr const char *kHeader = "TARNW BILLING JOURNAL 1\n";
constexpr const char *kAbort = "abort\n";

std::string toHex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2 + 1);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out.empty() ? "-" : out; // a field of no bytes still makes a word
}

std::optional<std::string> fromHex(const std::string &hex)
{
    if (hex == "-")
        return std::string();
    if (hex.size() % 2 != 0)
        return std::nullopt;
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = value(hex[i]), lo = value(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += char(hi * 16 + lo);
    }
    return out;
}

// FNV-1a, 64 bits: enough to tell a whole journal from one cut short or overwritten in part.
std::uint64_t checksum(std::string_view bytes)
{
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string checksumText(std::string_view bytes)
{
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(checksum(bytes)));
    return buf;
}

[[noreturn]] void fail(const std::filesystem::path &path, const char *what)
{
    throw dbf::IoError(path.filename().string() + ": " + what + ": " + std::strerror(errno));
}

void writeAll(
    int fd, const std::string &text, std::uint64_t offset, const std::filesystem::path &path)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            ::pwrite(fd, text.data() + done, text.size() - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(path, "cannot write the journal");
        }
        done += std::size_t(n);
    }
}

bool lockByteZero(int fd)
{
    struct flock fl
    {
    };
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

void syncDirectory(const std::filesystem::path &dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::string formatJournal(const JournalEntry &e)
{
    std::ostringstream out;
    out << kHeader;
    out << "client " << toHex(e.clientNumber) << ' ' << e.clientRecNo << '\n';
    out << "invoice " << e.invoiceNumber << ' ' << e.invoiceRecNo << ' ' << toHex(e.invoiceImage)
        << '\n';
    for (const JournalField &f : e.fields)
        out << "field " << char(f.kind) << ' ' << f.table << ' ' << f.recNo << ' ' << f.field << ' '
            << toHex(f.before) << ' ' << toHex(f.after) << '\n';
    std::string text = out.str();
    text += "end " + checksumText(text) + "\n";
    if (e.aborted)
        text += kAbort;
    return text;
}

namespace {

// One block of a journal, from `pos`: header, lines, end line with the checksum of the block,
// and the abort mark when one follows. Moves `pos` past it; nullopt when the block is cut short
// or damaged.
std::optional<JournalEntry> parseBlock(const std::string &text, std::size_t &pos)
{
    const std::size_t headerLength = std::strlen(kHeader);
    if (text.compare(pos, headerLength, kHeader) != 0)
        return std::nullopt;
    const std::size_t endAt = text.find("\nend ", pos);
    if (endAt == std::string::npos)
        return std::nullopt;
    const std::size_t lineEnd = text.find('\n', endAt + 1);
    if (lineEnd == std::string::npos)
        return std::nullopt;
    const std::string_view body(text.data() + pos, endAt + 1 - pos);
    if (text.compare(endAt + 5, lineEnd - endAt - 5, checksumText(body)) != 0)
        return std::nullopt;
    JournalEntry e;
    std::size_t next = lineEnd + 1;
    if (text.compare(next, std::strlen(kAbort), kAbort) == 0) {
        e.aborted = true;
        next += std::strlen(kAbort);
    }

    std::istringstream in{ std::string(body.substr(headerLength)) };
    std::string line;
    bool sawClient = false, sawInvoice = false;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "client") {
            std::string hex;
            if (!(words >> hex >> e.clientRecNo))
                return std::nullopt;
            const auto number = fromHex(hex);
            if (!number)
                return std::nullopt;
            e.clientNumber = *number;
            sawClient = true;
        } else if (word == "invoice") {
            std::string hex;
            if (!(words >> e.invoiceNumber >> e.invoiceRecNo >> hex))
                return std::nullopt;
            const auto image = fromHex(hex);
            if (!image)
                return std::nullopt;
            e.invoiceImage = *image;
            sawInvoice = true;
        } else if (word == "field") {
            JournalField f;
            std::string kind, before, after;
            if (!(words >> kind >> f.table >> f.recNo >> f.field >> before >> after)
                || kind.size() != 1)
                return std::nullopt;
            if (kind[0] != 'S' && kind[0] != 'G' && kind[0] != 'R')
                return std::nullopt;
            f.kind = JournalField::Kind(kind[0]);
            const auto b = fromHex(before), a = fromHex(after);
            if (!b || !a || b->size() != a->size())
                return std::nullopt;
            f.before = *b;
            f.after = *a;
            e.fields.push_back(std::move(f));
        } else {
            return std::nullopt;
        }
    }
    if (!sawClient || !sawInvoice)
        return std::nullopt;
    pos = next;
    return e;
}

} // namespace

std::optional<JournalEntry> parseJournal(const std::string &text)
{
    std::size_t pos = 0;
    auto e = parseBlock(text, pos);
    if (!e || pos != text.size())
        return std::nullopt;
    return e;
}

std::vector<JournalEntry> parseJournals(const std::string &text, bool *cutShort)
{
    std::vector<JournalEntry> entries;
    std::size_t pos = 0;
    bool cut = false;
    while (pos < text.size()) {
        auto e = parseBlock(text, pos);
        if (!e) {
            cut = true;
            break;
        }
        entries.push_back(std::move(*e));
    }
    if (cutShort)
        *cutShort = cut;
    return entries;
}

// --- JournalFile -----------------------------------------------------------------------------

JournalFile::JournalFile(const std::filesystem::path &dataDirectory)
{
    std::random_device device;
    std::mt19937_64 rng((std::uint64_t(device()) << 32) ^ device() ^ std::uint64_t(::getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "TWBILL%08llX",
            static_cast<unsigned long long>(rng() & 0xFFFFFFFFull));
        const std::filesystem::path temp = dataDirectory / (std::string(name) + ".TMP");
        const std::filesystem::path named = dataDirectory / (std::string(name) + ".JNL");
        const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            fail(temp, "cannot create the billing journal");
        }
        if (!lockByteZero(fd)) {
            ::close(fd);
            ::unlink(temp.c_str());
            fail(temp, "cannot lock the billing journal");
        }
        // The final name must not exist yet: rename would replace another copy's journal.
        if (std::filesystem::exists(named)) {
            ::close(fd);
            ::unlink(temp.c_str());
            continue;
        }
        if (::rename(temp.c_str(), named.c_str()) != 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            fail(named, "cannot name the billing journal");
        }
        syncDirectory(dataDirectory);
        m_path = named;
        m_fd = fd;
        return;
    }
    throw dbf::IoError("No free name for the billing journal in " + dataDirectory.string());
}

JournalFile::~JournalFile()
{
    if (m_fd < 0)
        return;
    if (!m_holdsEntry)
        ::unlink(m_path.c_str());
    ::close(m_fd);
}

void JournalFile::append(const JournalEntry &entry)
{
    const std::string text = formatJournal(entry);
    try {
        writeAll(m_fd, text, m_size, m_path);
        if (::fdatasync(m_fd) != 0)
            fail(m_path, "cannot force the journal to disk");
    } catch (...) {
        // Whatever reached the file of this entry goes again: it was never applied.
        if (::ftruncate(m_fd, off_t(m_size)) == 0)
            ::fdatasync(m_fd);
        throw;
    }
    m_size += text.size();
    m_holdsEntry = true;
}

void JournalFile::markAborted()
{
    writeAll(m_fd, kAbort, m_size, m_path);
    if (::fdatasync(m_fd) != 0)
        fail(m_path, "cannot force the journal to disk");
    m_size += std::strlen(kAbort);
}

void JournalFile::retire()
{
    if (::ftruncate(m_fd, 0) != 0)
        fail(m_path, "cannot empty the journal");
    m_size = 0;
    m_holdsEntry = false;
}

bool JournalFile::isJournalName(const std::string &fileName)
{
    if (fileName.size() != 18 || fileName.compare(0, 6, "TWBILL") != 0
        || fileName.compare(14, 4, ".JNL") != 0)
        return false;
    for (std::size_t i = 6; i < 14; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(fileName[i])))
            return false;
    return true;
}

// --- ForeignJournal --------------------------------------------------------------------------

ForeignJournal::ForeignJournal(const std::filesystem::path &path)
    : m_path(path)
    , m_fd(::open(path.c_str(), O_RDWR | O_CLOEXEC))
{
}

ForeignJournal::~ForeignJournal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ForeignJournal::lock()
{
    if (m_fd < 0 || !lockByteZero(m_fd))
        return false;
    // The owner may have removed it just before letting go: then there is nothing to recover.
    struct stat st
    {
    };
    return ::fstat(m_fd, &st) == 0 && st.st_nlink > 0;
}

std::string ForeignJournal::read() const
{
    std::string text;
    char buf[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(m_fd, buf, sizeof buf, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(m_path, "cannot read the journal");
        }
        if (n == 0)
            break;
        text.append(buf, std::size_t(n));
        offset += n;
    }
    return text;
}

void ForeignJournal::remove()
{
    ::unlink(m_path.c_str());
}

} // namespace billing
