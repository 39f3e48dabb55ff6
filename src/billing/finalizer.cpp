// Finalization of a billing run and recovery of the postings of copies that died mid-client.
// The order of work and the journal are described in billing_rules.h and docs/billing.md.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "billing/billing_journal.h"
#include "billing/billing_rules.h"
#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/field_codec.h"
#include "dbf/table.h"
#include "platform/clock.h"

namespace billing {

namespace {

namespace fs = std::filesystem;
using dbf::RecNo;
using Image = std::vector<std::uint8_t>;

// The counter record is held only from a copy's read to its post: about two seconds of retries.
constexpr int kCounterAttempts = 100;
constexpr auto kCounterPause = std::chrono::milliseconds(20);
constexpr RecNo kCounterRecord = 1;
// Clients posted before their tables are flushed and the journal retired together: a flush
// forces each file to disk, and one flush for many clients keeps finalization fast. Their rows
// stay locked until then.
constexpr int kBatchClients = 32;
constexpr std::size_t kBatchSlips = 2000;
constexpr std::uint8_t kDeletedMark = '*';

const char *const kClients = "TWCLIENT";
const char *const kSlips = "TWSLIP";
const char *const kProjects = "TWPROJCT";
const char *const kInvoices = "TWINVOIC";
const char *const kTrack = "TWTRACK";

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

dbf::Date toDbfDate(const QDate &d)
{
    return d.isValid() ? dbf::Date(d.year(), d.month(), d.day()) : dbf::Date();
}

// The stored bytes of a value for a field; throws dbf::Error when it does not fit.
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

// The tables a posting or a recovery writes, each opened shared through a handle of its own.
class PostingTables
{
public:
    explicit PostingTables(const fs::path &dir)
    {
        for (const char *name : { kClients, kSlips, kProjects, kInvoices, kTrack })
            m_tables[name] = dbf::Table::open(dir, name, dbf::OpenMode::Shared);
    }
    dbf::Table &operator[](const std::string &name)
    {
        const auto it = m_tables.find(name);
        if (it == m_tables.end())
            throw dbf::Error("The billing journal names an unknown table " + name + ".");
        return *it->second;
    }
    void flush()
    {
        for (auto &[name, t] : m_tables)
            t->flush();
    }

private:
    std::map<std::string, std::unique_ptr<dbf::Table>> m_tables;
};

Image readImage(dbf::Table &t, RecNo recNo)
{
    Image image(t.layout().recordLength());
    if (!t.readRecord(recNo, image.data()))
        throw dbf::Error(t.name() + ": record " + std::to_string(recNo) + " is missing.");
    return image;
}

// Takes the counter record, retrying while another copy holds it for a moment.
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

// Which way a journal is applied: forward writes `after` where a field holds `before` (a Raise
// makes the counter at least `after`); back writes `before` where it holds `after` (a Raise is
// never lowered). Fields holding anything else are left as they are. Returns whether the record
// was written.
enum class Direction { Forward, Back };

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

// The journal's fields grouped by record, in journal order.
struct RecordFields
{
    std::string table;
    RecNo recNo = 0;
    std::vector<const JournalField *> fields;
};

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

// Where the invoice row of an entry stands on file.
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

void deleteRecord(dbf::Table &t, RecNo recNo)
{
    const Image old = readImage(t, recNo);
    if (old[0] == kDeletedMark)
        return;
    Image deleted = old;
    deleted[0] = kDeletedMark;
    t.writeRecord(recNo, old.data(), deleted.data());
}

enum class Recovered { Busy, Forward, Back, Discarded };

// Completes or undoes one dead copy's posting, under the locks of every row it names.
Recovered recoverEntry(PostingTables &tables, const JournalEntry &e)
{
    std::vector<dbf::RecordLock> locks;
    try {
        dbf::Table &clients = tables[kClients];
        if (e.clientRecNo != 0 && clients.hasRecord(e.clientRecNo))
            locks.push_back(clients.lockRecord(e.clientRecNo));
        locks.push_back(lockCounter(tables[kTrack]));
        std::set<std::pair<std::string, RecNo>> seen{ { kClients, e.clientRecNo },
            { kTrack, kCounterRecord } };
        for (const JournalField &f : e.fields)
            if (seen.insert({ f.table, f.recNo }).second)
                locks.push_back(tables[f.table].lockRecord(f.recNo));
    } catch (const dbf::RecordLocked &) {
        return Recovered::Busy;
    }

    dbf::Table &invoices = tables[kInvoices];
    const InvoiceOnFile invoice = findInvoice(invoices, e);
    const std::vector<RecordFields> records = byRecord(e);
    Recovered outcome;
    if (e.aborted) {
        for (auto it = records.rbegin(); it != records.rend(); ++it)
            applyRecord(tables[it->table], it->recNo, it->fields, Direction::Back);
        if (invoice.recNo != 0 && !invoice.deleted) {
            dbf::RecordLock lock = invoices.lockRecord(invoice.recNo);
            const Image now = readImage(invoices, invoice.recNo);
            if (std::equal(now.begin() + 1, now.end(), e.invoiceImage.begin() + 1))
                deleteRecord(invoices, invoice.recNo);
        }
        outcome = Recovered::Back;
    } else if (invoice.deleted) {
        // The statement was deleted after the copy died: nothing of it may come back.
        outcome = Recovered::Discarded;
    } else {
        bool untouched = true; // every field still as it was before the posting
        if (invoice.recNo == 0) {
            for (const RecordFields &r : records) {
                dbf::Table &t = tables[r.table];
                const Image image = readImage(t, r.recNo);
                for (const JournalField *f : r.fields)
                    if (f->kind != JournalField::Kind::Raise
                        && bytesOf(t.layout(), image, fieldIndex(t.layout(), f->field))
                            != f->before)
                        untouched = false;
                if (image[0] == kDeletedMark)
                    untouched = false;
            }
        }
        if (invoice.recNo == 0 && !untouched) {
            // Nothing was applied, and another copy changed the rows since: the printed
            // statement no longer matches them, so it is not posted.
            outcome = Recovered::Discarded;
        } else {
            if (invoice.recNo == 0) {
                Image image(e.invoiceImage.begin(), e.invoiceImage.end());
                invoices.appendRecord(image.data());
            }
            for (const RecordFields &r : records)
                applyRecord(tables[r.table], r.recNo, r.fields, Direction::Forward);
            outcome = Recovered::Forward;
        }
    }
    tables.flush();
    return outcome;
}

// The posting of one client, with its locks and journal. Throws EngineStop after rolling back
// when a table write fails.
struct EngineStop
{
    std::string message;
};

struct Outcome
{
    bool posted = false;
    QString reason; // why the client was not posted
    QStringList notes; // lines listed for a posted client (missing projects)
};

class Posting
{
public:
    Posting(const fs::path &dir, const platform::Clock &clock, const std::function<void()> &hook)
        : m_tables(dir)
        , m_journal(dir)
        , m_clock(clock)
        , m_hook(hook)
        , m_clientCursor(m_tables[kClients])
        , m_slipCursor(m_tables[kSlips])
        , m_projectCursor(m_tables[kProjects])
        , m_invoiceCursor(m_tables[kInvoices])
    {
        m_clientCursor.setTag("NUMBER");
        m_slipCursor.setTag("SL_CLIENT");
        m_projectCursor.setTag("CLIENT_COD");
        m_invoiceCursor.setTag("INV_NUMBER");
    }

