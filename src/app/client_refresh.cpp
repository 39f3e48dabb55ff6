#include "app/client_refresh.h"

#include "app/main_data.h"

namespace app {

ClientRefresh::ClientRefresh(MainData &data)
    : m_data(data)
{
}

void ClientRefresh::run()
{
    ui::Dataset &clients = m_data.clients();
    const QString number = m_data.currentClientNumber();
    if (clients.isOpen())
        m_data.state().rememberedClient = clients.bookmark();

    ui::Dataset &invoices = m_data.dataset(MainData::InvoiceTable);
    ui::Dataset &slips = m_data.dataset(MainData::SlipTable);
    if (invoices.isOpen()) {
        invoices.cancelRange();
        invoices.setTag(QStringLiteral("INV_CLIENT"));
        invoices.setRange({ number }, { number });
        invoices.refresh();
    }
    if (slips.isOpen()) {
        slips.cancelRange();
        slips.setTag(QStringLiteral("SL_CLIENT"));
        slips.setRange({ number }, { number });
        slips.last();
        slips.refresh();
    }
    if (recompute)
        recompute();

    m_refreshedRecNo = clients.isOpen() ? clients.bookmark().recNo : 0;
    m_refreshedNumber = number;
    m_done = true;
    ++m_runs;
}

bool ClientRefresh::follow()
{
    ui::Dataset &clients = m_data.clients();
    const quint32 recNo = clients.isOpen() ? clients.bookmark().recNo : 0;
    if (m_done && recNo == m_refreshedRecNo && m_data.currentClientNumber() == m_refreshedNumber)
        return false;
    run();
    return true;
}

} // namespace app
