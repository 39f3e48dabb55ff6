#pragma once
// Receivables aging: the one rule behind the main window's "Receivables Aging:" boxes and the
// receivables reports, so that the two can never disagree. No widgets here.
//
// A statement has a balance when INV_PAID differs from INV_TOTAL (compared in cents); the
// balance is INV_TOTAL - INV_PAID and may be negative (overpaid). It is aged by its due date
// against the day of the run, in whole days, with strict tests:
//   today - 60 > INV_DUE  -> Over 60
//   today - 30 > INV_DUE  -> Over 30
//   otherwise             -> Current (not yet due, or at most 30 days past due)
// A statement without a due date is Current.
#include <QDate>
#include <QString>

#include "platform/money.h"

namespace ui {
class DataCursor;
class Dataset;
} // namespace ui

namespace billing {

using platform::Cents;

enum class AgingBucket { Current, Over30, Over60 };

AgingBucket agingBucket(const QDate &due, const QDate &today);

// One statement's balance, or a sum of them, split into the three buckets.
struct Aging
{
    Cents current;
    Cents over30;
    Cents over60;

    Cents total() const { return current + over30 + over60; }
    // Any bucket non-zero.
    bool hasBalance() const { return !current.isZero() || !over30.isZero() || !over60.isZero(); }
    // Any bucket above `limit` in absolute value (the receivables report prints a client's
    // total line only then: limit 0.05).
    bool anyAbove(Cents limit) const;
    Cents bucket(AgingBucket b) const;

    Aging &operator+=(const Aging &other);
    friend bool operator==(const Aging &, const Aging &) = default;
};

// One statement aged: all zero when it has no balance (paid equals total).
Aging ageStatement(Cents total, Cents paid, const QDate &due, const QDate &today);

// The text of an aging or unbilled box: "$" and the amount with two decimals, the minus sign of
// a negative amount right after the "$" ("$0.00", "$1234.50", "$-10.00").
QString agingText(Cents amount);

// What the main window shows for one client.
struct ClientReceivables
{
    Aging aging;
    Cents unbilled; // SL_TOTAL of every slip with SL_BILLED 0, finished or not, dated or not
};

// Reads one client's statements (tag "INV_CLIENT") and slips (tag "SL_CLIENT") through readers
// of their own: the cursors passed in do not move. Either cursor may be null (its part stays 0).
ClientReceivables clientReceivables(const QString &clientNumber, const QDate &today,
    const ui::DataCursor *invoices, const ui::DataCursor *slips);

// The aging of the statements under a cursor standing on one statement's row (fields INV_TOTAL,
// INV_PAID, INV_DUE): for the reports that walk statements themselves.
Aging ageCurrentStatement(const ui::DataCursor &invoices, const QDate &today);

} // namespace billing
