#include "app/main_form.h"

#include <filesystem>
#include <stdexcept>

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/client_dialogs.h"
#include "app/file_maintenance.h"
#include "app/help_file.h"
#include "app/quick_start.h"
#include "app/login/security_form.h"
#include "app/pack_file_form.h"
#include "app/shutdown.h"
#include "app/startup.h"
#include "billing/aging_rules.h"
#include "billing/invoice_deletion.h"
#include "billing/invoice_form.h"
#include "billing/post_payment_form.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "reference/activity_form.h"
#include "reference/employee_form.h"
#include "reference/project_form.h"
#include "reference/setup_form.h"
#include "reports/report_form.h"
#include "time/slip_numbering.h"
#include "time/auto_billing_form.h"
#include "time/generate_form.h"
#include "time/time_slip_form.h"
#include "ui/action.h"
#include "ui/cursor_scope.h"
#include "ui/date_text.h"
#include "ui/db_check_box.h"
#include "ui/db_combo_box.h"
#include "ui/db_date_edit.h"
#include "ui/db_edit.h"
#include "ui/db_grid.h"
#include "ui/db_memo.h"
#include "ui/db_navigator.h"
#include "ui/db_number_edit.h"
#include "ui/db_radio_group.h"
#include "ui/engine_cursor.h"
#include "ui/field_binder.h"
#include "ui/locate_dialog.h"
#include "ui/messages.h"
#include "ui/mnemonics.h"
#include "ui/placement.h"

namespace app {

namespace {

// Swallows tool tips while hints are off, for the whole application.
class HintFilter : public QObject
{
public:
    using QObject::QObject;
    bool enabled = true;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!enabled && event->type() == QEvent::ToolTip)
            return true;
        return QObject::eventFilter(watched, event);
    }
};

QLabel *caption(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

ui::DbEdit *edit(const ui::FieldBinder &bind, const char *field, const char *name)
{
    return bind(new ui::DbEdit, QString::fromLatin1(name), QString::fromLatin1(field));
}

} // namespace

TMainForm::TMainForm(platform::IniFile &settings, ui::Messages &messages,
    std::function<bool(MainData &)> login, QWidget *parent)
    : TMainForm(settings, messages, nullptr, std::make_unique<platform::SystemClock>(),
        std::move(login), parent)
{
}

TMainForm::TMainForm(platform::IniFile &settings, ui::Messages &messages,
    const platform::Clock &clock, std::function<bool(MainData &)> login, QWidget *parent)
    : TMainForm(settings, messages, &clock, nullptr, std::move(login), parent)
{
}

TMainForm::TMainForm(platform::IniFile &settings, ui::Messages &messages,
    const platform::Clock *clock, std::unique_ptr<platform::Clock> ownClock,
    std::function<bool(MainData &)> login, QWidget *parent)
    : QMainWindow(parent)
    , m_settings(settings)
    , m_messages(messages)
    , m_ownClock(std::move(ownClock))
    , m_clock(clock ? *clock : *m_ownClock)
    , m_login(std::move(login))
    , m_refresh(m_data)
    , m_commands(m_data, messages)
    , m_clientRules(m_data, messages, m_clock)
    , m_slipCommands(m_data.clients(), m_data.dataset(MainData::SlipTable), messages)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
        | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    // Shown in the program's own viewer: a desktop without a program for the document would
    // otherwise show nothing at all.
    openDocument = [this](const QString &path) { showQuickStart(path, m_messages, this); };
    m_placement = new ui::TPlacement(this);
    m_placement->setIniFileName(QString::fromStdString(m_settings.path().string()));
    m_placement->setEntry(QStringLiteral("MainForm32"));
    auto *filter = new HintFilter(this);
    m_hintFilter = filter;
    qApp->installEventFilter(filter);
    FormCreate();
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(m_hintFilter);
    // A window destroyed without being closed still has its cursors open. The members that the
    // cursors' signals reach (the client refresh, the commands) go before the cursors do, so the
    // signals are cut and the cursors closed while everything is still there.
    for (int i = 0; i < MainData::kCursorCount; ++i)
        m_data.dataset(MainData::Cursor(i)).disconnect(this);
    m_data.closeAll();
}

void TMainForm::FormCreate()
{
    m_data.state().reindexRequested = false;
    Startup startup(m_data, m_messages);
    const Startup::Outcome outcome = startup.run(
        [this](std::string_view s, std::string_view k) { return m_settings.value(s, k); });

    buildMenus();
    buildToolbar();
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    auto *band = new QWidget;
    auto *bandLayout = new QHBoxLayout(band);
    m_bandName = new QLabel;
    m_bandName->setObjectName(QStringLiteral("BandName"));
    QFont bold = m_bandName->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_bandName->setFont(bold);
    m_bandNumber = new QLabel;
    m_bandNumber->setObjectName(QStringLiteral("BandNumber"));
    m_bandNumber->setFont(bold);
    m_bandNumber->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bandLayout->addWidget(m_bandName, 1);
    bandLayout->addWidget(m_bandNumber);
    layout->addWidget(band);
    m_pages = new QTabWidget;
    m_pages->setObjectName(QStringLiteral("PageControl"));
    m_pages->addTab(buildMainTab(), QStringLiteral("Main"));
    m_pages->addTab(buildRatesTab(), QStringLiteral("Billing Rates"));
    m_pages->addTab(buildInvoicesTab(), QStringLiteral("Invoices/Payments"));
    m_pages->addTab(buildNotesTab(), QStringLiteral("Notes"));
    layout->addWidget(m_pages, 1);
    setCentralWidget(central);
    ui::settleMnemonics(this);

    if (outcome != Startup::Outcome::Started) {
        abortStart();
        return;
    }
    setHints(m_data.state().hints);

    if (const auto captions = m_data.userFieldCaptions())
        for (int i = 0; i < 5; ++i)
            m_userFieldLabels[i]->setText((*captions)[std::size_t(i)]);
    m_pages->setCurrentIndex(0);
    const QDate todayDate = todayOf(m_clock);
    const QString today = ui::DateText::format(todayDate);
    m_data.state().slipDateBegin = today;
    m_data.state().slipDateEnd = today;
    m_slipMemory.dateStarted = todayDate;
    m_slipMemory.dateEnded = m_slipMemory.dateStarted;

    ui::Dataset &clients = m_data.clients();
    auto follow = [this] {
        // A frozen client display means a run (billing, reports, auto billing) has borrowed the
        // cursor and walks it: the window does not follow it client by client; the run's
        // handler brings the window back to its client when the cursor is returned.
        if (m_data.clients().controlsDisabled())
            return;
        ui::runAction(m_messages, [this] { m_refresh.follow(); });
        m_bandName->setText(m_data.clients().text(QStringLiteral("NAME")));
        m_bandNumber->setText(m_data.currentClientNumber());
    };
    connect(&clients, &ui::Dataset::recordChanged, this, follow);
    connect(&clients, &ui::Dataset::dataChanged, this, follow);
    connect(&clients, &ui::Dataset::afterScroll, this, follow);
    connect(&clients, &ui::Dataset::afterPost, this, follow);
    connect(&clients, &ui::Dataset::stateChanged, this, [this](ui::Dataset::State s) {
        m_toolbarState.stateChanged(s);
        updateToolbar();
        if (s == ui::Dataset::State::Browse && !m_data.clients().isEmpty())
            m_data.clients().setAutoEdit(true);
    });
    m_commands.afterGuardPost = [this] {
        m_clientRules.settleCounter();
        m_refresh.run();
    };
    m_clientRules.refresh = [this] { m_refresh.run(); };
    m_refresh.recompute = [this] { calculateAging(); };
    m_commands.setHandler(Command::CalculateAging,
        [this] { ui::runAction(m_messages, [this] { calculateAging(); }); });
    m_clientRules.attach();
    if (m_data.isOpen(MainData::SlipTable) && m_data.isOpen(MainData::TrackTable))
        timecap::installSlipNumbering(
            m_data.dataset(MainData::SlipTable), m_data.dataset(MainData::TrackTable), false);
    m_commands.guardAsking = [this] {
        m_toolbarState.disableDelete();
        updateToolbar();
    };
    ui::runAction(m_messages, [this] { m_refresh.run(); });
    follow();
    if (m_data.currentClientNumber().isEmpty())
        clients.setAutoEdit(false);
}

