#pragma once

#include <functional>
#include <span>
#include <vector>

#include <QString>

namespace ui {
class Messages;
}

namespace app {

class MainData;

// The options of the main window that run guards before they start, and the guards each runs,
// in order. The menu items, buttons, pop-up items and double-clicks of the main window all
// start an option through MainCommands::start().
enum class Command {
    PrintReports,
    AdministratorSecurity,
    AddClient,
    EditClient,
    DeleteClient,
    ListClients,
    SearchClients,
    NewSlip,
    EditSlip,
    EditStatementSlip,
    DeleteSlip,
    SearchSlips,
    GenerateAutoBillings,
    MaintainAutoBillings,
    BillingStatements,
    ProformaReport,
    PurgeDeletedRecords,
    ReindexDataFiles,
    Activities,
    Staff,
    Projects,
    CompanySetup,
    DeleteInvoice,
    PostPayment,
    CalculateAging,
};

enum class Guard { Rights, PendingEdit, EmptyFile, ReindexQuestion };

struct CommandDef
{
    Command command;
    const char *name; // for messages and tests
    const char *rightsCode; // "" when the option has none
    std::vector<Guard> guards;
};

std::span<const CommandDef> commandDefs();
const CommandDef &commandDef(Command command);

// The guards and the start of every option:
//
//   rights          the MENU row of the option code (tag KEY): none refuses silently; an
//                   access level below MENU_ACCES shows the rights message and refuses
//   pending-edit    remembers ClientTable's position; while the client is being edited or
//                   inserted asks to save first: No refuses (the edit stays open), Yes posts
//                   and runs the client refresh (a refused post shows the engine's message and
//                   refuses)
//   empty-file      no client: the "No Clients on file." message, refused
//   reindex question  Yes, No and Cancel; only Yes goes on
//
// An option that passes its guards runs its handler; options whose window does not exist yet
// have none and do nothing further.
class MainCommands
{
public:
    MainCommands(MainData &data, ui::Messages &messages);

    static const QString &rightsText();
    static const QString &pendingEditText();
    static const QString &emptyFileText();
    static const QString &reindexText();

    // Runs the option's guards and then its handler; returns whether the guards passed.
    bool start(Command command);
    bool runGuard(Guard guard, const CommandDef &def);

    bool rightsCheck(const QString &code);
    bool pendingEditGuard();
    bool emptyFileGuard();

    void setHandler(Command command, std::function<void()> handler);
    // Called after the pending-edit guard posted the client (the client refresh), and when the
    // guard starts asking (the toolbar switches Delete client off).
    std::function<void()> afterGuardPost;
    std::function<void()> guardAsking;

private:
    MainData &m_data;
    ui::Messages &m_messages;
    std::vector<std::function<void()>> m_handlers;
};

} // namespace app