    Outcome post(const PrintedStatement &statement, const RunParameters &parameters);
    // Flushes the tables of the clients posted since the last commit, retires the journal and
    // releases their locks.
    void commit();
    void raiseCounterAbove(std::int64_t highest);

private:
    struct SlipFields
    {
        std::size_t client, billed, done, date, total, tax, taxable, project, hours, invoice,
            number;
    };
    void wrote()
    {
        if (m_hook)
            m_hook();
    }
    std::int64_t highestOnFile();
    void rollBack(
        RecNo appended, std::size_t recordsWritten, const std::vector<RecordFields> &records);

    PostingTables m_tables;
    JournalFile m_journal;
    const platform::Clock &m_clock;
    const std::function<void()> &m_hook;
    dbf::Cursor m_clientCursor;
    dbf::Cursor m_slipCursor;
    dbf::Cursor m_projectCursor;
    dbf::Cursor m_invoiceCursor;
    std::vector<dbf::RecordLock> m_held; // rows of the clients posted since the last commit
    int m_pendingClients = 0;
    std::size_t m_pendingSlips = 0;
};

void Posting::commit()
{
    if (m_pendingClients == 0)
        return;
    m_tables.flush();
    m_journal.retire();
    m_held.clear();
    m_pendingClients = 0;
    m_pendingSlips = 0;
}

std::int64_t Posting::highestOnFile()
{
    if (!m_invoiceCursor.last())
        return 0;
    m_invoiceCursor.reread();
    return m_invoiceCursor.integer("INV_NUMBER");
}

Outcome Posting::post(const PrintedStatement &statement, const RunParameters &parameters)
{
    Outcome out;
    auto refuse = [&](const QString &reason) {
        out.reason = reason;
        return out;
    };
    const std::string clientNumber = statement.clientNumber.toLatin1().toStdString();

    // The client row.
    dbf::Table &clients = m_tables[kClients];
    if (!m_clientCursor.findKey(m_clientCursor.makeKey({ clientNumber })))
        return refuse(QStringLiteral("Client was not found."));
    const RecNo clientRecNo = m_clientCursor.recNo();
    std::vector<dbf::RecordLock> locks;
    try {
        locks.push_back(clients.lockRecord(clientRecNo));
    } catch (const dbf::RecordLocked &) {
        return refuse(QStringLiteral("Record was locked."));
    }
    const Image clientImage = readImage(clients, clientRecNo);
    const dbf::RecordLayout &clientLayout = clients.layout();
    if (clientImage[0] == kDeletedMark
        || textOf(bytesOf(clientLayout, clientImage, fieldIndex(clientLayout, "NUMBER")))
            != clientNumber)
        return refuse(QStringLiteral("Client was not found."));
    const QString terms = QString::fromLatin1(
        textOf(bytesOf(clientLayout, clientImage, fieldIndex(clientLayout, "TERMS"))));

    // Every billable slip now on file, locked and read again under its lock.
    dbf::Table &slips = m_tables[kSlips];
    const dbf::RecordLayout &sl = slips.layout();
    const SlipFields sf{ fieldIndex(sl, "SL_CLIENT"), fieldIndex(sl, "SL_BILLED"),
        fieldIndex(sl, "SL_DONE"), fieldIndex(sl, "SL_DATEBEG"), fieldIndex(sl, "SL_TOTAL"),
        fieldIndex(sl, "SL_TAXAMT"), fieldIndex(sl, "SL_TAXABLE"), fieldIndex(sl, "SL_PROJECT"),
        fieldIndex(sl, "SL_HOURS"), fieldIndex(sl, "SL_INVOICE"), fieldIndex(sl, "SL_NUMBER") };
    const dbf::Date from = toDbfDate(parameters.dateFrom), to = toDbfDate(parameters.dateTo);
    auto billable = [&](const Image &image) {
        if (image[0] == kDeletedMark || textOf(bytesOf(sl, image, sf.client)) != clientNumber)
            return false;
        if (numberOf(bytesOf(sl, image, sf.billed)) != 0
            || numberOf(bytesOf(sl, image, sf.done)) != 1)
            return false;
        const dbf::Date d = dateOf(bytesOf(sl, image, sf.date));
        return !d.isNull() && d >= from && d <= to;
    };
    std::vector<RecNo> found;
    const std::string slipKey = m_slipCursor.makeKey({ clientNumber });
    m_slipCursor.setRange(slipKey, slipKey);
    for (bool more = !m_slipCursor.isEmpty(); more; more = m_slipCursor.next()) {
        const Image image(m_slipCursor.image(), m_slipCursor.image() + sl.recordLength());
        if (billable(image))
            found.push_back(m_slipCursor.recNo());
    }
    m_slipCursor.cancelRange();

    std::map<RecNo, const PrintedSlip *> printed;
    for (const PrintedSlip &s : statement.slips)
        printed[s.recNo] = &s;
    const QString changed =
        QStringLiteral("Its time slips changed after the statement was printed.");
    if (found.size() != printed.size())
        return refuse(changed);
    std::vector<Image> slipImages;
    slipImages.reserve(found.size());
    for (RecNo recNo : found) {
        const auto p = printed.find(recNo);
        if (p == printed.end())
            return refuse(changed);
        try {
            locks.push_back(slips.lockRecord(recNo));
        } catch (const dbf::RecordLocked &) {
            return refuse(
                QStringLiteral("Time slip %1 was locked.").arg(p->second->number, 0, 'f', 0));
        }
        Image image = readImage(slips, recNo);
        if (!billable(image)
            || Cents::fromDouble(numberOf(bytesOf(sl, image, sf.total))) != p->second->total
            || Cents::fromDouble(numberOf(bytesOf(sl, image, sf.tax))) != p->second->taxAmount
            || (textOf(bytesOf(sl, image, sf.taxable)) == "Y") != p->second->taxable)
            return refuse(changed);
        slipImages.push_back(std::move(image));
    }

    // The projects the slips name, in slip order: hours, charges (total plus tax, taxable or
    // not) and the first slip's date for an empty start date.
    struct ProjectSum
    {
        std::string code;
        RecNo recNo = 0; // 0: missing
        std::int64_t tenThousandthHours = 0;
        Cents charges;
        dbf::Date firstDate;
    };
    std::vector<ProjectSum> projects;
    Cents subtotal, tax;
    for (const Image &image : slipImages) {
        const Cents total = Cents::fromDouble(numberOf(bytesOf(sl, image, sf.total)));
        const Cents slipTax = Cents::fromDouble(numberOf(bytesOf(sl, image, sf.tax)));
        subtotal += total;
        if (textOf(bytesOf(sl, image, sf.taxable)) == "Y")
            tax += slipTax;
        const std::string code = textOf(bytesOf(sl, image, sf.project));
        if (dbf::codec::trim(code).empty())
            continue;
        auto it = std::find_if(
            projects.begin(), projects.end(), [&](const ProjectSum &p) { return p.code == code; });
        if (it == projects.end()) {
            projects.push_back({ code, 0, 0, {}, dateOf(bytesOf(sl, image, sf.date)) });
            it = projects.end() - 1;
        }
        it->tenThousandthHours += std::llround(numberOf(bytesOf(sl, image, sf.hours)) * 10000);
        it->charges += total + slipTax;
    }
    dbf::Table &projectTable = m_tables[kProjects];
    for (ProjectSum &p : projects) {
        if (!m_projectCursor.findKey(m_projectCursor.makeKey({ clientNumber, p.code })))
            continue;
        p.recNo = m_projectCursor.recNo();
        try {
            locks.push_back(projectTable.lockRecord(p.recNo));
        } catch (const dbf::RecordLocked &) {
            return refuse(QStringLiteral("Project %1 was locked.")
                              .arg(QString::fromLatin1(dbf::codec::trim(p.code))));
        }
    }

    // The counter, held around the number check and the invoice append.
    dbf::Table &track = m_tables[kTrack];
    dbf::RecordLock counterLock;
    try {
        counterLock = lockCounter(track);
    } catch (const dbf::RecordLocked &) {
        return refuse(QStringLiteral("The statement counter was locked."));
    }
    const std::int64_t number = statement.invoiceNumber;
    if (m_invoiceCursor.findKey(m_invoiceCursor.makeKey({ std::to_string(number) })))
        return refuse(QStringLiteral("Statement number %1 is already on file.").arg(number));

    // The journal entry: every change, computed before anything is written.
    JournalEntry entry;
    entry.clientNumber =
        std::string(bytesOf(clientLayout, clientImage, fieldIndex(clientLayout, "NUMBER")));
    entry.clientRecNo = clientRecNo;
    entry.invoiceNumber = number;
    dbf::Table &invoices = m_tables[kInvoices];
    entry.invoiceRecNo = RecNo(invoices.recordCount() + 1);
    const std::chrono::year_month_day ymd = m_clock.today();
    const dbf::Date today(int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())));
    {
        const dbf::RecordLayout &il = invoices.layout();
        Image inv(il.recordLength(), ' ');
        const dbf::Date due = today.addDays(dueDays(terms));
        auto set = [&](const char *name, const std::string &bytes) {
            putBytes(il, inv, fieldIndex(il, name), bytes);
        };
        set("INV_NUMBER", numberBytes(il.field(fieldIndex(il, "INV_NUMBER")), double(number)));
        set("INV_CLIENT", textBytes(il.field(fieldIndex(il, "INV_CLIENT")), clientNumber));
        set("INV_DATE", dateBytes(il.field(fieldIndex(il, "INV_DATE")), today));
        set("INV_DUE", dateBytes(il.field(fieldIndex(il, "INV_DUE")), due));
        set("INV_TOTAL",
            numberBytes(il.field(fieldIndex(il, "INV_TOTAL")), (subtotal + tax).toDouble()));
        set("INV_TAXAMT", numberBytes(il.field(fieldIndex(il, "INV_TAXAMT")), tax.toDouble()));
        set("INV_PAID", numberBytes(il.field(fieldIndex(il, "INV_PAID")), 0));
        entry.invoiceImage.assign(inv.begin(), inv.end());
    }
    {
        const dbf::RecordLayout &tl = track.layout();
        const std::size_t f = fieldIndex(tl, "NEXTINV");
        const Image image = readImage(track, kCounterRecord);
        const std::string before(bytesOf(tl, image, f));
        const double next = std::max({ numberOf(before), double(number) + 1,
            double(std::max(highestOnFile(), number)) + 1 });
        entry.fields.push_back({ JournalField::Kind::Raise, kTrack, kCounterRecord, "NEXTINV",
            before, numberBytes(tl.field(f), next) });
    }
    const std::string invoiceBytes = numberBytes(sl.field(sf.invoice), double(number));
    const std::string billedBytes = numberBytes(sl.field(sf.billed), 1);
    for (std::size_t i = 0; i < found.size(); ++i) {
        const Image &image = slipImages[i];
        auto field = [&](JournalField::Kind kind, std::size_t f, const std::string &after) {
            const std::string before(bytesOf(sl, image, f));
            entry.fields.push_back({ kind, kSlips, found[i], sl.field(f).name, before,
                kind == JournalField::Kind::Guard ? before : after });
        };
        field(JournalField::Kind::Set, sf.billed, billedBytes);
        field(JournalField::Kind::Set, sf.invoice, invoiceBytes);
        for (std::size_t g : { sf.client, sf.done, sf.date, sf.total, sf.tax, sf.taxable })
            field(JournalField::Kind::Guard, g, {});
    }
    const dbf::RecordLayout &pl = projectTable.layout();
    const std::size_t pjStart = fieldIndex(pl, "PJ_STARTDT"),
                      pjHours = fieldIndex(pl, "PJ_TOTHOUR"),
                      pjCharges = fieldIndex(pl, "PJ_TOTCHG");
    for (const ProjectSum &p : projects) {
        if (p.recNo == 0) {
            out.notes << QStringLiteral(
                "Project file not updated for client %1.  Project %2 missing.")
                             .arg(statement.clientName,
                                 QString::fromLatin1(dbf::codec::trim(p.code)));
            continue;
        }
        const Image image = readImage(projectTable, p.recNo);
        const std::string startBefore(bytesOf(pl, image, pjStart));
        if (dateOf(startBefore).isNull()) {
            const dbf::Date start = p.firstDate.isNull() ? today : p.firstDate;
            entry.fields.push_back({ JournalField::Kind::Set, kProjects, p.recNo, "PJ_STARTDT",
                startBefore, dateBytes(pl.field(pjStart), start) });
        }
        for (const char *guard : { "PJ_CLIENT", "PJ_CODE" }) {
            const std::string bytes(bytesOf(pl, image, fieldIndex(pl, guard)));
            entry.fields.push_back(
                { JournalField::Kind::Guard, kProjects, p.recNo, guard, bytes, bytes });
        }
        const std::string hoursBefore(bytesOf(pl, image, pjHours));
        const double hoursAfter =
            (std::llround(numberOf(hoursBefore) * 10000) + p.tenThousandthHours) / 10000.0;
        entry.fields.push_back({ JournalField::Kind::Set, kProjects, p.recNo, "PJ_TOTHOUR",
            hoursBefore, numberBytes(pl.field(pjHours), hoursAfter) });
        const std::string chargesBefore(bytesOf(pl, image, pjCharges));
        const Cents chargesAfter = Cents::fromDouble(numberOf(chargesBefore)) + p.charges;
        entry.fields.push_back({ JournalField::Kind::Set, kProjects, p.recNo, "PJ_TOTCHG",
            chargesBefore, numberBytes(pl.field(pjCharges), chargesAfter.toDouble()) });
    }