void TMainForm::connectClientCommands()
{
    m_commands.setHandler(Command::AddClient, [this] {
        const bool adding = m_clientRules.addClient([this](const QString &proposal) {
            NewClientNumberDialog dialog(proposal, this);
            return dialog.exec() == QDialog::Accepted ? std::optional(dialog.number())
                                                      : std::nullopt;
        });
        if (!adding)
            return;
        m_pages->setCurrentIndex(0);
        if (auto *name = findChild<QWidget *>(QStringLiteral("NameEdit")))
            name->setFocus();
    });
    m_commands.setHandler(Command::EditClient, [this] { m_clientRules.edit(); });
    m_commands.setHandler(Command::DeleteClient, [this] { m_clientRules.deleteClient(); });
    m_commands.setHandler(Command::ListClients, [this] {
        m_clientRules.prepareSearch();
        ClientSearchDialog dialog(m_data.dataset(MainData::ShadowClientTable), m_messages, this);
        if (dialog.exec() == QDialog::Accepted)
            m_clientRules.chooseSearched();
    });
    m_commands.setHandler(Command::SearchClients, [this] {
        ui::LocateDialog dialog(&m_data.clients(), m_messages, QStringLiteral("Locate Client"),
            QStringLiteral("NAME"), this);
        dialog.exec();
    });
}

void TMainForm::connectSlipCommands()
{
    const auto open = [this](bool existing) { openSlipWindow(existing); };
    m_commands.setHandler(Command::NewSlip, [this, open] { m_slipCommands.newSlip(open); });
    m_commands.setHandler(Command::EditSlip, [this, open] { m_slipCommands.editSlip(open); });
    m_commands.setHandler(Command::EditStatementSlip, [this, open] {
        ui::Dataset &detail = m_data.dataset(MainData::SlipShadowTable);
        if (!detail.isOpen() || detail.isEmpty())
            return;
        m_data.dataset(MainData::SlipTable).gotoBookmark(detail.bookmark());
        m_slipCommands.editSlip(open);
    });
    m_commands.setHandler(Command::DeleteSlip, [this] {
        if (m_slipCommands.deleteSlip())
            ui::runAction(m_messages, [this] { m_refresh.run(); });
    });
    m_commands.setHandler(Command::SearchSlips, [this] { m_slipCommands.searchSlips(this); });
}

// The slip window works on cursors of its own over TWSLIP and TWCLIENT, standing on the main
// window's slip (when editing) and client; the shared cursors stay where they are.
void TMainForm::openSlipWindow(bool existing)
{
    if (m_slipMemory.staff.isEmpty())
        m_slipMemory.staff = m_data.state().loginName; // the first slip is the user's own
    const std::filesystem::path &dir = m_data.state().dataDirectory;
    ui::Dataset slips(QStringLiteral("TimeSlipTable"));
    slips.open(ui::EngineCursor::open(dir, "TWSLIP"));
    slips.setTag(QStringLiteral("SL_Number"));
    slips.first();
    if (existing && !slips.gotoBookmark(m_data.dataset(MainData::SlipTable).bookmark()))
        throw std::runtime_error("The slip is no longer on file.");
    ui::Dataset clients(QStringLiteral("SlipClientTable"));
    clients.open(ui::EngineCursor::open(dir, "TWCLIENT"));
    clients.setTag(QStringLiteral("NAME"));
    clients.first();
    clients.gotoBookmark(m_data.clients().bookmark());
    timecap::TTimeslipform form(slips, clients, m_data.dataset(MainData::ActivityTable1),
        m_data.dataset(MainData::EMPLOYEETABLE), m_data.dataset(MainData::ProjectTable),
        m_data.dataset(MainData::TrackTable), m_messages, m_clock, m_slipMemory, existing, this);
    form.exec();
}

void TMainForm::abortStart()
{
    m_aborted = true;
    setWindowTitle(QString());
    setWindowState(Qt::WindowMinimized);
    resize(0, 0);
}

QAction *TMainForm::action(const QString &objectName) const
{
    return findChild<QAction *>(objectName);
}

QAction *TMainForm::addCommand(QMenu *menu, const QString &name, const QString &text,
    Command command, const QKeySequence &shortcut)
{
    QAction *a = menu->addAction(text);
    a->setObjectName(name);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    connect(a, &QAction::triggered, this, [this, command] { m_commands.start(command); });
    return a;
}

