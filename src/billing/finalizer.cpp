// Finalization of a billing run. The order of work and the journal are described in
// billing_rules.h and docs/billing.md; recovery is in billing_journal.cpp.
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
using namespace posting;

// Clients posted before their tables are flushed and the journal retired together: a flush
// forces each file to disk, and one flush for many clients keeps finalization fast. Their rows
// stay locked until then.
constexpr int kBatchClients = 32;
constexpr std::size_t kBatchSlips = 2000;

const char *const kClients = "TWCLIENT";
const char *const kSlips = "TWSLIP";
const char *const kProjects = "TWPROJCT";
const char *const kInvoices = "TWINVOIC";
const char *const kTrack = "TWTRACK";

dbf::Date toDbfDate(const QDate &d)
{
    return d.isValid() ? dbf::Date(d.year(), d.month(), d.day()) : dbf::Date();
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
        ProjectShare share;
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
            projects.push_back({ code, 0, {}, dateOf(bytesOf(sl, image, sf.date)) });
            it = projects.end() - 1;
        }
        it->share.addSlip(numberOf(bytesOf(sl, image, sf.hours)), total, slipTax);
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
    const std::size_t pjStart = fieldIndex(pl, "PJ_STARTDT");
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
        addProjectTotals(entry, pl, p.recNo, image, p.share, +1);
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

} // namespace billing
