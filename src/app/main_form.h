#pragma once

#include <functional>
#include <memory>

#include <QMainWindow>
#include <QMap>

#include "app/client_refresh.h"
#include "app/client_rules.h"
#include "app/main_commands.h"
#include "app/main_data.h"
#include "app/toolbar_state.h"
#include "time/slip_commands.h"
#include "time/time_slip_rules.h"

class QAction;
class QLabel;
class QLineEdit;
class QTabWidget;

namespace platform {
class Clock;
class IniFile;
} // namespace platform
namespace ui {
class DbGrid;
class DbNavigator;
class Messages;
class TPlacement;
} // namespace ui

namespace app {

// The main window: one client at a time with its slips, statements and payments, the menus,
// toolbar and pop-up menus that start every other option. Its creation runs the start-up
// (startupAborted() tells the caller when a table held by another program ended it); closing it
// runs the shutdown. The rules live in Startup, ClientRefresh, ToolbarState, MainCommands and
// Shutdown; this class only places widgets and connects them.
class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    // `settings` is TARNW.INI; `login` runs when the window is first shown and returns false
    // when the user cancels (the program then ends without writing anything).
    TMainForm(platform::IniFile &settings, ui::Messages &messages,
        std::function<bool(MainData &)> login, QWidget *parent = nullptr);
    // The same on `clock`, which gives every date and time the window and the windows it opens
    // use (the first constructor uses the machine's clock). `clock` must outlive the window.
    TMainForm(platform::IniFile &settings, ui::Messages &messages, const platform::Clock &clock,
        std::function<bool(MainData &)> login, QWidget *parent = nullptr);
    ~TMainForm() override;

    bool startupAborted() const { return m_aborted; }
    MainData &data() { return m_data; }
    MainCommands &commands() { return m_commands; }
    ClientRules &clientRules() { return m_clientRules; }
    QTabWidget *pages() const { return m_pages; }
    QAction *action(const QString &objectName) const;
    // How quick.doc is opened; by default in the program's own viewer (showQuickStart).
    std::function<void(const QString &path)> openDocument;
    // How the program starts again after Reindex has deleted the index files; by default its
    // own executable as a new process, without arguments.
    std::function<void()> restartProgram;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    TMainForm(platform::IniFile &settings, ui::Messages &messages, const platform::Clock *clock,
        std::unique_ptr<platform::Clock> ownClock, std::function<bool(MainData &)> login,
        QWidget *parent);
    void FormCreate();
    void buildMenus();
    void buildToolbar();
    QWidget *buildMainTab();
    QWidget *buildRatesTab();
    QWidget *buildInvoicesTab();
    QWidget *buildNotesTab();
    void updateToolbar();
    void setHints(bool on);
    void showHelp(int topic, bool search = false);
    void connectClientCommands();
    void connectSlipCommands();
    void openSlipWindow(bool existing);
    void calculateAging();
    void abortStart();
    QAction *addCommand(QMenu *menu, const QString &name, const QString &caption, Command command,
        const QKeySequence &shortcut = {});

    platform::IniFile &m_settings;
    ui::Messages &m_messages;
    std::unique_ptr<platform::Clock> m_ownClock; // when no clock was given
    const platform::Clock &m_clock;
    std::function<bool(MainData &)> m_login;
    MainData m_data;
    ClientRefresh m_refresh;
    MainCommands m_commands;
    ClientRules m_clientRules;
    timecap::SlipCommands m_slipCommands;
    timecap::SlipMemory m_slipMemory;
    ToolbarState m_toolbarState;
    ui::TPlacement *m_placement = nullptr;
    QTabWidget *m_pages = nullptr;
    QLabel *m_bandName = nullptr;
    QLabel *m_bandNumber = nullptr;
    QAction *m_deleteClient = nullptr;
    QAction *m_locate = nullptr;
    QAction *m_showHints = nullptr;
    QLabel *m_userFieldLabels[5] = {};
    QLineEdit *m_agingBoxes[4] = {}; // "Current", "Over 30", "Over 60", "Total"
    QLineEdit *m_unbilledBox = nullptr; // "Unbilled Activity"
    QObject *m_hintFilter = nullptr;
    bool m_aborted = false;
    bool m_shownOnce = false;
    bool m_closing = false;
};

} // namespace app