void TMainForm::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    addCommand(file, QStringLiteral("PrintReports"), QStringLiteral("&Print Reports"),
        Command::PrintReports);
    addCommand(file, QStringLiteral("AdminSecurity"), QStringLiteral("&Administrator Security"),
        Command::AdministratorSecurity);
    file->addSeparator();
    QAction *exit = file->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("Exit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    addCommand(
        edit, QStringLiteral("AddClient"), QStringLiteral("&Add Client"), Command::AddClient);
    addCommand(
        edit, QStringLiteral("EditClient"), QStringLiteral("&Edit Client"), Command::EditClient);
    addCommand(edit, QStringLiteral("DeleteClient"), QStringLiteral("&Delete Client"),
        Command::DeleteClient);
    edit->addSeparator();
    QAction *prev = edit->addAction(QStringLiteral("Goto &Previous Client"));
    prev->setObjectName(QStringLiteral("GotoPrevious"));
    prev->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(prev, &QAction::triggered, this,
        [this] { ui::runAction(m_messages, [this] { m_data.clients().prior(); }); });
    QAction *next = edit->addAction(QStringLiteral("Goto &Next Client"));
    next->setObjectName(QStringLiteral("GotoNext"));
    next->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(next, &QAction::triggered, this,
        [this] { ui::runAction(m_messages, [this] { m_data.clients().next(); }); });
    addCommand(edit, QStringLiteral("ListClients"), QStringLiteral("&List Clients"),
        Command::ListClients, QKeySequence(Qt::CTRL | Qt::Key_L));
    addCommand(edit, QStringLiteral("SearchClients"), QStringLiteral("&Search Clients"),
        Command::SearchClients);
    edit->addSeparator();
    addCommand(edit, QStringLiteral("NewSlip"), QStringLiteral("New &Time/Expense"),
        Command::NewSlip, QKeySequence(Qt::Key_Insert));
    addCommand(
        edit, QStringLiteral("EditSlip"), QStringLiteral("Edit Ti&me/Expense"), Command::EditSlip);
    addCommand(edit, QStringLiteral("DeleteSlip"), QStringLiteral("Delete Time/E&xpense"),
        Command::DeleteSlip);
    addCommand(
        edit, QStringLiteral("SearchSlips"), QStringLiteral("Searc&h Slips"), Command::SearchSlips);

    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    addCommand(options, QStringLiteral("GenerateAuto"), QStringLiteral("Generate Auto Billings..."),
        Command::GenerateAutoBillings);
    addCommand(options, QStringLiteral("MaintainAuto"), QStringLiteral("Maintain Auto Billings..."),
        Command::MaintainAutoBillings);
    addCommand(options, QStringLiteral("BillingStatements"),
        QStringLiteral("&Billing Statements..."), Command::BillingStatements);
    addCommand(options, QStringLiteral("Proforma"), QStringLiteral("&Proforma Billing Report..."),
        Command::ProformaReport);
    options->addSeparator();
    addCommand(options, QStringLiteral("Purge"), QStringLiteral("Purge &Deleted Records..."),
        Command::PurgeDeletedRecords);
    addCommand(options, QStringLiteral("Reindex"), QStringLiteral("Re&index Data Files..."),
        Command::ReindexDataFiles);
    connectClientCommands();
    connectSlipCommands();
    // Auto billings. The definitions window edits on a client cursor of its own. The generation
    // window borrows the main window's cursors and puts them back as they stood; afterwards the
    // main window returns to its client in name order and shows the slips generated for it.
    m_commands.setHandler(Command::MaintainAutoBillings, [this] {
        timecap::TAutoForm form(m_data.state().dataDirectory, m_data.clients().bookmark(),
            m_data.dataset(MainData::EMPLOYEETABLE), m_data.dataset(MainData::ProjectTable),
            m_messages, this);
        form.exec();
    });
    m_commands.setHandler(Command::GenerateAutoBillings, [this] {
        const ui::Dataset::Bookmark shown = m_data.clients().bookmark();
        {
            timecap::TGenerateTSForm form({ m_data.clients(), m_data.dataset(MainData::SlipTable),
                                              m_data.dataset(MainData::ActivityTable1) },
                m_data.state().dataDirectory, m_data.state().reportFont, m_messages, m_clock,
                this);
            form.exec();
        }
        ui::runAction(m_messages, [this, shown] {
            m_data.clients().setTag(QStringLiteral("NAME"));
            m_data.clients().gotoBookmark(shown);
            m_refresh.run();
        });
    });
    m_commands.setHandler(Command::PrintReports, [this] {
        ui::Dataset &clients = m_data.clients();
        const ui::Dataset::Bookmark shown = clients.bookmark();
        const auto cursor = [this](MainData::Cursor c) -> ui::Dataset & {
            return m_data.dataset(c);
        };
        reports::openReportCatalogue({ clients, cursor(MainData::SlipTable),
                                         cursor(MainData::ProjectTable),
                                         cursor(MainData::InvoiceTable),
                                         cursor(MainData::PaymentTable),
                                         cursor(MainData::ActivityTable1),
                                         cursor(MainData::EMPLOYEETABLE),
                                         cursor(MainData::SetupTable) },
            m_data.state().reportFont, m_messages, m_clock, this);
        ui::runAction(m_messages, [&] {
            clients.gotoBookmark(shown);
            m_refresh.run();
        });
    });
    m_commands.setHandler(Command::PurgeDeletedRecords, [this] {
        const QString shown = m_data.currentClientNumber();
        FileMaintenance maintenance(m_data, m_messages, m_clock);
        {
            TPackFileForm form(maintenance, m_messages,
                QString::fromStdString(m_settings.path().string()), this);
            form.exec();
        }
        ui::runAction(m_messages, [&] {
            maintenance.findClient(shown);
            m_refresh.run();
        });
    });
    m_commands.setHandler(Command::ReindexDataFiles, [this] {
        const QString shown = m_data.currentClientNumber();
        FileMaintenance maintenance(m_data, m_messages, m_clock);
        if (!maintenance.othersHaveNoTableOpen()) {
            ui::runAction(m_messages, [&] {
                maintenance.findClient(shown);
                m_refresh.run();
            });
            return;
        }
        m_data.state().reindexRequested = true;
        close();
    });
    m_commands.setHandler(Command::AdministratorSecurity, [this] {
        login::TFrmSecurity form(m_data.state().dataDirectory, m_messages,
            QString::fromStdString(m_settings.path().string()), this);
        form.exec();
    });
    m_commands.setHandler(Command::Activities, [this] {
        reference::openActivities(m_data.dataset(MainData::ActivityTable1),
            m_data.dataset(MainData::SlipTable), m_data.dataset(MainData::SetupTable), m_messages,
            this);
    });
    m_commands.setHandler(Command::Projects, [this] {
        reference::openProjects(m_data.dataset(MainData::ProjectTable), m_data.clients(),
            m_data.dataset(MainData::SlipTable), m_messages, m_clock, this, [this] {
                ui::runAction(m_messages, [this] {
                    m_data.clients().gotoBookmark(m_data.state().rememberedClient);
                    m_refresh.run();
                });
            });
    });
    m_commands.setHandler(Command::Staff, [this] {
        reference::TEmployeeform form(m_data.dataset(MainData::EMPLOYEETABLE), m_messages, this);
        form.exec();
    });
    // The billing window borrows the main window's cursors; the client cursor in name order
    // with its display held and the slip cursor without its range while it is open, both put
    // back when it closes. The main window then returns to its remembered client.
    const auto invoiceData = [this] {
        return billing::InvoiceData{ m_data.clients(), m_data.dataset(MainData::SlipTable),
            m_data.dataset(MainData::InvoiceTable), m_data.dataset(MainData::PaymentTable),
            m_data.dataset(MainData::SlipShadowTable), m_data.dataset(MainData::ProjectTable),
            m_data.dataset(MainData::ActivityTable1), m_data.dataset(MainData::EMPLOYEETABLE),
            m_data.dataset(MainData::SetupTable), m_data.dataset(MainData::TrackTable),
            m_data.state().dataDirectory, m_settings, &m_data.state().reportFont };
    };
    const auto openInvoiceForm = [this, invoiceData](billing::InvoiceMode mode) {
        {
            ui::CursorScope clientScope(m_data.clients());
            ui::CursorScope slipScope(m_data.dataset(MainData::SlipTable));
            if (!ui::runAction(m_messages, [this] {
                    m_data.clients().setTag(QStringLiteral("NAME"));
                    m_data.dataset(MainData::SlipTable).cancelRange();
                }))
                return;
            billing::TInvoiceform form(mode, invoiceData(), m_messages, m_clock, this);
            form.exec();
        }
        ui::runAction(m_messages, [this] {
            m_data.clients().gotoBookmark(m_data.state().rememberedClient);
            m_refresh.run();
        });
    };
    m_commands.setHandler(Command::BillingStatements,
        [openInvoiceForm] { openInvoiceForm(billing::InvoiceMode::Billing); });
    m_commands.setHandler(Command::ProformaReport,
        [openInvoiceForm] { openInvoiceForm(billing::InvoiceMode::Proforma); });
    m_commands.setHandler(Command::CompanySetup, [this, invoiceData] {
        reference::TSetupForm form(m_data.dataset(MainData::SetupTable), m_messages, this);
        form.printTestStatement = [this, invoiceData, &form] {
            billing::printTestStatement(invoiceData(), m_messages, m_clock, &form);
        };
        connect(&form, &reference::TSetupForm::userFieldCaptionsChanged, this,
            [this](const QStringList &captions) {
                for (int i = 0; i < 5 && i < captions.size(); ++i)
                    m_userFieldLabels[i]->setText(captions[i]);
            });
        form.exec();
    });

    // Payments and statement deletion write through table handles of their own; afterwards the
    // main window's cursors are read again and the aging recomputed (the client refresh),
    // whatever happened.
    m_commands.setHandler(Command::PostPayment, [this] {
        ui::Dataset &invoices = m_data.dataset(MainData::InvoiceTable);
        const ui::Dataset::Bookmark selected = invoices.bookmark();
        billing::postPayment(m_data.state().dataDirectory, m_data.clients(), invoices,
            m_messages, m_clock, this);
        ui::runAction(m_messages, [&] {
            m_refresh.run();
            invoices.gotoBookmark(selected);
        });
    });
    m_commands.setHandler(Command::DeleteInvoice, [this] {
        ui::Dataset &clients = m_data.clients();
        ui::Dataset &invoices = m_data.dataset(MainData::InvoiceTable);
        const QString number = clients.text(QStringLiteral("NUMBER"));
        const QString noInvoices = QStringLiteral("No invoices for current client");
        if (!invoices.isOpen() || invoices.isEmpty()
            || invoices.text(QStringLiteral("INV_CLIENT")) != number) {
            m_messages.information(noInvoices);
            return;
        }
        if (m_messages.confirm(QStringLiteral(
                "This option will delete the current invoice and reverse the posting that "
                "resulted when the invoice was created.  If any payments have been applied to "
                "this invoice, they will be removed.  Are you sure you want to delete this "
                "invoice?"))
            != ui::MessageAnswer::Yes)
            return;
        m_data.state().rememberedClient = clients.bookmark();
        const billing::DeletionResult r = billing::InvoiceDeletion(m_data.state().dataDirectory)
                                              .run(number.toLatin1().toStdString(),
                                                  std::int64_t(invoices.value(
                                                      QStringLiteral("INV_NUMBER")).toDouble()));
        using Status = billing::DeletionResult::Status;
        if (r.status == Status::ClientLocked)
            m_messages.information(
                QStringLiteral("The client record is locked.  Try again later."));
        else if (r.status == Status::NotFound)
            m_messages.information(noInvoices);
        else if (r.status != Status::Deleted)
            m_messages.error(QString::fromLocal8Bit(r.message.c_str()));
        ui::runAction(m_messages, [this] {
            m_data.clients().gotoBookmark(m_data.state().rememberedClient);
            m_refresh.run();
        });
    });

    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    addCommand(
        view, QStringLiteral("Activities"), QStringLiteral("&Activities"), Command::Activities);
    addCommand(view, QStringLiteral("Staff"), QStringLiteral("&Staff"), Command::Staff);
    addCommand(view, QStringLiteral("Projects"), QStringLiteral("&Projects"), Command::Projects);
    addCommand(view, QStringLiteral("CompanySetup"), QStringLiteral("&Company Setup"),
        Command::CompanySetup);
    view->addSeparator();
    m_showHints = view->addAction(QStringLiteral("&Show Hints"));
    m_showHints->setObjectName(QStringLiteral("ShowHints"));
    m_showHints->setCheckable(true);
    connect(m_showHints, &QAction::triggered, this, [this](bool on) { setHints(on); });

    QMenu *pages = menuBar()->addMenu(QStringLiteral("&Pages"));
    const char *pageNames[] = { "&Main", "&Billing Rates", "&Invoices/Payments", "&Notes" };
    for (int i = 0; i < 4; ++i) {
        QAction *a = pages->addAction(QString::fromLatin1(pageNames[i]));
        a->setObjectName(QStringLiteral("Page%1").arg(i));
        connect(a, &QAction::triggered, this, [this, i] { m_pages->setCurrentIndex(i); });
    }

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction *contents = help->addAction(QStringLiteral("&Contents"));
    contents->setObjectName(QStringLiteral("HelpContents"));
    connect(contents, &QAction::triggered, this, [this] { showHelp(1007); });
    QAction *search = help->addAction(QStringLiteral("&Search for Help On..."));
    search->setObjectName(QStringLiteral("HelpSearch"));
    connect(search, &QAction::triggered, this, [this] { showHelp(0, true); });
    QAction *howTo = help->addAction(QStringLiteral("&How to Use Help"));
    howTo->setObjectName(QStringLiteral("HelpHowTo"));
    connect(howTo, &QAction::triggered, this, [this] { showHelp(1); });
    QAction *quick = help->addAction(QStringLiteral("&Quick Start Tutorial"));
    quick->setObjectName(QStringLiteral("QuickStart"));
    connect(quick, &QAction::triggered, this, [this] {
        openDocument(QString::fromStdString(m_data.state().dataDirectory + "quick.doc"));
    });
    help->addSeparator();
    QAction *about = help->addAction(QStringLiteral("&About..."));
    about->setObjectName(QStringLiteral("About"));
    connect(about, &QAction::triggered, this, [this] {
        QDialog box(this);
        box.setWindowTitle(QStringLiteral("About"));
        auto *l = new QVBoxLayout(&box);
        l->addWidget(new QLabel(QStringLiteral("Tarnwick Time & Billing")));
        l->addWidget(new QLabel(QStringLiteral("Version: 3.00")));
        auto *ok = new QPushButton(QStringLiteral("&OK"));
        connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
        l->addWidget(ok, 0, Qt::AlignCenter);
        box.exec();
    });
}

