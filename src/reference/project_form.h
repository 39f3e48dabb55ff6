#pragma once

// The project window ("Projects").
//
// How the main window opens it, from the Projects menu item and the "Maintain Projects"
// toolbar button:
//
//   1. the rights check with code "V13", then the pending-edit guard (save or keep editing the
//      current client; No leaves the window closed). MainCommands runs both for
//      Command::Projects and remembers the client position in ProgramState::rememberedClient.
//   2. reference::openProjects(data.dataset(MainData::ProjectTable), data.clients(),
//          data.dataset(MainData::SlipTable), messages, clock, this, [&] {
//              data.clients().gotoBookmark(data.state().rememberedClient);
//              clientRefresh.run();
//          });
//
// The last argument runs once the window has closed, however it closed (also when it could not
// be shown): the client cursor returns to the client that was current before and the client
// refresh shows that client's slips and statements again. The window reads ClientTable and
// SlipTable only through readers of its own; it lifts ProjectTable's range and leaves it in
// CLIENT_COD order.

#include <functional>

#include <QDialog>

#include "reference/project_rules.h"

class QLabel;
class QPushButton;

namespace platform {
class Clock;
}
namespace ui {
class Dataset;
class DbLookupCombo;
class Messages;
class TPlacement;
} // namespace ui

namespace reference {

// Runs the project window modally over the shared datasets, then `afterClose` (see above).
void openProjects(ui::Dataset &projects, const ui::Dataset &clients, const ui::Dataset &slips,
    ui::Messages &messages, const platform::Clock &clock, QWidget *parent,
    const std::function<void()> &afterClose);

// The project window, a thin form over ProjectRules. Buttons NewBtn, DeleteBtn, SaveBtn,
// CancelBtn, CloseBtn, SearchBtn; the client box PJ_CLIENTCombo with the client's name in
// ClientNameLabel; fields named after their table fields (PJ_CODEEdit, PJ_DESCEdit,
// PJ_ESTDATEEdit, ...). Closing in any way discards a pending change.
class TProjectForm : public QDialog
{
    Q_OBJECT
public:
    // Reads the current client of `clients` now, as the client a new project proposes.
    TProjectForm(ui::Dataset &projects, const ui::Dataset &clients, const ui::Dataset &slips,
        ui::Messages &messages, const platform::Clock &clock, QWidget *parent = nullptr);

    // The code-entry dialog; by default TInputDialog in project mode. Tests replace it.
    ProjectRules::AskCode askCode;
    // The "Project Listing" pick list over a fresh cursor in client order; true when a project
    // was picked (the listing then stands on it). By default the modal pick list.
    std::function<bool(ui::Dataset &listing)> pickProject;

    ui::TPlacement *placement() const { return m_placement; }
    ProjectRules &rules() { return m_rules; }
    // The window's own client cursor (number order) behind the client box.
    ui::Dataset &clientList() { return *m_clientList; }

    // A window destroyed without being closed still releases the record it holds.
    ~TProjectForm() override;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void NewBtnClick();
    void DeleteBtnClick();
    void SaveBtnClick();
    void CancelBtnClick();
    void SearchBtnClick();
    void updateButtons();
    void showClientName();

    ui::Dataset &m_projects;
    ui::Messages &m_messages;
    ProjectRules m_rules;
    ui::Dataset *m_clientList;
    ui::Dataset *m_listing;
    ui::TPlacement *m_placement;
    QPushButton *m_new, *m_delete, *m_save, *m_cancel, *m_close, *m_search;
    ui::DbLookupCombo *m_client = nullptr;
    QLabel *m_clientName = nullptr;
    QWidget *m_desc = nullptr;
    bool m_placed = false;
};

} // namespace reference
