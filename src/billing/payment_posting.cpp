#include "billing/payment_posting.h"

#include "billing/billing_journal.h"
#include "billing/billing_rules.h"
#include "dbf/cursor.h"
#include "dbf/errors.h"

namespace billing {

using namespace posting;
using dbf::RecNo;

struct PaymentPosting::Impl
{
    explicit Impl(const std::filesystem::path &dir)
        : directory(dir)
        , tables(dir)
    {
    }

    std::filesystem::path directory;
    PostingTables tables;
    std::string clientNumber;
    RecNo clientRecNo = 0;
    RecNo invoiceRecNo = 0;
    InvoiceStatus status;
    std::vector<dbf::RecordLock> locks; // the client row, then the statement row
    bool posted = false;
};

PaymentPosting::PaymentPosting(const std::filesystem::path &dataDirectory,
    const std::string &clientNumber, std::int64_t invoiceNumber)
{
    recoverJournals(dataDirectory.string());
    m = std::make_unique<Impl>(dataDirectory);
    m->clientNumber = clientNumber;

    dbf::Table &clients = m->tables["TWCLIENT"];
    {
        dbf::Cursor c(clients);
        c.setTag("NUMBER");
        if (!c.findKey(c.makeKey({ clientNumber })))
            throw InvoiceGone("The client is not on file.");
        m->clientRecNo = c.recNo();
    }
    m->locks.push_back(clients.lockRecord(m->clientRecNo));

    dbf::Table &invoices = m->tables["TWINVOIC"];
    const dbf::RecordLayout &il = invoices.layout();
    {
        dbf::Cursor c(invoices);
        c.setTag("INV_NUMBER");
        const std::string key = c.makeKey({ std::to_string(invoiceNumber) });
        c.setRange(key, key);
        for (bool more = !c.isEmpty(); more; more = c.next())
            if (c.text("INV_CLIENT") == clientNumber) {
                m->invoiceRecNo = c.recNo();
                break;
            }
    }
    if (m->invoiceRecNo == 0)
        throw InvoiceGone("The statement is not on file.");
    m->locks.push_back(invoices.lockRecord(m->invoiceRecNo));
    // Read again under the lock: another copy may have deleted it in between.
    const Image image = readImage(invoices, m->invoiceRecNo);
    if (image[0] == kDeletedMark
        || textOf(bytesOf(il, image, fieldIndex(il, "INV_CLIENT"))) != clientNumber)
        throw InvoiceGone("The statement is not on file.");
    m->status.number = invoiceNumber;
    m->status.total =
        platform::Cents::fromDouble(numberOf(bytesOf(il, image, fieldIndex(il, "INV_TOTAL"))));
    m->status.paid =
        platform::Cents::fromDouble(numberOf(bytesOf(il, image, fieldIndex(il, "INV_PAID"))));
    m->status.due = dateOf(bytesOf(il, image, fieldIndex(il, "INV_DUE")));
}

PaymentPosting::~PaymentPosting() = default;

const InvoiceStatus &PaymentPosting::invoice() const
{
    return m->status;
}

void PaymentPosting::post(const PaymentInput &input)
{
    if (m->posted)
        throw PaymentFailed("The payment was posted already.");
    dbf::Table &payments = m->tables["TWPMT"];
    dbf::Table &invoices = m->tables["TWINVOIC"];
    const dbf::RecordLayout &pl = payments.layout();
    const dbf::RecordLayout &il = invoices.layout();
    const platform::Cents amount = input.amount.value_or(platform::Cents());

    JournalEntry entry;
    entry.kind = JournalKind::Payment;
    entry.invoiceNumber = m->status.number;
    entry.invoiceRecNo = m->invoiceRecNo;
    entry.clientRecNo = m->clientRecNo;
    {
        const Image client = readImage(m->tables["TWCLIENT"], m->clientRecNo);
        const dbf::RecordLayout &cl = m->tables["TWCLIENT"].layout();
        entry.clientNumber = std::string(bytesOf(cl, client, fieldIndex(cl, "NUMBER")));
    }
    Image row(pl.recordLength(), ' ');
    auto set = [&](const char *name, const std::string &bytes) {
        putBytes(pl, row, fieldIndex(pl, name), bytes);
    };
    auto field = [&](const char *name) -> const dbf::FieldDef & {
        return pl.field(fieldIndex(pl, name));
    };
    set("PMT_INVOIC", numberBytes(field("PMT_INVOIC"), double(m->status.number)));
    set("PMT_CLIENT", textBytes(field("PMT_CLIENT"), m->clientNumber));
    set("PMT_DATE", dateBytes(field("PMT_DATE"), input.date));
    set("PMT_AMOUNT", numberBytes(field("PMT_AMOUNT"), amount.toDouble()));
    set("PMT_CHECK", textBytes(field("PMT_CHECK"), input.reference));
    set("PMT_DESC", textBytes(field("PMT_DESC"), input.description));

    const Image invoice = readImage(invoices, m->invoiceRecNo);
    if (input.amount) {
        const std::size_t paid = fieldIndex(il, "INV_PAID");
        const std::string before(bytesOf(il, invoice, paid));
        const platform::Cents after = platform::Cents::fromDouble(numberOf(before)) + amount;
        entry.fields.push_back({ JournalField::Kind::Set, "TWINVOIC", m->invoiceRecNo,
            "INV_PAID", before, numberBytes(il.field(paid), after.toDouble()) });
        for (const char *guard : { "INV_NUMBER", "INV_CLIENT" }) {
            const std::string bytes(bytesOf(il, invoice, fieldIndex(il, guard)));
            entry.fields.push_back(
                { JournalField::Kind::Guard, "TWINVOIC", m->invoiceRecNo, guard, bytes, bytes });
        }
    }

    auto wrote = [this] {
        if (AfterWrite)
            AfterWrite();
    };
    JournalFile journal(m->directory);
    RecNo appended = 0;
    bool paidWritten = false;
    try {
        // Payments are appended under the counter lock, so the record the journal names is the
        // one the append gets.
        dbf::RecordLock counter = lockCounter(m->tables["TWTRACK"]);
        const RecNo expected = RecNo(payments.recordCount() + 1);
        entry.rows.push_back({ "TWPMT", expected, std::string(row.begin(), row.end()) });
        journal.append(entry);
        appended = payments.appendRecord(row.data());
        counter.release();
        if (appended != expected)
            throw dbf::Error("TWPMT: the payment was appended at an unexpected record.");
        wrote();
        const std::vector<RecordFields> records = byRecord(entry);
        for (const RecordFields &r : records) {
            paidWritten = true;
            applyRecord(m->tables[r.table], r.recNo, r.fields, Direction::Forward);
            wrote();
        }
        m->tables.flush();
        journal.retire();
    } catch (const std::exception &e) {
        const std::string message = e.what();
        if (!journal.holdsEntry())
            throw PaymentFailed(message); // nothing was written
        // Undo: the abort mark first, so that a copy killed while undoing is undone by recovery.
        try {
            journal.markAborted();
            if (paidWritten)
                for (const RecordFields &r : byRecord(entry))
                    applyRecord(m->tables[r.table], r.recNo, r.fields, Direction::Back);
            if (appended != 0) {
                dbf::RecordLock lock = payments.lockRecord(appended);
                deleteRecord(payments, appended);
            }
            m->tables.flush();
            journal.retire();
        } catch (...) {
        }
        throw PaymentFailed(message);
    }
    m->posted = true;
    m->status.paid += amount;
}

} // namespace billing
