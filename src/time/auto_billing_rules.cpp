#include "time/auto_billing_rules.h"

#include <cstdio>

#include "ui/action.h"
#include "ui/data_cursor.h"
#include "ui/field_format.h"

namespace timecap {

QString slotField(const char *base, int slot)
{
    return QLatin1String(base) + QString::number(slot);
}

QString summaryHours(double hours)
{
    if (hours == 0)
        return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%8.4g", hours);
    return QString::fromLatin1(buf).trimmed();
}

QString summaryMoney(double amount)
{
    if (amount == 0)
        return {};
    return ui::formatMoney(amount).trimmed();
}

AutoBillingRules::AutoBillingRules(
    ui::Dataset &clients, const ui::Dataset &projects, ui::Messages &messages)
    : m_clients(clients)
    , m_projects(projects)
    , m_messages(messages)
{
}

void AutoBillingRules::chooseSlot(int slot)
{
    if (slot >= 1 && slot <= kSlotCount)
        m_slot = slot;
}

std::array<SlotSummary, kSlotCount> AutoBillingRules::summary() const
{
    std::array<SlotSummary, kSlotCount> rows;
    if (!m_clients.isOpen() || !m_clients.bookmark().isValid())
        return rows;
    for (int n = 1; n <= kSlotCount; ++n) {
        SlotSummary &row = rows[std::size_t(n - 1)];
        const auto text = [&](const char *base) { return m_clients.text(slotField(base, n)).trimmed(); };
        const auto number
            = [&](const char *base) { return m_clients.value(slotField(base, n)).toDouble(); };
        row.activity = text("D_ACT");
        row.hours = summaryHours(number("D_HOURS"));
        row.rate = summaryMoney(number("D_RATE"));
        row.total = summaryMoney(number("D_TOTAL"));
        row.cycle = text("D_CYCLE");
        row.staff = text("D_EMPLOY");
        row.project = text("D_PROJECT");
    }
    return rows;
}

bool AutoBillingRules::chooseClient(const ui::Dataset::Bookmark &client)
{
    if (m_clients.isEditing() && !save())
        return false;
    return ui::runAction(m_messages, [&] { m_clients.gotoBookmark(client); });
}

void AutoBillingRules::rateLeft()
{
    if (!m_clients.isEditing())
        return;
    const double rate = m_clients.value(field("D_RATE")).toDouble();
    const double hours = m_clients.value(field("D_HOURS")).toDouble();
    ui::runAction(m_messages, [&] { m_clients.setValue(field("D_TOTAL"), rate * hours); });
}

bool AutoBillingRules::save()
{
    if (!m_clients.isEditing())
        return true;
    return ui::runAction(m_messages, [this] { m_clients.post(); });
}

void AutoBillingRules::cancel()
{
    if (m_clients.isEditing())
        m_clients.cancel();
}

QStringList AutoBillingRules::projectCodes() const
{
    QStringList codes;
    if (!m_projects.isOpen() || !m_clients.isOpen() || !m_clients.bookmark().isValid())
        return codes;
    const QString client = m_clients.text(QStringLiteral("NUMBER"));
    auto reader = m_projects.cursor()->reader();
    const auto clientField = std::size_t(m_projects.fieldIndex(QStringLiteral("PJ_CLIENT")));
    const auto codeField = std::size_t(m_projects.fieldIndex(QStringLiteral("PJ_CODE")));
    reader->cancelRange();
    reader->setTag(QStringLiteral("Client_Cod"));
    reader->findNearest({ client });
    if (reader->recNo() == 0)
        return codes;
    do {
        if (reader->value(clientField).toString() != client)
            break;
        codes += reader->value(codeField).toString();
    } while (reader->next());
    return codes;
}

} // namespace timecap
