#include "billing/invoice_deletion.h"

#include <algorithm>
#include <vector>

#include "billing/billing_journal.h"
#include "billing/billing_rules.h"
#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/field_codec.h"

namespace billing {

using namespace posting;
using dbf::RecNo;

namespace {

// The live records of `table` on tag `tag` (a number) with key `number` whose text field
// `clientField` is `client`.
std::vector<RecNo> recordsOf(dbf::Table &table, const char *tag, std::int64_t number,
    const char *clientField, const std::string &client)
{
    std::vector<RecNo> found;
    dbf::Cursor c(table);
    c.setTag(tag);
    const std::string key = c.makeKey({ std::to_string(number) });
    c.setRange(key, key);
    for (bool more = !c.isEmpty(); more; more = c.next())
        if (c.text(clientField) == client)
            found.push_back(c.recNo());
    return found;
}

} // namespace

InvoiceDeletion::InvoiceDeletion(std::filesystem::path dataDirectory)
    : m_dataDirectory(std::move(dataDirectory))
{
}

DeletionResult InvoiceDeletion::run(const std::string &clientNumber, std::int64_t invoiceNumber)
{
    DeletionResult result;
    try {
        recoverJournals(m_dataDirectory.string());
        PostingTables tables(m_dataDirectory);
        std::vector<dbf::RecordLock> locks;

        // The client row.
        dbf::Table &clients = tables["TWCLIENT"];
        RecNo clientRecNo = 0;
        {
            dbf::Cursor c(clients);
            c.setTag("NUMBER");
            if (!c.findKey(c.makeKey({ clientNumber })))
                return result;
            clientRecNo = c.recNo();
        }
        try {
            locks.push_back(clients.lockRecord(clientRecNo));
        } catch (const dbf::RecordLocked &e) {
            result.status = DeletionResult::Status::ClientLocked;
            result.message = e.what();
            return result;
        }

        JournalEntry entry;
        entry.kind = JournalKind::Deletion;
        entry.clientRecNo = clientRecNo;
        entry.invoiceNumber = invoiceNumber;
        {
            const Image client = readImage(clients, clientRecNo);
            entry.clientNumber =
                std::string(bytesOf(clients.layout(), client, fieldIndex(clients.layout(), "NUMBER")));
        }

        // Every row the deletion writes, locked and read again under its lock.
        auto lockAndRead = [&](dbf::Table &t, RecNo recNo) {
            locks.push_back(t.lockRecord(recNo));
            return readImage(t, recNo);
        };
        dbf::Table &invoices = tables["TWINVOIC"];
        dbf::Table &payments = tables["TWPMT"];
        dbf::Table &slips = tables["TWSLIP"];
        dbf::Table &projects = tables["TWPROJCT"];
        const dbf::RecordLayout &sl = slips.layout();
        const dbf::RecordLayout &pl = projects.layout();
        struct ProjectBack
        {
            std::string code;
            RecNo recNo = 0;
            ProjectShare share;
        };
        std::vector<ProjectBack> projectShares;
        std::vector<std::pair<RecNo, Image>> slipImages;
        try {
            const std::vector<RecNo> invoiceRows =
                recordsOf(invoices, "INV_NUMBER", invoiceNumber, "INV_CLIENT", clientNumber);
            if (invoiceRows.empty())
                return result;
            entry.invoiceRecNo = invoiceRows.front();
            const Image invoice = lockAndRead(invoices, entry.invoiceRecNo);
            const dbf::RecordLayout &il = invoices.layout();
            if (invoice[0] == kDeletedMark
                || textOf(bytesOf(il, invoice, fieldIndex(il, "INV_CLIENT"))) != clientNumber)
                return result;
            entry.rows.push_back(
                { "TWINVOIC", entry.invoiceRecNo, std::string(invoice.begin(), invoice.end()) });

            const dbf::RecordLayout &ml = payments.layout();
            for (RecNo recNo :
                recordsOf(payments, "PMT_INVOIC", invoiceNumber, "PMT_CLIENT", clientNumber)) {
                const Image image = lockAndRead(payments, recNo);
                if (image[0] == kDeletedMark
                    || numberOf(bytesOf(ml, image, fieldIndex(ml, "PMT_INVOIC")))
                        != double(invoiceNumber)
                    || textOf(bytesOf(ml, image, fieldIndex(ml, "PMT_CLIENT"))) != clientNumber)
                    continue;
                entry.rows.push_back({ "TWPMT", recNo, std::string(image.begin(), image.end()) });
            }

            const std::size_t slClient = fieldIndex(sl, "SL_CLIENT"),
                              slInvoice = fieldIndex(sl, "SL_INVOICE"),
                              slProject = fieldIndex(sl, "SL_PROJECT");
            for (RecNo recNo :
                recordsOf(slips, "SL_INVOICE", invoiceNumber, "SL_CLIENT", clientNumber)) {
                Image image = lockAndRead(slips, recNo);
                if (image[0] == kDeletedMark
                    || numberOf(bytesOf(sl, image, slInvoice)) != double(invoiceNumber)
                    || textOf(bytesOf(sl, image, slClient)) != clientNumber)
                    continue;
                const std::string code = textOf(bytesOf(sl, image, slProject));
                if (!dbf::codec::trim(code).empty()) {
                    auto it = std::find_if(projectShares.begin(), projectShares.end(),
                        [&](const ProjectBack &p) { return p.code == code; });
                    if (it == projectShares.end()) {
                        projectShares.push_back({ code, 0, {} });
                        it = projectShares.end() - 1;
                    }
                    it->share.addSlip(numberOf(bytesOf(sl, image, fieldIndex(sl, "SL_HOURS"))),
                        platform::Cents::fromDouble(
                            numberOf(bytesOf(sl, image, fieldIndex(sl, "SL_TOTAL")))),
                        platform::Cents::fromDouble(
                            numberOf(bytesOf(sl, image, fieldIndex(sl, "SL_TAXAMT")))));
                }
                slipImages.emplace_back(recNo, std::move(image));
            }

            // The projects the slips name; a missing one is passed over.
            dbf::Cursor pc(projects);
            pc.setTag("CLIENT_COD");
            for (ProjectBack &p : projectShares) {
                if (!pc.findKey(pc.makeKey({ clientNumber, p.code })))
                    continue;
                p.recNo = pc.recNo();
            }
            for (ProjectBack &p : projectShares)
                if (p.recNo != 0) {
                    const Image image = lockAndRead(projects, p.recNo);
                    for (const char *guard : { "PJ_CLIENT", "PJ_CODE" }) {
                        const std::string bytes(bytesOf(pl, image, fieldIndex(pl, guard)));
                        entry.fields.push_back({ JournalField::Kind::Guard, "TWPROJCT", p.recNo,
                            guard, bytes, bytes });
                    }
                    addProjectTotals(entry, pl, p.recNo, image, p.share, -1);
                }
        } catch (const dbf::RecordLocked &e) {
            result.status = DeletionResult::Status::RowLocked;
            result.message = e.what();
            return result;
        }

        // The slips: unbilled, keeping their numbers.
        const std::string unbilled = numberBytes(sl.field(fieldIndex(sl, "SL_BILLED")), 0);
        const std::string noInvoice = numberBytes(sl.field(fieldIndex(sl, "SL_INVOICE")), -1);
        for (const auto &[recNo, image] : slipImages) {
            auto add = [&](JournalField::Kind kind, const char *name, const std::string &after) {
                const std::string before(bytesOf(sl, image, fieldIndex(sl, name)));
                entry.fields.push_back({ kind, "TWSLIP", recNo, name, before,
                    kind == JournalField::Kind::Guard ? before : after });
            };
            add(JournalField::Kind::Set, "SL_BILLED", unbilled);
            add(JournalField::Kind::Set, "SL_INVOICE", noInvoice);
            add(JournalField::Kind::Guard, "SL_CLIENT", {});
        }
        if (AfterLocks)
            AfterLocks();

        // Journal first, then the statement row, its payments, the slips and projects.
        JournalFile journal(m_dataDirectory);
        journal.append(entry);
        const std::vector<RecordFields> records = byRecord(entry);
        std::size_t rowsDeleted = 0, recordsWritten = 0;
        auto wrote = [this] {
            if (AfterWrite)
                AfterWrite();
        };
        try {
            for (const JournalRow &row : entry.rows) {
                ++rowsDeleted;
                deleteRecord(tables[row.table], row.recNo);
                wrote();
            }
            for (const RecordFields &r : records) {
                ++recordsWritten;
                applyRecord(tables[r.table], r.recNo, r.fields, Direction::Forward);
                wrote();
            }
            tables.flush();
            journal.retire();
        } catch (const std::exception &e) {
            result.status = DeletionResult::Status::EngineError;
            result.message = e.what();
            // Put back: the abort mark first, so that a copy killed while undoing is undone by
            // recovery; if the undo fails too, the journal is left for it.
            try {
                journal.markAborted();
                for (std::size_t i = recordsWritten; i-- > 0;)
                    applyRecord(tables[records[i].table], records[i].recNo, records[i].fields,
                        Direction::Back);
                for (std::size_t i = rowsDeleted; i-- > 0;)
                    undeleteRecord(
                        tables[entry.rows[i].table], entry.rows[i].recNo, entry.rows[i].image);
                tables.flush();
                journal.retire();
            } catch (...) {
            }
            return result;
        }
        result.status = DeletionResult::Status::Deleted;
        result.payments = int(entry.rows.size()) - 1;
        result.slips = int(slipImages.size());
    } catch (const std::exception &e) {
        // Failed before anything was written.
        result.status = DeletionResult::Status::EngineError;
        result.message = e.what();
    }
    return result;
}

} // namespace billing
