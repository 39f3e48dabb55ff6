#pragma once

#include <functional>

#include <QString>

namespace platform {
class Clock;
}
namespace ui {
class Dataset;
class Messages;
} // namespace ui

namespace reference {

// The rules of the project window, over the main window's shared project dataset (TWPROJCT).
// Two other shared datasets are only read, through readers of their own so that they never
// move:
//   clients  TWCLIENT: the current client (a new project's proposal) and the client numbers
//            that exist
//   slips    TWSLIP, any order or range: asked whether any slip names a project
//
// Order of the shared project dataset: open() lifts its range and keeps client-and-code order
// (CLIENT_COD); newProject() puts it in code order (PJ_Code) for the rest of the window's life;
// close() puts it back in CLIENT_COD. Each change keeps the project shown.
//
// Record states, as the window's buttons show them:
//   browsing --typing (auto-edit on, a project shown)--> editing
//   browsing --newProject() with a free code--> inserting, client box enabled
//   editing/inserting --save() with a client--> browsing (posted), client box disabled
//   editing/inserting --save() without a client--> unchanged, after the warning
//   editing/inserting --cancel()/close()--> browsing (discarded), client box disabled
// Project codes are unique over all clients. An engine failure on post or delete is shown in
// the error box with the engine's message and the record keeps its state.
class ProjectRules
{
public:
    // Asks for a new project code (the code-entry dialog in project mode); empty = cancelled.
    using AskCode = std::function<QString()>;

    ProjectRules(ui::Dataset &projects, const ui::Dataset &clients, const ui::Dataset &slips,
        ui::Messages &messages, const platform::Clock &clock);

    // Opening the window: lifts any range, client-and-code order, auto-edit only with a project
    // shown. The current client is read now, before anything can move the client dataset.
    void open();
    // The client a new project proposes: the current client's number when the window opened.
    QString currentClient() const { return m_currentClient; }

    // "&New": asks until the code is free over all clients or the user cancels; a free code
    // inserts a project of the current client with today as estimated finish and start date.
    bool newProject(const AskCode &askCode);
    // "&Save": refuses a project without an existing client (warning; the record stays in
    // editing); otherwise posts a pending edit or insert. True when nothing is pending or the
    // post worked.
    bool save();
    // "&Cancel": discards the pending change and disables the client box.
    void cancel();
    // "C&lose" and every other way of closing: discards silently and restores CLIENT_COD order.
    void close();
    // "&Delete": refused while any slip, billed or not, names the project (auto billing slots
    // do not count); otherwise asks "Delete <description>?". True when deleted.
    bool remove();
    // "S&earch" may show its listing; false (after the message) when there is nothing to list.
    bool canSearch();

    // The client box is enabled only from "&New" until that project is saved or cancelled.
    bool clientEditable() const { return m_clientEditable; }

    struct ButtonStates
    {
        bool newEnabled;
        bool deleteEnabled;
        bool searchEnabled;
        bool saveEnabled;
        bool cancelEnabled;
        bool operator==(const ButtonStates &) const = default;
    };
    ButtonStates buttonStates() const;

    // Whether any project of any client has the code `code` (as stored, upper case).
    bool codeInUse(const QString &code) const;
    // Whether any slip, of any client, names the project `code`.
    bool usedBySlips(const QString &code) const;
    // The name of client `number`; empty when there is no such client.
    QString clientName(const QString &number) const;
    bool clientExists(const QString &number) const;

    static const QString &noClientText();

private:
    void setOrder(const QString &tag);

    ui::Dataset &m_projects;
    const ui::Dataset &m_clients;
    const ui::Dataset &m_slips;
    ui::Messages &m_messages;
    const platform::Clock &m_clock;
    QString m_currentClient;
    bool m_clientEditable = false;
};

} // namespace reference
