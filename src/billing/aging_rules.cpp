#include "billing/aging_rules.h"

#include <cstdlib>
#include <stdexcept>

#include <QVariant>

#include "ui/data_cursor.h"

namespace billing {

namespace {

std::size_t fieldOf(const ui::DataCursor &cursor, const char *name)
{
    const auto index = cursor.layout().indexOf(name);
    if (!index)
        throw std::runtime_error(std::string("the table has no field ") + name);
    return *index;
}

Cents centsAt(const ui::DataCursor &cursor, std::size_t field)
{
    return Cents::fromDouble(cursor.value(field).toDouble());
}

} // namespace

AgingBucket agingBucket(const QDate &due, const QDate &today)
{
    if (!due.isValid())
        return AgingBucket::Current;
    if (today.addDays(-60) > due)
        return AgingBucket::Over60;
    if (today.addDays(-30) > due)
        return AgingBucket::Over30;
    return AgingBucket::Current;
}

bool Aging::anyAbove(Cents limit) const
{
    const auto above = [limit](Cents c) { return std::llabs(c.cents()) > limit.cents(); };
    return above(current) || above(over30) || above(over60);
}

Cents Aging::bucket(AgingBucket b) const
{
    switch (b) {
    case AgingBucket::Over30:
        return over30;
    case AgingBucket::Over60:
        return over60;
    case AgingBucket::Current:
        break;
    }
    return current;
}

Aging &Aging::operator+=(const Aging &other)
{
    current += other.current;
    over30 += other.over30;
    over60 += other.over60;
    return *this;
}

Aging ageStatement(Cents total, Cents paid, const QDate &due, const QDate &today)
{
    Aging aging;
    if (total == paid)
        return aging;
    const Cents balance = total - paid;
    switch (agingBucket(due, today)) {
    case AgingBucket::Current:
        aging.current = balance;
        break;
    case AgingBucket::Over30:
        aging.over30 = balance;
        break;
    case AgingBucket::Over60:
        aging.over60 = balance;
        break;
    }
    return aging;
}

QString agingText(Cents amount)
{
    return QLatin1Char('$') + QString::fromStdString(amount.toPlainString());
}

Aging ageCurrentStatement(const ui::DataCursor &invoices, const QDate &today)
{
    return ageStatement(centsAt(invoices, fieldOf(invoices, "INV_TOTAL")),
        centsAt(invoices, fieldOf(invoices, "INV_PAID")),
        invoices.value(fieldOf(invoices, "INV_DUE")).toDate(), today);
}

ClientReceivables clientReceivables(const QString &clientNumber, const QDate &today,
    const ui::DataCursor *invoices, const ui::DataCursor *slips)
{
    ClientReceivables result;
    const QVariantList key { clientNumber };
    if (invoices) {
        const auto reader = invoices->reader();
        reader->setTag(QStringLiteral("INV_CLIENT"));
        reader->setRange(key, key);
        const std::size_t total = fieldOf(*reader, "INV_TOTAL");
        const std::size_t paid = fieldOf(*reader, "INV_PAID");
        const std::size_t due = fieldOf(*reader, "INV_DUE");
        for (bool on = reader->first(); on; on = reader->next())
            result.aging += ageStatement(centsAt(*reader, total), centsAt(*reader, paid),
                reader->value(due).toDate(), today);
    }
    if (slips) {
        const auto reader = slips->reader();
        reader->setTag(QStringLiteral("SL_CLIENT"));
        reader->setRange(key, key);
        const std::size_t billed = fieldOf(*reader, "SL_BILLED");
        const std::size_t slipTotal = fieldOf(*reader, "SL_TOTAL");
        for (bool on = reader->first(); on; on = reader->next())
            if (reader->value(billed).toDouble() == 0)
                result.unbilled += centsAt(*reader, slipTotal);
    }
    return result;
}

} // namespace billing
