#include "reference/project_form.h"

#include <exception>

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dataset.h"
#include "ui/db_date_edit.h"
#include "ui/db_edit.h"
#include "ui/db_lookup_combo.h"
#include "ui/db_number_edit.h"
#include "ui/field_binder.h"
#include "ui/messages.h"
#include "ui/mnemonics.h"
#include "ui/pick_list_dialog.h"
#include "ui/placement.h"
#include "ui/tinput_dialog.h"

namespace reference {

namespace {

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QLabel *label(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

} // namespace

void openProjects(ui::Dataset &projects, const ui::Dataset &clients, const ui::Dataset &slips,
    ui::Messages &messages, const platform::Clock &clock, QWidget *parent,
    const std::function<void()> &afterClose)
{
    try {
        TProjectForm form(projects, clients, slips, messages, clock, parent);
        form.exec();
    } catch (...) {
        // The client shown must be put right however the window ended.
        if (afterClose)
            afterClose();
        throw;
    }
    if (afterClose)
        afterClose();
}

TProjectForm::TProjectForm(ui::Dataset &projects, const ui::Dataset &clients,
    const ui::Dataset &slips, ui::Messages &messages, const platform::Clock &clock, QWidget *parent)
    : QDialog(parent)
    , m_projects(projects)
    , m_messages(messages)
    , m_rules(projects, clients, slips, messages, clock)
    , m_clientList(new ui::Dataset(QStringLiteral("ClientListTable"), this))
    , m_listing(new ui::Dataset(QStringLiteral("ProjectListTable"), this))
    , m_placement(new ui::TPlacement(this))
{
    setObjectName(QStringLiteral("ProjectForm"));
    setWindowTitle(QStringLiteral("Projects"));
    m_placement->setEntry(QStringLiteral("ProjectForm"));
    m_placement->setIniFileName(QStringLiteral("TARNW.INI"));

    // Binding first: the rules lift the range and read the current client before any widget
    // shows a record.
    m_rules.open();
    // The window's own read-only cursors: clients in number order for the client box, projects
    // in client order for the listing.
    m_clientList->open(clients.cursor()->reader());
    m_clientList->cancelRange();
    m_clientList->setTag(QStringLiteral("NUMBER"));
    m_listing->open(projects.cursor()->reader());
    m_listing->cancelRange();
    m_listing->setTag(QStringLiteral("PJ_CLIENT"));

    const ui::FieldBinder bind(projects, messages);
    auto edit = [&](const char *field, QWidget *box) {
        return bind(new ui::DbEdit(box), QLatin1String(field) + QStringLiteral("Edit"),
            QLatin1String(field));
    };
    auto number = [&](const char *field, QWidget *box, bool money) {
        auto *e = bind(money ? new ui::DbMoneyEdit(box) : new ui::DbNumberEdit(box),
            QLatin1String(field) + QStringLiteral("Edit"), QLatin1String(field));
        e->setMaximumWidth(110);
        return e;
    };
    auto date = [&](const char *field, QWidget *box) {
        auto *e = bind(new ui::DbDateEdit(box), QLatin1String(field) + QStringLiteral("Edit"),
            QLatin1String(field));
        e->setMaximumWidth(110);
        return e;
    };

    auto *info = new QGroupBox(QStringLiteral("Project &Information"), this);
    auto *infoLayout = new QGridLayout(info);
    auto *code = edit("PJ_CODE", info);
    code->setReadOnly(true);
    code->setMaximumWidth(110);
    m_client = bind(
        new ui::DbLookupCombo(info), QStringLiteral("PJ_CLIENTCombo"), QStringLiteral("PJ_CLIENT"));
    m_client->setUpperCase(true);
    m_client->setLookup(m_clientList, QStringLiteral("NUMBER"),
        { { QStringLiteral("NUMBER"), QStringLiteral("Number"), 6 },
            { QStringLiteral("NAME"), QStringLiteral("Name"), 30 } },
        QStringLiteral("Clients"));
    m_client->setMinimumWidth(110);
    m_clientName = new QLabel(info);
    m_clientName->setObjectName(QStringLiteral("ClientNameLabel"));
    m_clientName->setMinimumWidth(220);
    auto *desc = edit("PJ_DESC", info);
    m_desc = desc;
    m_search = button(QStringLiteral("S&earch"), "SearchBtn", info);
    infoLayout->addWidget(label(QStringLiteral("&Project Code"), code, info), 0, 0);
    infoLayout->addWidget(code, 0, 1);
    infoLayout->addWidget(m_search, 0, 2, Qt::AlignRight);
    infoLayout->addWidget(label(QStringLiteral("Cli&ent"), m_client, info), 1, 0);
    infoLayout->addWidget(m_client, 1, 1);
    infoLayout->addWidget(m_clientName, 1, 2);
    infoLayout->addWidget(label(QStringLiteral("Desc&ription"), desc, info), 2, 0);
    infoLayout->addWidget(desc, 2, 1, 1, 2);
    infoLayout->setColumnStretch(2, 1);

    auto *estimates = new QGroupBox(QStringLiteral("Pr&oject Estimates"), this);
    auto *estLayout = new QFormLayout(estimates);
    QWidget *estHours = number("PJ_ESTHOUR", estimates, false);
    QWidget *estCost = number("PJ_ESTCOST", estimates, true);
    QWidget *estDate = date("PJ_ESTDATE", estimates);
    estLayout->addRow(label(QStringLiteral("Total Ho&urs"), estHours, estimates), estHours);
    estLayout->addRow(label(QStringLiteral("Total C&harges"), estCost, estimates), estCost);
    estLayout->addRow(label(QStringLiteral("Finish Da&te"), estDate, estimates), estDate);

    auto *actual = new QGroupBox(QStringLiteral("Project Actual"), this);
    auto *actLayout = new QFormLayout(actual);
    QWidget *started = date("PJ_STARTDT", actual);
    QWidget *hours = number("PJ_TOTHOUR", actual, false);
    QWidget *billings = number("PJ_TOTCHG", actual, true);
    QWidget *done = date("PJ_DONEDT", actual);
    actLayout->addRow(label(QStringLiteral("St&art Date"), started, actual), started);
    actLayout->addRow(label(QStringLiteral("Total H&ours"), hours, actual), hours);
    actLayout->addRow(label(QStringLiteral("Total &Billings"), billings, actual), billings);
    actLayout->addRow(label(QStringLiteral("Fi&nish Date"), done, actual), done);

    auto *groups = new QHBoxLayout;
    groups->addWidget(estimates);
    groups->addWidget(actual);

    m_new = button(QStringLiteral("&New"), "NewBtn", this);
    m_delete = button(QStringLiteral("&Delete"), "DeleteBtn", this);
    m_save = button(QStringLiteral("&Save"), "SaveBtn", this);
    m_cancel = button(QStringLiteral("&Cancel"), "CancelBtn", this);
    m_close = button(QStringLiteral("C&lose"), "CloseBtn", this);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : { m_new, m_delete, m_save, m_cancel, m_close })
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addLayout(groups);
    layout->addLayout(buttons);

