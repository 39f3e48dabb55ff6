#include "app/main_commands.h"

#include <stdexcept>

#include "app/main_data.h"
#include "ui/action.h"
#include "ui/messages.h"

namespace app {

namespace {

using G = Guard;

const std::vector<CommandDef> &defs()
{
    static const std::vector<CommandDef> table = {
        { Command::PrintReports, "Print Reports", "F11", { G::Rights, G::EmptyFile } },
        { Command::AdministratorSecurity, "Administrator Security", "", {} },
        { Command::AddClient, "Add Client", "E11", { G::Rights, G::PendingEdit } },
        { Command::EditClient, "Edit Client", "E12", { G::Rights, G::EmptyFile } },
        { Command::DeleteClient, "Delete Client", "E13",
            { G::Rights, G::PendingEdit, G::EmptyFile } },
        { Command::ListClients, "List Clients", "E21",
            { G::Rights, G::PendingEdit, G::EmptyFile } },
        { Command::SearchClients, "Search Clients", "E22", { G::Rights } },
        { Command::NewSlip, "New Time/Expense", "E23",
            { G::PendingEdit, G::Rights, G::EmptyFile } },
        { Command::EditSlip, "Edit Time/Expense", "E24",
            { G::PendingEdit, G::Rights, G::EmptyFile } },
        { Command::EditStatementSlip, "Edit Statement Slip", "E24",
            { G::PendingEdit, G::Rights, G::EmptyFile } },
        { Command::DeleteSlip, "Delete Time/Expense", "E25", { G::Rights } },
        { Command::SearchSlips, "Search Slips", "E22", { G::Rights } },
        { Command::GenerateAutoBillings, "Generate Auto Billings", "O12",
            { G::Rights, G::PendingEdit } },
        { Command::MaintainAutoBillings, "Maintain Auto Billings", "O22",
            { G::Rights, G::EmptyFile } },
        { Command::BillingStatements, "Billing Statements", "O13",
            { G::Rights, G::PendingEdit, G::EmptyFile } },
        { Command::ProformaReport, "Proforma Billing Report", "O14",
            { G::Rights, G::PendingEdit, G::EmptyFile } },
        { Command::PurgeDeletedRecords, "Purge Deleted Records", "O15",
            { G::Rights, G::PendingEdit } },
        { Command::ReindexDataFiles, "Reindex Data Files", "O21",
            { G::Rights, G::PendingEdit, G::ReindexQuestion } },
        { Command::Activities, "Activities", "V11", { G::Rights } },
        { Command::Staff, "Staff", "V12", { G::Rights } },
        { Command::Projects, "Projects", "V13", { G::Rights, G::PendingEdit } },
        { Command::CompanySetup, "Company Setup", "V14", { G::Rights } },
        { Command::DeleteInvoice, "Delete Invoice", "E31", { G::Rights } },
        { Command::PostPayment, "Post Payment", "", { G::PendingEdit } },
        { Command::CalculateAging, "Calculate Aging", "", {} },
    };
    return table;
}

} // namespace

std::span<const CommandDef> commandDefs()
{
    return defs();
}

const CommandDef &commandDef(Command command)
{
    for (const CommandDef &def : defs())
        if (def.command == command)
            return def;
    throw std::logic_error("unknown command");
}

MainCommands::MainCommands(MainData &data, ui::Messages &messages)
    : m_data(data)
    , m_messages(messages)
    , m_handlers(defs().size())
{
}

const QString &MainCommands::rightsText()
{
    static const QString text = QStringLiteral(
        "The user you are logged in as does not have sufficient rights to access this option.");
    return text;
}

const QString &MainCommands::pendingEditText()
{
    static const QString text =
        QStringLiteral("Changes must be saved or cancelled for this client prior to executing "
                       "this option.  Do you want to save the changes now?");
    return text;
}

const QString &MainCommands::emptyFileText()
{
    static const QString text = QStringLiteral(
        "No Clients on file.  You must add a client prior to choosing this option.  Clients can "
        "be added by selecting the (+) button on the toolbar.");
    return text;
}

const QString &MainCommands::reindexText()
{
    static const QString text = QStringLiteral(
        "This option will repair any damage to the database files that may have been caused by "
        "a system crash, or power outage.  Pressing Yes will repair the files, close the program "
        "and then reload the program.");
    return text;
}

void MainCommands::setHandler(Command command, std::function<void()> handler)
{
    m_handlers[std::size_t(command)] = std::move(handler);
}

bool MainCommands::start(Command command)
{
    const CommandDef &def = commandDef(command);
    for (Guard guard : def.guards)
        if (!runGuard(guard, def))
            return false;
    if (const auto &handler = m_handlers[std::size_t(command)])
        ui::runAction(m_messages, handler);
    return true;
}

bool MainCommands::runGuard(Guard guard, const CommandDef &def)
{
    switch (guard) {
    case Guard::Rights:
        return rightsCheck(QString::fromLatin1(def.rightsCode));
    case Guard::PendingEdit:
        return pendingEditGuard();
    case Guard::EmptyFile:
        return emptyFileGuard();
    case Guard::ReindexQuestion:
        return m_messages.show(
                   ui::MessageKind::Information, reindexText(), ui::MessageButtons::YesNoCancel)
            == ui::MessageAnswer::Yes;
    }
    return false;
}

bool MainCommands::rightsCheck(const QString &code)
{
    ui::Dataset &menu = m_data.dataset(MainData::MenuTable);
    if (!menu.isOpen())
        return false;
    bool found = false;
    if (!ui::runAction(m_messages, [&] {
            menu.setTag(QStringLiteral("KEY"));
            found = menu.findKey({ code });
        }))
        return false;
    if (!found)
        return false;
    const int needed = menu.value(QStringLiteral("MENU_ACCES")).toInt();
    if (needed > m_data.state().accessLevel) {
        m_messages.warning(rightsText());
        return false;
    }
    return true;
}

bool MainCommands::pendingEditGuard()
{
    ui::Dataset &clients = m_data.clients();
    if (!clients.isOpen())
        return true;
    m_data.state().rememberedClient = clients.bookmark();
    if (!clients.isEditing())
        return true;
    if (guardAsking)
        guardAsking();
    if (m_messages.confirm(pendingEditText()) != ui::MessageAnswer::Yes)
        return false;
    if (clients.isEditing() && !ui::runAction(m_messages, [&] { clients.post(); }))
        return false;
    m_data.state().addingClient = false;
    if (afterGuardPost)
        afterGuardPost();
    return true;
}

bool MainCommands::emptyFileGuard()
{
    ui::Dataset &clients = m_data.clients();
    if (clients.isOpen() && !clients.isEmpty())
        return true;
    m_messages.information(emptyFileText());
    return false;
}

} // namespace app
