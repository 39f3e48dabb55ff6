#pragma once
// Posting a payment against one statement: the TWPMT row and the statement's INV_PAID change
// together or not at all. No widgets here; the "Post Payments" window drives it.
//
// Lifecycle:
//   constructed --(client and statement rows locked, or a throw: nothing held)--> holding
//   holding --post()--> posted (the locks stay until destruction)
//   holding --destruction (Cancel, Esc, the close box)--> every lock released, nothing written
//
// post() writes through a journal (docs/billing.md): the block is forced to disk, the payment
// row appended (under the counter lock, so the journal knows its record), INV_PAID raised, the
// tables flushed, the journal emptied. A table write that fails takes the payment out again.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "dbf/date.h"
#include "platform/money.h"

namespace billing {

// The statement as the "Invoice Status" group shows it.
struct InvoiceStatus
{
    std::int64_t number = 0;
    platform::Cents total;
    platform::Cents paid;
    dbf::Date due;
};

// What the user typed. No amount (an empty box) posts 0 and leaves INV_PAID as it is.
struct PaymentInput
{
    std::string reference; // PMT_CHECK, at most 10 characters
    std::optional<platform::Cents> amount;
    dbf::Date date;
    std::string description; // PMT_DESC, at most 40 characters
};

// The statement is not on file for the client (deleted by another copy meanwhile).
class InvoiceGone : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A post that failed and was undone: what() is the engine's message.
class PaymentFailed : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class PaymentPosting
{
public:
    // Recovers dead copies' journals, opens the tables and locks the client row and then the
    // statement `invoiceNumber` of client `clientNumber`. Throws dbf::RecordLocked (the engine's
    // "Record locked" message) when another copy holds either, InvoiceGone when the statement is
    // not on file for the client, dbf::Error on other engine failures.
    PaymentPosting(const std::filesystem::path &dataDirectory, const std::string &clientNumber,
        std::int64_t invoiceNumber);
    ~PaymentPosting();
    PaymentPosting(const PaymentPosting &) = delete;
    PaymentPosting &operator=(const PaymentPosting &) = delete;

    const InvoiceStatus &invoice() const;
    // Posts the payment once. Throws PaymentFailed when a write failed (the payment and INV_PAID
    // are as before; if even the undo failed, the journal is left for recovery).
    void post(const PaymentInput &input);

    // Test hook: called after each table write of a post (crash tests slow posting with it).
    std::function<void()> AfterWrite;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace billing
