#pragma once
// Deleting a statement: its payments are removed, its slips become unbilled again and leave
// their projects' totals, and the TWINVOIC row is deleted; whole or not at all. No widgets here;
// the main window asks the question and shows the messages.
//
// Order: recover dead copies' journals; lock the client row, the statement row, its payments
// (PMT_INVOIC = number and PMT_CLIENT = client), its slips (SL_INVOICE = number and SL_CLIENT =
// client) and the projects they name (CLIENT_COD); a row held by another copy stops here with
// nothing changed. Then write the journal (docs/billing.md), delete the statement row (the first
// write), delete the payments, unbill the slips, take the projects' totals back (exactly what
// finalization added, through the same function), flush, empty the journal. A table write that
// fails puts everything back. The statement's number is never given back to TWTRACK.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace billing {

struct DeletionResult
{
    enum class Status {
        Deleted,
        ClientLocked, // the client row is held by another copy; nothing changed
        RowLocked, // the statement, a payment, slip or project is held; nothing changed
        NotFound, // the statement is not on file for the client
        EngineError, // a table write failed; everything was put back (or is left to recovery)
    };
    Status status = Status::NotFound;
    std::string message; // the engine's message for RowLocked and EngineError
    int payments = 0; // payments removed
    int slips = 0; // slips unbilled
};

class InvoiceDeletion
{
public:
    explicit InvoiceDeletion(std::filesystem::path dataDirectory);

    DeletionResult run(const std::string &clientNumber, std::int64_t invoiceNumber);

    // Test hooks: after every lock is taken (a race test holds them a moment), and after each
    // table write (crash tests slow the writes so that kills land among them; a throw from it
    // stands for an engine error).
    std::function<void()> AfterLocks;
    std::function<void()> AfterWrite;

private:
    std::filesystem::path m_dataDirectory;
};

} // namespace billing