void TMainForm::buildToolbar()
{
    QToolBar *bar = addToolBar(QStringLiteral("Toolbar"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);
    auto button = [&](const char *name, const QString &text, const QString &hint,
                      QStyle::StandardPixmap icon, std::function<void()> run) {
        QAction *a = bar->addAction(style()->standardIcon(icon), text);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(hint);
        connect(a, &QAction::triggered, this, std::move(run));
        return a;
    };
    auto cmd = [this](Command c) { return [this, c] { m_commands.start(c); }; };
    button("NewSlipBtn", QStringLiteral("New slip"), QStringLiteral("Create a New Time Slip"),
        QStyle::SP_FileIcon, cmd(Command::NewSlip));
    button("ProjectsBtn", QStringLiteral("Projects"), QStringLiteral("Maintain Projects"),
        QStyle::SP_DirIcon, cmd(Command::Projects));
    button("ActivitiesBtn", QStringLiteral("Activities"), QStringLiteral("Maintain Activities"),
        QStyle::SP_FileDialogDetailedView, cmd(Command::Activities));
    button("InvoiceBtn", QStringLiteral("Billing statements"), QStringLiteral("Generate Invoices"),
        QStyle::SP_DialogSaveButton, cmd(Command::BillingStatements));
    button("ReportsBtn", QStringLiteral("Reports"), QStringLiteral("Print Reports"),
        QStyle::SP_FileDialogContentsView, cmd(Command::PrintReports));
    button("SetupBtn", QStringLiteral("Setup"), QStringLiteral("Setup Tarnwick"),
        QStyle::SP_ComputerIcon, cmd(Command::CompanySetup));
    bar->addSeparator();
    button("AddClientBtn", QStringLiteral("Add client"), QStringLiteral("Add a New Client"),
        QStyle::SP_FileDialogNewFolder, cmd(Command::AddClient));
    m_deleteClient = button("DeleteClientBtn", QStringLiteral("Delete client"),
        QStringLiteral("Delete Selected Client"), QStyle::SP_TrashIcon, cmd(Command::DeleteClient));
    button("EditClientBtn", QStringLiteral("Edit client"), QStringLiteral("Edit Selected Client"),
        QStyle::SP_FileDialogInfoView, cmd(Command::EditClient));
    auto *nav = new ui::DbNavigator;
    nav->setObjectName(QStringLiteral("ClientNavigator"));
    nav->bind(&m_data.clients(), &m_messages);
    nav->setVisibleButtons(ui::DbNavigator::Prior | ui::DbNavigator::Next | ui::DbNavigator::Post
        | ui::DbNavigator::Cancel);
    bar->addWidget(nav);
    // Post keeps the last-posted client parts first; Cancel also ends the adding of a client.
    for (auto [which, run] :
        { std::pair<ui::DbNavigator::Button, std::function<void()>>{
              ui::DbNavigator::Post, [this] { m_clientRules.navigatorPost(); } },
            { ui::DbNavigator::Cancel, [this] { m_clientRules.navigatorCancel(); } } }) {
        QToolButton *b = nav->button(which);
        disconnect(b, &QToolButton::clicked, nav, nullptr);
        connect(b, &QToolButton::clicked, this, run);
    }
    m_locate = button("LocateBtn", QStringLiteral("Locate"), QStringLiteral("Locate a Client"),
        QStyle::SP_FileDialogStart, cmd(Command::ListClients));
    bar->addSeparator();
    button("QuickStartBtn", QStringLiteral("Quick start"), QStringLiteral("Quick Start Tutorial"),
        QStyle::SP_DialogHelpButton, [this] { action(QStringLiteral("QuickStart"))->trigger(); });
    button("HelpBtn", QStringLiteral("Help"), QStringLiteral("Help"), QStyle::SP_MessageBoxQuestion,
        [this] { showHelp(1007); });
}

QWidget *TMainForm::buildMainTab()
{
    const ui::FieldBinder c(m_data.clients(), m_messages);
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *top = new QHBoxLayout;
    auto *address = new QGroupBox(QStringLiteral("Client Address:"));
    auto *af = new QFormLayout(address);
    auto *name = edit(c, "NAME", "NameEdit");
    af->addRow(caption(QStringLiteral("&Name:"), name), name);
    af->addRow(QStringLiteral("Address:"), edit(c, "SADD", "SaddEdit"));
    af->addRow(QStringLiteral("Address:"), edit(c, "SADD2", "Sadd2Edit"));
    auto *city = edit(c, "SCITY", "CityEdit");
    auto *csz = new QHBoxLayout;
    csz->addWidget(city, 3);
    csz->addWidget(edit(c, "SSTATE", "StateEdit"), 1);
    csz->addWidget(edit(c, "SZIP", "ZipEdit"), 2);
    af->addRow(caption(QStringLiteral("&City St Zip:"), city), csz);
    auto *contact = new QGroupBox(QStringLiteral("Contact Information:"));
    auto *cf = new QFormLayout(contact);
    auto *con = edit(c, "CONTACT", "ContactEdit");
    cf->addRow(caption(QStringLiteral("C&ontact:"), con), con);
    auto *phone = edit(c, "PHONE", "PhoneEdit");
    auto *ph = new QHBoxLayout;
    ph->addWidget(phone, 3);
    ph->addWidget(edit(c, "EXTENSION", "ExtensionEdit"), 1);
    cf->addRow(caption(QStringLiteral("&Phone:"), phone), ph);
    auto *fax = edit(c, "FAX", "FaxEdit");
    cf->addRow(caption(QStringLiteral("F&ax:"), fax), fax);
    auto *beeper = edit(c, "BEEPER", "BeeperEdit");
    cf->addRow(caption(QStringLiteral("&Beeper:"), beeper), beeper);
    top->addWidget(address, 3);
    top->addWidget(contact, 2);
    layout->addLayout(top);
    layout->addWidget(new QLabel(QStringLiteral("Time && Expense Entries:")
                                     .replace(QStringLiteral("&&"), QStringLiteral("&"))));
    auto *grid = new ui::DbGrid;
    grid->setObjectName(QStringLiteral("SlipGrid"));
    grid->setMessages(&m_messages);
    grid->bind(&m_data.dataset(MainData::SlipTable),
        { { QStringLiteral("SL_NUMBER"), QStringLiteral("Slip No."), 8 },
            { QStringLiteral("SL_ACT"), QStringLiteral("Activity"), 10 },
            { QStringLiteral("SL_PROJECT"), QStringLiteral("Project"), 10 },
            { QStringLiteral("SL_HOURS"), QStringLiteral("Hours"), 8, false,
                ui::DisplayFormat::Hours },
            { QStringLiteral("SL_TOTAL"), QStringLiteral("Total"), 10, false,
                ui::DisplayFormat::Money },
            { QStringLiteral("SL_DATEBEG"), QStringLiteral("Started"), 10 },
            { QStringLiteral("SL_EMPLOY"), QStringLiteral("Staff"), 5 },
            { QStringLiteral("SL_BILLED"), QStringLiteral("Billed"), 6, true },
            { QStringLiteral("SL_DONE"), QStringLiteral("Finished"), 7, true } });
    grid->setToolTip(QStringLiteral("Double Click to edit slip detail"));
    connect(grid, &ui::DbGrid::rowActivated, this, [this] { m_commands.start(Command::EditSlip); });
    grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto popup = [&](QWidget *w, const QString &text, Command command) {
        auto *a = new QAction(text, w);
        connect(a, &QAction::triggered, this, [this, command] { m_commands.start(command); });
        w->addAction(a);
    };
    popup(grid, QStringLiteral("New Time/Expense Slip"), Command::NewSlip);
    popup(grid, QStringLiteral("Edit Current Slip"), Command::EditSlip);
    popup(grid, QStringLiteral("Delete Current Slip"), Command::DeleteSlip);
    popup(grid, QStringLiteral("Search Slips"), Command::SearchSlips);
    layout->addWidget(grid, 1);
    return page;
}

QWidget *TMainForm::buildRatesTab()
{
    const ui::FieldBinder bind(m_data.clients(), m_messages);
    auto *page = new QWidget;
    auto *layout = new QHBoxLayout(page);
    auto *rates = new QGroupBox(QStringLiteral("Client Billing Rates:"));
    auto *g = new QGridLayout(rates);
    g->addWidget(new QLabel(QStringLiteral("Billing Rate")), 0, 1);
    g->addWidget(new QLabel(QStringLiteral("Description")), 0, 2);
    for (int i = 1; i <= 5; ++i) {
        auto *rate = bind(new ui::DbMoneyEdit, QStringLiteral("Rate%1Edit").arg(i),
            QStringLiteral("B_RATE%1").arg(i));
        auto *desc = bind(new ui::DbEdit, QStringLiteral("Rate%1DescEdit").arg(i),
            QStringLiteral("B_RATE%1D").arg(i));
        g->addWidget(caption(QStringLiteral("Rate Number &%1:").arg(i), rate), i, 0);
        g->addWidget(rate, i, 1);
        g->addWidget(desc, i, 2);
    }
    auto *def = new ui::DbRadioGroup(QStringLiteral("Use as Default"));
    for (int i = 1; i <= 5; ++i)
        def->addItem(QStringLiteral("Rate %1").arg(i), i);
    bind(def, QStringLiteral("RateDefault"), QStringLiteral("B_RATEDEF"));
    g->addWidget(def, 1, 3, 5, 1);
    g->setRowStretch(6, 1);
    layout->addWidget(rates, 3);

    auto *right = new QVBoxLayout;
    auto *cycleTerms = new QGroupBox(QStringLiteral("Cycle && Terms"));
    auto *ct = new QFormLayout(cycleTerms);
    ct->setHorizontalSpacing(12); // a caption never touches its drop-down
    auto *cycle = new ui::DbComboBox(ui::DbComboBox::Kind::DropDownList);
    for (int i = 1; i <= 10; ++i)
        cycle->addValue(QString::number(i), i);
    bind(cycle, QStringLiteral("CycleCombo"), QStringLiteral("CYCLE"));
    ct->addRow(caption(QStringLiteral("Billing &Cycle"), cycle), cycle);
    auto *terms = new ui::DbComboBox(ui::DbComboBox::Kind::Typed);
    for (const char *t : { "Due On Receipt", "Net 10", "Net 15", "Net 30" })
        terms->addValue(QString::fromLatin1(t));
    bind(terms, QStringLiteral("TermsCombo"), QStringLiteral("TERMS"));
    ct->addRow(caption(QStringLiteral("Billing &Terms"), terms), terms);
    right->addWidget(cycleTerms);
    auto *source = new ui::DbRadioGroup(QStringLiteral(" Default &Rate Source "));
    int value = 1;
    for (const char *s : { "Client", "Employee", "Activity", "Flat Amount" })
        source->addItem(QString::fromLatin1(s), value++);
    bind(source, QStringLiteral("RateSource"), QStringLiteral("B_RATESRC"));
    right->addWidget(source);
    right->addStretch();
    layout->addLayout(right, 2);
    return page;
}

QWidget *TMainForm::buildInvoicesTab()
{
    auto *page = new QWidget;
    auto *layout = new QGridLayout(page);
    auto *invoices = new ui::DbGrid;
    invoices->setObjectName(QStringLiteral("InvoiceGrid"));
    invoices->setMessages(&m_messages);
    invoices->bind(&m_data.dataset(MainData::InvoiceTable),
        { { QStringLiteral("INV_NUMBER"), QStringLiteral("Invoice"), 8 },
            { QStringLiteral("INV_TOTAL"), QStringLiteral("Total"), 10, false,
                ui::DisplayFormat::Money },
            { QStringLiteral("INV_PAID"), QStringLiteral("Paid"), 10, false,
                ui::DisplayFormat::Money },
            { QStringLiteral("INV_DUE"), QStringLiteral("Due On"), 10 } });
    invoices->setToolTip(QStringLiteral("Client's Billing Statements"));
    connect(invoices, &ui::DbGrid::rowActivated, this,
        [this] { m_commands.start(Command::PostPayment); });
    invoices->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (auto [text, command] : { std::pair{ "&Delete Invoice", Command::DeleteInvoice },
             std::pair{ "&Post Payment", Command::PostPayment } }) {
        auto *a = new QAction(QString::fromLatin1(text), invoices);
        connect(a, &QAction::triggered, this, [this, c = command] { m_commands.start(c); });
        invoices->addAction(a);
    }
    auto *detail = new ui::DbGrid;
    detail->setObjectName(QStringLiteral("StatementDetailGrid"));
    detail->setMessages(&m_messages);
    detail->bind(&m_data.dataset(MainData::SlipShadowTable),
        { { QStringLiteral("SL_NUMBER"), QStringLiteral("Slip No."), 8 },
            { QStringLiteral("SL_HOURS"), QStringLiteral("Hours"), 8, false,
                ui::DisplayFormat::Hours },
            { QStringLiteral("SL_TOTAL"), QStringLiteral("Total"), 10, false,
                ui::DisplayFormat::Money },
            { QStringLiteral("SL_TAXAMT"), QStringLiteral("Tax Amt"), 8, false,
                ui::DisplayFormat::Money },
            { QStringLiteral("SL_DATEBEG"), QStringLiteral("Date"), 10 },
            { QStringLiteral("SL_ACT"), QStringLiteral("Activity"), 10 },
            { QStringLiteral("SL_EXPAMT"), QStringLiteral("Expense Amt"), 10, false,
                ui::DisplayFormat::Money } });
    connect(detail, &ui::DbGrid::rowActivated, this,
        [this] { m_commands.start(Command::EditStatementSlip); });
    auto *payments = new ui::DbGrid;
    payments->setObjectName(QStringLiteral("PaymentGrid"));
    payments->setMessages(&m_messages);
    payments->bind(&m_data.dataset(MainData::PaymentTable),
        { { QStringLiteral("PMT_CHECK"), QStringLiteral("Check No."), 10 },
            { QStringLiteral("PMT_AMOUNT"), QStringLiteral("Amount"), 10, false,
                ui::DisplayFormat::Money },
            { QStringLiteral("PMT_DATE"), QStringLiteral("Date Paid"), 10 },
            { QStringLiteral("PMT_DESC"), QStringLiteral("Description"), 24 } });
    layout->addWidget(new QLabel(QStringLiteral("Billing Statements:")), 0, 0);
    layout->addWidget(invoices, 1, 0);
    layout->addWidget(new QLabel(QStringLiteral("Billing Statement Detail:")), 0, 1);
    layout->addWidget(detail, 1, 1);
    layout->addWidget(new QLabel(QStringLiteral("Payments:")), 2, 0);
    layout->addWidget(payments, 3, 0);
    auto *aging = new QGroupBox(QStringLiteral("Receivables Aging:"));
    auto *ag = new QGridLayout(aging);
    auto box = [](const char *name) {
        auto *e = new QLineEdit(QStringLiteral("$0.00"));
        e->setObjectName(QString::fromLatin1(name));
        e->setReadOnly(true);
        e->setAlignment(Qt::AlignRight);
        return e;
    };
    // The label spans two columns so that the four aging boxes below stay equally wide.
    ag->addWidget(new QLabel(QStringLiteral("Unbilled Activity")), 0, 0, 1, 2);
    m_unbilledBox = box("UnbilledEdit");
    ag->addWidget(m_unbilledBox, 0, 2);
    int col = 0;
    // Each heading sits right on top of its box.
    ag->setRowMinimumHeight(1, 8);
    for (const char *h : { "Current", "Over 30", "Over 60", "Total" }) {
        ag->addWidget(new QLabel(QString::fromLatin1(h)), 2, col, Qt::AlignBottom);
        m_agingBoxes[col] = box(h);
        ag->addWidget(m_agingBoxes[col], 3, col);
        ag->setColumnStretch(col, 1);
        ++col;
    }
    auto *post = new QPushButton(QStringLiteral("&Post Payment"));
    post->setObjectName(QStringLiteral("PostPaymentBtn"));
    connect(post, &QPushButton::clicked, this, [this] { m_commands.start(Command::PostPayment); });
    auto *calc = new QPushButton(QStringLiteral("&Calculate Aging"));
    calc->setObjectName(QStringLiteral("CalcAgingBtn"));
    connect(
        calc, &QPushButton::clicked, this, [this] { m_commands.start(Command::CalculateAging); });
    ag->addWidget(post, 4, 0, 1, 2);
    ag->addWidget(calc, 4, 2, 1, 2);
    ag->setVerticalSpacing(4);
    ag->setRowStretch(5, 1);
    layout->addWidget(aging, 2, 1, 2, 1);
    // Both halves alike: the statement and payment grids get as much room as the detail.
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    return page;
}

// The aging and unbilled boxes of the client under ClientTable, read through readers of their
// own so that the statement and slip grids do not move. The boxes show $0.00 first, so that an
// engine error leaves no other client's amounts on screen.
void TMainForm::calculateAging()
{
    if (!m_unbilledBox)
        return;
    const QString zero = billing::agingText(platform::Cents());
    for (QLineEdit *b : m_agingBoxes)
        b->setText(zero);
    m_unbilledBox->setText(zero);
    const QString number = m_data.currentClientNumber();
    if (number.trimmed().isEmpty())
        return;
    const billing::ClientReceivables r = billing::clientReceivables(number, todayOf(m_clock),
        m_data.dataset(MainData::InvoiceTable).cursor(),
        m_data.dataset(MainData::SlipTable).cursor());
    const platform::Cents amounts[4] = { r.aging.current, r.aging.over30, r.aging.over60,
        r.aging.total() };
    for (int i = 0; i < 4; ++i)
        m_agingBoxes[i]->setText(billing::agingText(amounts[i]));
    m_unbilledBox->setText(billing::agingText(r.unbilled));
}

QWidget *TMainForm::buildNotesTab()
{
    const ui::FieldBinder c(m_data.clients(), m_messages);
    auto *page = new QWidget;
    auto *layout = new QHBoxLayout(page);
    // Left: the number and the notes, each caption right above or beside its box.
    auto *left = new QVBoxLayout;
    auto *number = edit(c, "NUMBER", "NotesNumberEdit");
    number->setReadOnly(true);
    auto *numberRow = new QHBoxLayout;
    numberRow->addWidget(new QLabel(QStringLiteral("Client Number:")));
    numberRow->addWidget(number);
    numberRow->addStretch();
    left->addLayout(numberRow);
    left->addWidget(new QLabel(QStringLiteral("Client Notes:")));
    auto *memo = c(new ui::DbMemo, QStringLiteral("MemoEdit"), QStringLiteral("MEMO"));
    left->addWidget(memo, 1);
    layout->addLayout(left, 3);
    auto *user = new QGroupBox(QStringLiteral("User Defined Fields:"));
    auto *uf = new QFormLayout(user);
    for (int i = 0; i < 5; ++i) {
        auto *e = edit(c, QStringLiteral("MISC%1").arg(i + 1).toLatin1().constData(),
            QStringLiteral("Misc%1Edit").arg(i + 1).toLatin1().constData());
        m_userFieldLabels[i] = new QLabel(QStringLiteral("User Defined %1").arg(i + 1));
        uf->addRow(m_userFieldLabels[i], e);
    }
    auto *right = new QVBoxLayout;
    right->addWidget(user);
    auto *status = new QGroupBox;
    auto *sf = new QFormLayout(status);
    auto *active = c(new ui::DbCheckBox(QStringLiteral("&Active Client")),
        QStringLiteral("ActiveCheck"), QStringLiteral("ACTIVE"), QStringLiteral("Y"),
        QStringLiteral("N"));
    sf->addRow(active);
    auto *since = c(new ui::DbDateEdit, QStringLiteral("SinceEdit"), QStringLiteral("SETUPDATE"));
    sf->addRow(caption(QStringLiteral("&Client Since"), since), since);
    right->addWidget(status);
    right->addStretch();
    layout->addLayout(right, 2);
    return page;
}

void TMainForm::updateToolbar()
{
    m_deleteClient->setEnabled(m_toolbarState.deleteEnabled());
    m_locate->setEnabled(m_toolbarState.locateEnabled());
}

void TMainForm::setHints(bool on)
{
    m_data.state().hints = on;
    static_cast<HintFilter *>(m_hintFilter)->enabled = on;
    m_showHints->setChecked(on);
}

void TMainForm::showHelp(int topic, bool search)
{
    const QString path = QString::fromStdString(m_data.state().dataDirectory + "TARNW.HLP");
    const auto help = HelpFile::load(path);
    if (!help) {
        m_messages.error(QStringLiteral("The help file %1 cannot be opened.").arg(path));
        return;
    }
    auto *window = new QDialog(this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Tarnwick Help"));
    auto *layout = new QHBoxLayout(window);
    auto *tabs = new QTabWidget;
    auto *contents = new QListWidget;
    auto *searchBox = new QWidget;
    auto *sl = new QVBoxLayout(searchBox);
    auto *key = new QLineEdit;
    auto *found = new QListWidget;
    sl->addWidget(key);
    sl->addWidget(found);
    tabs->addTab(contents, QStringLiteral("Contents"));
    tabs->addTab(searchBox, QStringLiteral("Search"));
    auto *text = new QTextBrowser;
    layout->addWidget(tabs, 1);
    layout->addWidget(text, 2);
    auto shared = std::make_shared<HelpFile>(*help);
    auto showTopic = [text, shared](int number) {
        if (const auto *t = shared->topic(number))
            text->setHtml(HelpFile::html(*t));
    };
    for (const auto &t : shared->topics()) {
        auto *item = new QListWidgetItem(t.title, contents);
        item->setData(Qt::UserRole, t.number);
    }
    auto fill = [found, shared](const QString &k) {
        found->clear();
        for (const auto *t : shared->search(k)) {
            auto *item = new QListWidgetItem(t->title, found);
            item->setData(Qt::UserRole, t->number);
        }
    };
    connect(key, &QLineEdit::textChanged, window, fill);
    for (QListWidget *list : { contents, found })
        connect(list, &QListWidget::currentItemChanged, window, [showTopic](QListWidgetItem *item) {
            if (item)
                showTopic(item->data(Qt::UserRole).toInt());
        });
    fill(QString());
    if (search) {
        tabs->setCurrentIndex(1);
        key->setFocus();
    } else {
        showTopic(topic);
    }
    window->resize(720, 460);
    window->show();
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce || m_aborted)
        return;
    m_shownOnce = true;
    if (m_login && !m_login(m_data)) {
        abortStart();
        m_data.closeAll();
        QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
        return;
    }
    ui::runAction(m_messages, [this] { Startup::rereadStaffCursors(m_data); });
    m_placement->restorePlacement();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (m_aborted || m_closing) {
        event->accept();
        return;
    }
    Shutdown shutdown(m_data, m_messages);
    const bool closing = shutdown.saveQuestion();
    m_clientRules.settleCounter();
    if (!closing) {
        event->ignore();
        return;
    }
    m_closing = true;
    shutdown.writeSettings(m_settings);
    shutdown.closeCursors();
    m_placement->savePlacement();
    if (m_data.state().reindexRequested) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        shutdown.deleteIndexFiles();
        QApplication::restoreOverrideCursor();
        hide();
        if (restartProgram)
            restartProgram();
        else
            QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    }
    event->accept();
}

} // namespace app
