#include "billing/billing_journal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "billing/billing_rules.h"
#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/field_codec.h"
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
    if (e.kind != JournalKind::Finalization)
        out << "kind " << char(e.kind) << '\n';
    out << "client " << toHex(e.clientNumber) << ' ' << e.clientRecNo << '\n';
    out << "invoice " << e.invoiceNumber << ' ' << e.invoiceRecNo << ' ' << toHex(e.invoiceImage)
        << '\n';
    for (const JournalRow &r : e.rows)
        out << "row " << r.table << ' ' << r.recNo << ' ' << toHex(r.image) << '\n';
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
        if (word == "kind") {
            std::string kind;
            if (!(words >> kind) || kind.size() != 1
                || (kind[0] != 'F' && kind[0] != 'P' && kind[0] != 'D'))
                return std::nullopt;
            e.kind = JournalKind(kind[0]);
        } else if (word == "row") {
            JournalRow r;
            std::string hex;
            if (!(words >> r.table >> r.recNo >> hex))
                return std::nullopt;
            const auto image = fromHex(hex);
            if (!image)
                return std::nullopt;
            r.image = *image;
            e.rows.push_back(std::move(r));
        } else if (word == "client") {
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
    if (!sawClient || !sawInvoice || (e.kind != JournalKind::Finalization && e.rows.empty()))
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

// --- Applying entries ------------------------------------------------------------------------

namespace posting {

namespace fs = std::filesystem;
using dbf::RecNo;

namespace {

// The counter record is held only from a copy's read to its post: about two seconds of retries.
constexpr int kCounterAttempts = 100;
constexpr auto kCounterPause = std::chrono::milliseconds(20);

} // namespace

std::size_t fieldIndex(const dbf::RecordLayout &layout, std::string_view name)
{
    const auto i = layout.indexOf(name);
    if (!i)
        throw dbf::Error("The table has no field " + std::string(name) + ".");
    return *i;
}

std::string_view bytesOf(const dbf::RecordLayout &layout, const Image &image, std::size_t field)
{
    return { reinterpret_cast<const char *>(image.data()) + layout.offset(field),
        layout.field(field).width };
}

void putBytes(
    const dbf::RecordLayout &layout, Image &image, std::size_t field, std::string_view bytes)
{
    std::copy(bytes.begin(), bytes.end(), image.begin() + layout.offset(field));
}

double numberOf(std::string_view bytes)
{
    return dbf::codec::parseNumber(bytes).value_or(0);
}

dbf::Date dateOf(std::string_view bytes)
{
    return dbf::Date::fromText(dbf::codec::trim(bytes)).value_or(dbf::Date());
}

std::string textOf(std::string_view bytes)
{
    return std::string(dbf::codec::trimRight(bytes));
}

std::string numberBytes(const dbf::FieldDef &f, double value)
{
    std::string out(f.width, ' ');
    if (!dbf::codec::formatNumber(value, f.decimals, { out.data(), out.size() }))
        throw dbf::Error(
            "The value " + std::to_string(value) + " does not fit in field " + f.name + ".");
    return out;
}

std::string dateBytes(const dbf::FieldDef &f, const dbf::Date &date)
{
    std::string out(f.width, ' ');
    dbf::codec::formatText(date.toText(), { out.data(), out.size() });
    return out;
}

std::string textBytes(const dbf::FieldDef &f, std::string_view text)
{
    std::string out(f.width, ' ');
    dbf::codec::formatText(text, { out.data(), out.size() });
    return out;
}

bool sameRecord(const Image &now, std::string_view image)
{
    return now.size() == image.size() && now.size() > 0
        && std::equal(now.begin() + 1, now.end(), image.begin() + 1,
            [](std::uint8_t a, char b) { return a == std::uint8_t(b); });
}

PostingTables::PostingTables(const fs::path &dir)
{
    for (const char *name : { "TWCLIENT", "TWSLIP", "TWPROJCT", "TWINVOIC", "TWTRACK", "TWPMT" })
        m_tables[name] = dbf::Table::open(dir, name, dbf::OpenMode::Shared);
}

dbf::Table &PostingTables::operator[](const std::string &name)
{
    const auto it = m_tables.find(name);
    if (it == m_tables.end())
        throw dbf::Error("The billing journal names an unknown table " + name + ".");
    return *it->second;
}

void PostingTables::flush()
{
    for (auto &[name, t] : m_tables)
        t->flush();
}

Image readImage(dbf::Table &t, RecNo recNo)
{
    Image image(t.layout().recordLength());
    if (!t.readRecord(recNo, image.data()))
        throw dbf::Error(t.name() + ": record " + std::to_string(recNo) + " is missing.");
    return image;
}

dbf::RecordLock lockCounter(dbf::Table &track)
{
    if (track.recordCount() == 0) {
        Image blank(track.layout().recordLength(), ' ');
        track.appendRecord(blank.data());
    }
    for (int attempt = 1;; ++attempt) {
        try {
            return track.lockRecord(kCounterRecord);
        } catch (const dbf::RecordLocked &) {
            if (attempt >= kCounterAttempts)
                throw;
            std::this_thread::sleep_for(kCounterPause);
        }
    }
}

bool applyRecord(dbf::Table &t, RecNo recNo, const std::vector<const JournalField *> &fields,
    Direction direction)
{
    const dbf::RecordLayout &layout = t.layout();
    const Image old = readImage(t, recNo);
    if (old[0] == kDeletedMark)
        return false;
    // A record whose guarded fields differ is not the one the journal was written for.
    for (const JournalField *f : fields)
        if (f->kind == JournalField::Kind::Guard
            && bytesOf(layout, old, fieldIndex(layout, f->field)) != f->before)
            return false;
    Image image = old;
    bool changed = false;
    for (const JournalField *f : fields) {
        const std::size_t field = fieldIndex(layout, f->field);
        const std::string_view now = bytesOf(layout, image, field);
        if (f->kind == JournalField::Kind::Guard)
            continue;
        if (f->kind == JournalField::Kind::Raise) {
            if (direction == Direction::Forward && numberOf(now) < numberOf(f->after)) {
                putBytes(layout, image, field, f->after);
                changed = true;
            }
            continue;
        }
        const std::string &from = direction == Direction::Forward ? f->before : f->after;
        const std::string &to = direction == Direction::Forward ? f->after : f->before;
        if (now == from && from != to) {
            putBytes(layout, image, field, to);
            changed = true;
        }
    }
    if (changed)
        t.writeRecord(recNo, old.data(), image.data());
    return changed;
}

std::vector<RecordFields> byRecord(const JournalEntry &e)
{
    std::vector<RecordFields> records;
    for (const JournalField &f : e.fields) {
        auto it = std::find_if(records.begin(), records.end(),
            [&](const RecordFields &r) { return r.table == f.table && r.recNo == f.recNo; });
        if (it == records.end()) {
            records.push_back({ f.table, f.recNo, {} });
            it = records.end() - 1;
        }
        it->fields.push_back(&f);
    }
    return records;
}

void deleteRecord(dbf::Table &t, RecNo recNo)
{
    const Image old = readImage(t, recNo);
    if (old[0] == kDeletedMark)
        return;
    Image deleted = old;
    deleted[0] = kDeletedMark;
    t.writeRecord(recNo, old.data(), deleted.data());
}

void undeleteRecord(dbf::Table &t, RecNo recNo, std::string_view image)
{
    const Image old = readImage(t, recNo);
    if (old[0] != kDeletedMark || !sameRecord(old, image))
        return;
    Image live = old;
    live[0] = ' ';
    t.writeRecord(recNo, old.data(), live.data());
}

void ProjectShare::addSlip(double hours, platform::Cents total, platform::Cents taxAmount)
{
    tenThousandthHours += std::llround(hours * 10000);
    charges += total + taxAmount;
}

void addProjectTotals(JournalEntry &entry, const dbf::RecordLayout &layout, RecNo recNo,
    const Image &project, const ProjectShare &share, int sign)
{
    const std::size_t hours = fieldIndex(layout, "PJ_TOTHOUR");
    const std::size_t charges = fieldIndex(layout, "PJ_TOTCHG");
    const std::string hoursBefore(bytesOf(layout, project, hours));
    const double hoursAfter =
        double(std::llround(numberOf(hoursBefore) * 10000) + sign * share.tenThousandthHours)
        / 10000.0;
    entry.fields.push_back({ JournalField::Kind::Set, "TWPROJCT", recNo, "PJ_TOTHOUR",
        hoursBefore, numberBytes(layout.field(hours), hoursAfter) });
    const std::string chargesBefore(bytesOf(layout, project, charges));
    const platform::Cents now = platform::Cents::fromDouble(numberOf(chargesBefore));
    const platform::Cents chargesAfter = sign > 0 ? now + share.charges : now - share.charges;
    entry.fields.push_back({ JournalField::Kind::Set, "TWPROJCT", recNo, "PJ_TOTCHG",
        chargesBefore, numberBytes(layout.field(charges), chargesAfter.toDouble()) });
}

} // namespace posting

// --- Recovery --------------------------------------------------------------------------------

namespace {

using namespace posting;
using dbf::RecNo;

// Where the invoice row of a finalization entry stands on file.
struct InvoiceOnFile
{
    RecNo recNo = 0; // 0: not on file
    bool deleted = false;
};

InvoiceOnFile findInvoice(dbf::Table &invoices, const JournalEntry &e)
{
    const dbf::RecordLayout &layout = invoices.layout();
    const std::size_t number = fieldIndex(layout, "INV_NUMBER");
    const std::size_t client = fieldIndex(layout, "INV_CLIENT");
    const Image wanted(e.invoiceImage.begin(), e.invoiceImage.end());
    if (wanted.size() != layout.recordLength())
        throw dbf::Error("The billing journal does not fit table TWINVOIC.");
    auto same = [&](const Image &image) {
        return bytesOf(layout, image, number) == bytesOf(layout, wanted, number)
            && bytesOf(layout, image, client) == bytesOf(layout, wanted, client);
    };
    if (e.invoiceRecNo != 0 && invoices.hasRecord(e.invoiceRecNo)) {
        const Image image = readImage(invoices, e.invoiceRecNo);
        if (same(image))
            return { e.invoiceRecNo, image[0] == kDeletedMark };
    }
    dbf::Cursor c(invoices);
    c.setTag("INV_NUMBER");
    const std::string key = c.makeKey({ std::to_string(e.invoiceNumber) });
    if (c.findKey(key)) {
        do {
            const Image image(c.image(), c.image() + layout.recordLength());
            if (bytesOf(layout, image, number) != bytesOf(layout, wanted, number))
                break;
            if (same(image))
                return { c.recNo(), false };
        } while (c.next());
    }
    return {};
}

enum class Recovered { Busy, Forward, Back, Discarded };

// A journal row as it stands on file: absent (never appended, or another record there now),
// live, or deleted.
enum class RowState { Absent, Live, Deleted };

RowState rowState(PostingTables &tables, const JournalRow &row)
{
    dbf::Table &t = tables[row.table];
    if (row.recNo == 0 || !t.hasRecord(row.recNo))
        return RowState::Absent;
    const Image now = readImage(t, row.recNo);
    if (!sameRecord(now, row.image))
        return RowState::Absent;
    return now[0] == kDeletedMark ? RowState::Deleted : RowState::Live;
}

void applyFields(PostingTables &tables, const JournalEntry &e, Direction direction)
{
    const std::vector<RecordFields> records = byRecord(e);
    if (direction == Direction::Forward) {
        for (const RecordFields &r : records)
            applyRecord(tables[r.table], r.recNo, r.fields, direction);
    } else {
        for (auto it = records.rbegin(); it != records.rend(); ++it)
            applyRecord(tables[it->table], it->recNo, it->fields, direction);
    }
}

// A finalization: the appended statement tells how far the posting came.
Recovered recoverFinalization(PostingTables &tables, const JournalEntry &e)
{
    dbf::Table &invoices = tables["TWINVOIC"];
    const InvoiceOnFile invoice = findInvoice(invoices, e);
    const std::vector<RecordFields> records = byRecord(e);
    if (e.aborted) {
        applyFields(tables, e, Direction::Back);
        if (invoice.recNo != 0 && !invoice.deleted) {
            dbf::RecordLock lock = invoices.lockRecord(invoice.recNo);
            const Image now = readImage(invoices, invoice.recNo);
            if (sameRecord(now, e.invoiceImage))
                deleteRecord(invoices, invoice.recNo);
        }
        return Recovered::Back;
    }
    if (invoice.deleted) // the statement was deleted after the copy died: nothing may come back
        return Recovered::Discarded;
    if (invoice.recNo == 0) {
        bool untouched = true; // every field still as it was before the posting
        for (const RecordFields &r : records) {
            dbf::Table &t = tables[r.table];
            const Image image = readImage(t, r.recNo);
            for (const JournalField *f : r.fields)
                if (f->kind != JournalField::Kind::Raise
                    && bytesOf(t.layout(), image, fieldIndex(t.layout(), f->field)) != f->before)
                    untouched = false;
            if (image[0] == kDeletedMark)
                untouched = false;
        }
        // Nothing was applied, and another copy changed the rows since: the printed statement
        // no longer matches them, so it is not posted.
        if (!untouched)
            return Recovered::Discarded;
        Image image(e.invoiceImage.begin(), e.invoiceImage.end());
        invoices.appendRecord(image.data());
    }
    applyFields(tables, e, Direction::Forward);
    return Recovered::Forward;
}

// A payment: the payment row is written first, INV_PAID after it. Without the row nothing was
// applied; with it, INV_PAID is brought to include it.
Recovered recoverPayment(PostingTables &tables, const JournalEntry &e)
{
    const JournalRow &payment = e.rows.front();
    const RowState state = rowState(tables, payment);
    if (e.aborted) {
        applyFields(tables, e, Direction::Back);
        if (state == RowState::Live)
            deleteRecord(tables[payment.table], payment.recNo);
        return Recovered::Back;
    }
    if (state != RowState::Live) // never written, or deleted with its statement since
        return Recovered::Discarded;
    applyFields(tables, e, Direction::Forward);
    return Recovered::Forward;
}

// A deletion: the statement row is deleted first. While it is live nothing was applied.
Recovered recoverDeletion(PostingTables &tables, const JournalEntry &e)
{
    if (e.aborted) {
        applyFields(tables, e, Direction::Back);
        for (const JournalRow &row : e.rows)
            undeleteRecord(tables[row.table], row.recNo, row.image);
        return Recovered::Back;
    }
    if (rowState(tables, e.rows.front()) != RowState::Deleted)
        return Recovered::Discarded;
    for (std::size_t i = 1; i < e.rows.size(); ++i)
        if (rowState(tables, e.rows[i]) == RowState::Live)
            deleteRecord(tables[e.rows[i].table], e.rows[i].recNo);
    applyFields(tables, e, Direction::Forward);
    return Recovered::Forward;
}

// Completes or undoes one dead copy's posting, under the locks of every row it names.
Recovered recoverEntry(PostingTables &tables, const JournalEntry &e)
{
    std::vector<dbf::RecordLock> locks;
    try {
        dbf::Table &clients = tables["TWCLIENT"];
        if (e.clientRecNo != 0 && clients.hasRecord(e.clientRecNo))
            locks.push_back(clients.lockRecord(e.clientRecNo));
        locks.push_back(lockCounter(tables["TWTRACK"]));
        std::set<std::pair<std::string, RecNo>> seen{ { "TWCLIENT", e.clientRecNo },
            { "TWTRACK", kCounterRecord } };
        for (const JournalRow &r : e.rows)
            if (tables[r.table].hasRecord(r.recNo) && seen.insert({ r.table, r.recNo }).second)
                locks.push_back(tables[r.table].lockRecord(r.recNo));
        for (const JournalField &f : e.fields)
            if (seen.insert({ f.table, f.recNo }).second)
                locks.push_back(tables[f.table].lockRecord(f.recNo));
    } catch (const dbf::RecordLocked &) {
        return Recovered::Busy;
    }
    Recovered outcome = Recovered::Discarded;
    switch (e.kind) {
    case JournalKind::Finalization:
        outcome = recoverFinalization(tables, e);
        break;
    case JournalKind::Payment:
        outcome = recoverPayment(tables, e);
        break;
    case JournalKind::Deletion:
        outcome = recoverDeletion(tables, e);
        break;
    }
    tables.flush();
    return outcome;
}

} // namespace

RecoveryCount recoverJournals(const std::string &dataDirectory)
{
    RecoveryCount count;
    const fs::path dir(dataDirectory.empty() ? std::string(".") : dataDirectory);
    std::vector<fs::path> candidates;
    std::error_code ec;
    for (const fs::directory_entry &entry : fs::directory_iterator(dir, ec))
        if (JournalFile::isJournalName(entry.path().filename().string()))
            candidates.push_back(entry.path());
    std::unique_ptr<PostingTables> tables;
    for (const fs::path &path : candidates) {
        ForeignJournal journal(path);
        if (!journal.lock())
            continue; // its owner runs
        const std::string text = journal.read();
        if (text.empty()) {
            journal.remove();
            continue;
        }
        bool cutShort = false;
        const std::vector<JournalEntry> entries = parseJournals(text, &cutShort);
        if (!entries.empty() && !tables)
            tables = std::make_unique<PostingTables>(dir);
        bool busy = false;
        for (const JournalEntry &entry : entries) {
            switch (recoverEntry(*tables, entry)) {
            case Recovered::Busy:
                busy = true;
                break;
            case Recovered::Forward:
                ++count.rolledForward;
                break;
            case Recovered::Back:
                ++count.rolledBack;
                break;
            case Recovered::Discarded:
                ++count.discarded;
                break;
            }
            if (busy)
                break; // left for the next time; entries done so far are done again harmlessly
        }
        if (busy)
            continue;
        // A block cut short while it was written: nothing of it was applied.
        if (cutShort)
            ++count.discarded;
        journal.remove();
    }
    return count;
}

} // namespace billing