    // Journal first, then the tables. A block that could not be written whole is taken off
    // again, so that no recovery posts what the user was told failed.
    m_journal.append(entry);
    const std::vector<RecordFields> records = byRecord(entry);
    RecNo appended = 0;
    std::size_t recordsWritten = 0;
    try {
        Image inv(entry.invoiceImage.begin(), entry.invoiceImage.end());
        appended = invoices.appendRecord(inv.data());
        wrote();
        for (const RecordFields &r : records) {
            applyRecord(m_tables[r.table], r.recNo, r.fields, Direction::Forward);
            ++recordsWritten;
            if (r.table == kTrack)
                counterLock.release();
            wrote();
        }
    } catch (const std::exception &e) {
        const std::string message = e.what();
        rollBack(appended, recordsWritten, records);
        throw EngineStop{ message };
    }
    for (dbf::RecordLock &lock : locks)
        m_held.push_back(std::move(lock));
    ++m_pendingClients;
    m_pendingSlips += found.size();
    if (m_pendingClients >= kBatchClients || m_pendingSlips >= kBatchSlips) {
        try {
            commit();
        } catch (const std::exception &e) {
            throw EngineStop{ e.what() };
        }
    }
    out.posted = true;
    return out;
}

void Posting::rollBack(
    RecNo appended, std::size_t recordsWritten, const std::vector<RecordFields> &records)
{
    // An undo that fails itself leaves the journal, marked, for recovery to finish.
    try {
        m_journal.markAborted();
        for (std::size_t i = std::min(recordsWritten + 1, records.size()); i-- > 0;)
            applyRecord(
                m_tables[records[i].table], records[i].recNo, records[i].fields, Direction::Back);
        if (appended != 0) {
            dbf::Table &invoices = m_tables[kInvoices];
            dbf::RecordLock lock = invoices.lockRecord(appended);
            deleteRecord(invoices, appended);
        }
        m_tables.flush();
        m_journal.retire();
        m_held.clear();
        m_pendingClients = 0;
        m_pendingSlips = 0;
    } catch (...) {
    }
}