    askCode = [this] {
        ui::TInputDialog dialog(this, ui::InputDialogMode::Project);
        return dialog.exec() == QDialog::Accepted ? dialog.code() : QString();
    };
    pickProject = [this](ui::Dataset &listing) {
        ui::PickListDialog dialog(&listing,
            { { QStringLiteral("PJ_CODE"), QStringLiteral("Project Code"), 10 },
                { QStringLiteral("PJ_DESC"), QStringLiteral("Description"), 40 },
                { QStringLiteral("PJ_CLIENT"), QStringLiteral("Client"), 6 } },
            QStringLiteral("Project Listing"), this);
        return dialog.exec() == QDialog::Accepted;
    };

    connect(m_new, &QPushButton::clicked, this, &TProjectForm::NewBtnClick);
    connect(m_delete, &QPushButton::clicked, this, &TProjectForm::DeleteBtnClick);
    connect(m_save, &QPushButton::clicked, this, &TProjectForm::SaveBtnClick);
    connect(m_cancel, &QPushButton::clicked, this, &TProjectForm::CancelBtnClick);
    connect(m_search, &QPushButton::clicked, this, &TProjectForm::SearchBtnClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_projects, &ui::Dataset::stateChanged, this, &TProjectForm::updateButtons);
    connect(&m_projects, &ui::Dataset::dataChanged, this, [this](const QString &field) {
        if (field.isEmpty() || field.compare(QStringLiteral("PJ_CLIENT"), Qt::CaseInsensitive) == 0)
            showClientName();
    });
    connect(&m_projects, &ui::Dataset::recordChanged, this, &TProjectForm::showClientName);

    ui::settleMnemonics(this);
    updateButtons();
    showClientName();
    m_desc->setFocus();
}

void TProjectForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        m_placement->restorePlacement();
        m_desc->setFocus();
    }
}

void TProjectForm::showClientName()
{
    try {
        m_clientName->setText(m_rules.clientName(m_projects.text(QStringLiteral("PJ_CLIENT"))));
    } catch (const std::exception &) {
        // Only a caption: the next change of the box tries again.
        m_clientName->clear();
    }
}

void TProjectForm::updateButtons()
{
    const ProjectRules::ButtonStates states = m_rules.buttonStates();
    m_new->setEnabled(states.newEnabled);
    m_delete->setEnabled(states.deleteEnabled);
    m_search->setEnabled(states.searchEnabled);
    m_save->setEnabled(states.saveEnabled);
    m_cancel->setEnabled(states.cancelEnabled);
    m_client->setEnabled(m_rules.clientEditable());
}

void TProjectForm::NewBtnClick()
{
    if (!m_rules.newProject(askCode))
        return;
    updateButtons();
    m_client->setFocus();
}

void TProjectForm::DeleteBtnClick()
{
    m_rules.remove();
}

void TProjectForm::SaveBtnClick()
{
    if (!m_rules.save())
        m_client->setFocus();
    updateButtons();
}

void TProjectForm::CancelBtnClick()
{
    m_rules.cancel();
    updateButtons();
}

void TProjectForm::SearchBtnClick()
{
    if (!m_rules.canSearch())
        return;
    try {
        // Refreshed: sees the projects added or deleted since the window opened.
        m_listing->setTag(QStringLiteral("PJ_CLIENT"));
        m_listing->gotoBookmark(m_projects.bookmark());
        if (!pickProject(*m_listing))
            return;
        m_projects.gotoBookmark(m_listing->bookmark());
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
    }
}

TProjectForm::~TProjectForm()
{
    try {
        m_rules.close();
    } catch (const std::exception &) {
        // The window is going: nothing left to tell the user.
    }
}

void TProjectForm::done(int result)
{
    // Every way of closing discards a pending change without asking and restores the order.
    try {
        m_rules.close();
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
    }
    updateButtons();
    m_placement->savePlacement();
    QDialog::done(result);
}

} // namespace reference
