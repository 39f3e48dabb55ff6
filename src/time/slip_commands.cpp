#include "time/slip_commands.h"

#include <exception>

#include "ui/dataset.h"
#include "ui/locate_dialog.h"
#include "ui/messages.h"

namespace timecap {

SlipCommands::SlipCommands(ui::Dataset &clients, ui::Dataset &slips, ui::Messages &messages)
    : m_clients(clients)
    , m_slips(slips)
    , m_messages(messages)
{
}

void SlipCommands::newSlip(const OpenWindow &openWindow)
{
    openWindow(false);
    refreshList();
}

bool SlipCommands::editSlip(const OpenWindow &openWindow)
{
    const QString number = m_clients.text(QStringLiteral("NUMBER"));
    if (number.isEmpty() || m_slips.isEmpty()
        || m_slips.text(QStringLiteral("SL_CLIENT")) != number) {
        m_messages.information(QStringLiteral("There are no time slips for ")
            + m_clients.text(QStringLiteral("NAME")));
        return false;
    }
    try {
        // Taking the client's edit checks that no other user holds the client; the slip window's
        // opening ends it again without change, so it is ended here, before the window opens.
        m_clients.edit();
        m_clients.cancel();
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
        return false;
    }
    try {
        openWindow(true);
    } catch (const std::exception &e) {
        // The slip itself locked by another user: the window did not open.
        m_messages.error(QString::fromLocal8Bit(e.what()));
        refreshList();
        return false;
    }
    refreshList();
    return true;
}

bool SlipCommands::deleteSlip()
{
    const bool hasSlip = !m_slips.isEmpty();
    if (hasSlip && m_slips.value(QStringLiteral("SL_BILLED")).toInt() == 1) {
        m_messages.show(ui::MessageKind::Confirmation,
            QStringLiteral("This slip has been billed and cannot be deleted!"),
            ui::MessageButtons::Ok);
        return false;
    }
    const QVariant slipNumber = hasSlip ? m_slips.value(QStringLiteral("SL_NUMBER")) : QVariant();
    const QString number =
        slipNumber.isNull() ? QString() : QString::number(slipNumber.toDouble(), 'f', 0);
    if (m_messages.confirm(QStringLiteral("Are you sure you want to delete Slip Number ") + number
            + QLatin1Char('?'))
        != ui::MessageAnswer::Yes)
        return false;
    if (!hasSlip)
        return false;
    const ui::Dataset::Bookmark client = m_clients.bookmark();
    try {
        m_slips.remove();
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
        return false;
    }
    if (client.isValid())
        m_clients.gotoBookmark(client);
    refreshList();
    return true;
}

std::unique_ptr<ui::LocateDialog> SlipCommands::makeSearchDialog(QWidget *parent)
{
    return std::make_unique<ui::LocateDialog>(
        &m_slips, m_messages, QStringLiteral("Locate Time Slip"), QString(), parent);
}

void SlipCommands::searchSlips(QWidget *parent)
{
    makeSearchDialog(parent)->exec();
}

void SlipCommands::refreshList()
{
    if (!m_slips.isOpen())
        return;
    const ui::Dataset::Bookmark current = m_slips.bookmark();
    const QString number = m_clients.text(QStringLiteral("NUMBER"));
    m_slips.setRange({ number }, { number });
    if (!current.isValid() || !m_slips.gotoBookmark(current))
        m_slips.last();
}

} // namespace timecap