void Posting::raiseCounterAbove(std::int64_t highest)
{
    dbf::Table &track = m_tables[kTrack];
    dbf::RecordLock lock = lockCounter(track);
    const dbf::RecordLayout &tl = track.layout();
    const std::size_t f = fieldIndex(tl, "NEXTINV");
    const Image old = readImage(track, kCounterRecord);
    if (numberOf(bytesOf(tl, old, f)) > double(highest))
        return;
    Image image = old;
    putBytes(tl, image, f, numberBytes(tl.field(f), double(highest) + 1));
    track.writeRecord(kCounterRecord, old.data(), image.data());
    track.flush();
}

} // namespace

Finalizer::Finalizer(std::string dataDirectory, const platform::Clock &clock)
    : m_dataDirectory(std::move(dataDirectory))
    , m_clock(clock)
{
}

Finalizer::~Finalizer() = default;

FinalizeResult Finalizer::run(const BillingPlan &plan)
{
    FinalizeResult result;
    std::unique_ptr<Posting> posting;
    try {
        recoverJournals(m_dataDirectory);
        posting = std::make_unique<Posting>(m_dataDirectory, m_clock, AfterWrite);
        for (const PrintedStatement &statement : plan.statements) {
            if (OnClient)
                OnClient(statement);
            recoverJournals(m_dataDirectory);
            const Outcome outcome = posting->post(statement, plan.parameters);
            if (outcome.posted) {
                ++result.posted;
                result.errorLines << outcome.notes;
            } else {
                result.errorLines << QStringLiteral("Bill not finalized for %1.  %2")
                                         .arg(statement.clientName, outcome.reason);
            }
        }
        posting->commit();
        if (plan.highestNumber() > 0)
            posting->raiseCounterAbove(plan.highestNumber());
    } catch (const EngineStop &stop) {
        result.engineMessage = QString::fromLocal8Bit(stop.message.c_str());
    } catch (const std::exception &e) {
        // Failed before writing anything for its client: the clients posted before it are made
        // durable (if that fails too, their journal stays for recovery).
        result.engineMessage = QString::fromLocal8Bit(e.what());
        try {
            if (posting)
                posting->commit();
        } catch (...) {
        }
    }
    return result;
}

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
