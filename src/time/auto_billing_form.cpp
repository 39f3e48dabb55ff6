#include "time/auto_billing_form.h"

#include <functional>

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/action.h"
#include "ui/data_cursor.h"
#include "ui/db_combo_box.h"
#include "ui/db_lookup_combo.h"
#include "ui/db_number_edit.h"
#include "ui/engine_cursor.h"
#include "ui/field_binder.h"
#include "ui/messages.h"
#include "ui/mnemonics.h"
#include "ui/placement.h"

namespace timecap {

namespace {

// The project drop-down: its items are the projects of the client shown, read each time it
// drops down.
class ProjectBox : public ui::DbComboBox
{
public:
    using ui::DbComboBox::DbComboBox;
    std::function<void()> beforeDrop;
    void showPopup() override
    {
        if (beforeDrop)
            beforeDrop();
        ui::DbComboBox::showPopup();
    }
};

const char *const kHeadings[7]
    = { "Activity Code", "Hours", "Rate", "Total Amount", "Cycle", "Staff", "Project" };

QLabel *label(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

} // namespace

TAutoForm::TAutoForm(const std::string &dataDirectory, const ui::Dataset::Bookmark &current,
    ui::Dataset &staff, const ui::Dataset &projects, ui::Messages &messages, QWidget *parent)
    : QDialog(parent)
    , m_clients(QStringLiteral("AutoClientTable"))
    , m_activities(QStringLiteral("AutoActivityTable"))
    , m_rules(m_clients, projects, messages)
    , m_messages(messages)
    , m_placement(new ui::TPlacement(this))
{
    setObjectName(QStringLiteral("AutoForm"));
    setWindowTitle(QStringLiteral("Maintain Auto Billings"));
    m_placement->setEntry(QStringLiteral("AutoForm"));
    m_placement->setIniFileName(QStringLiteral("TARNW.INI"));

    ui::runAction(m_messages, [&] {
        m_clients.open(ui::EngineCursor::open(dataDirectory, "TWCLIENT"));
        m_clients.setTag(QStringLiteral("NAME"));
        m_clients.first();
        m_clients.gotoBookmark(current);
        m_activities.open(ui::EngineCursor::open(dataDirectory, "TWACT"));
        m_activities.setTag(QStringLiteral("ACTIVITY"));
        m_activities.first();
    });
    const ui::FieldBinder bind(m_clients, messages);

    // Client and slot.
    ClientCombo = new QComboBox(this);
    ClientCombo->setObjectName(QStringLiteral("ClientCombo"));
    ClientCombo->setMinimumWidth(260);
    connect(ClientCombo, &QComboBox::activated, this, &TAutoForm::chooseClient);
    SlotCombo = new QComboBox(this);
    SlotCombo->setObjectName(QStringLiteral("SlotCombo"));
    for (const char *item : { "Auto Billing One", "Auto Billing Two", "Auto Billing Three",
             "Auto Billing Four", "Auto Billing Five" })
        SlotCombo->addItem(QLatin1String(item));
    connect(SlotCombo, &QComboBox::activated, this, [this](int row) { chooseSlot(row + 1); });
    auto *top = new QHBoxLayout;
    top->addWidget(label(QStringLiteral("Clie&nt"), ClientCombo, this));
    top->addWidget(ClientCombo, 1);
    top->addSpacing(16);
    top->addWidget(label(QStringLiteral("Auto Billing to Edit:"), SlotCombo, this));
    top->addWidget(SlotCombo);

    // Summary: seven lists side by side, one row per slot.
    auto *summary = new QGridLayout;
    summary->setHorizontalSpacing(0);
    for (int i = 0; i < 7; ++i) {
        auto *list = new QListWidget(this);
        list->setObjectName(QStringLiteral("SummaryList%1").arg(i + 1));
        list->setFocusPolicy(Qt::NoFocus);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setFixedHeight(list->fontMetrics().height() * 5 + 14);
        connect(list, &QListWidget::itemClicked, this,
            [this, list](QListWidgetItem *item) { chooseSlot(list->row(item) + 1); });
        SummaryLists[std::size_t(i)] = list;
        auto *heading = new QLabel(QLatin1String(kHeadings[i]), this);
        heading->setIndent(4);
        list->setMinimumWidth(heading->sizeHint().width() + 12);
        summary->addWidget(heading, 0, i);
        summary->addWidget(list, 1, i);
        summary->setColumnStretch(i, i == 0 || i == 6 ? 3 : 2);
    }

    // The editors of the chosen slot.
    auto *editors = new QGroupBox(this);
    auto *grid = new QGridLayout(editors);
    ActivityCombo = new ui::DbLookupCombo(editors);
    ActivityCombo->setUpperCase(true);
    bind(ActivityCombo, QStringLiteral("ActivityCombo"), m_rules.field("D_ACT"));
    ActivityCombo->setLookup(&m_activities, QStringLiteral("ACTIVITY"),
        { { QStringLiteral("ACTIVITY"), QStringLiteral("Activity"), 10 },
            { QStringLiteral("DESC"), QStringLiteral("Description"), 30 } },
        QStringLiteral("Activity Listing"));
    auto *project = new ProjectBox(ui::DbComboBox::Kind::DropDownList, editors);
    project->beforeDrop = [this] { fillProjects(); };
    ProjectCombo = project;
    bind(ProjectCombo, QStringLiteral("ProjectCombo"), m_rules.field("D_PROJECT"));
    CycleCombo = new ui::DbComboBox(ui::DbComboBox::Kind::Typed, editors);
    for (int i = 1; i <= 10; ++i)
        CycleCombo->addValue(QString::number(i));
    bind(CycleCombo, QStringLiteral("CycleCombo"), m_rules.field("D_CYCLE"));
    StaffCombo = new ui::DbLookupCombo(editors);
    StaffCombo->setUpperCase(true);
    bind(StaffCombo, QStringLiteral("StaffCombo"), m_rules.field("D_EMPLOY"));
    StaffCombo->setLookup(&staff, QStringLiteral("EMPNUMBER"),
        { { QStringLiteral("EMPNUMBER"), QStringLiteral("Staff"), 4 },
            { QStringLiteral("EMPNAME"), QStringLiteral("Name"), 30 } },
        QStringLiteral("Staff Listing"));
    HoursEdit = new ui::DbNumberEdit(editors);
    bind(HoursEdit, QStringLiteral("HoursEdit"), m_rules.field("D_HOURS"));
    RateEdit = new ui::DbMoneyEdit(editors);
    bind(RateEdit, QStringLiteral("RateEdit"), m_rules.field("D_RATE"));
    connect(RateEdit, &QLineEdit::editingFinished, this, [this] { m_rules.rateLeft(); });
    TotalEdit = new ui::DbMoneyEdit(editors);
    bind(TotalEdit, QStringLiteral("TotalEdit"), m_rules.field("D_TOTAL"));
    grid->addWidget(label(QStringLiteral("&Activity Code"), ActivityCombo, editors), 0, 0);
    grid->addWidget(ActivityCombo, 0, 1);
    grid->addWidget(label(QStringLiteral("&Project"), ProjectCombo, editors), 0, 2);
    grid->addWidget(ProjectCombo, 0, 3);
    grid->addWidget(label(QStringLiteral("&Cycle"), CycleCombo, editors), 1, 0);
    grid->addWidget(CycleCombo, 1, 1);
    grid->addWidget(label(QStringLiteral("&Staff"), StaffCombo, editors), 1, 2);
    grid->addWidget(StaffCombo, 1, 3);
    grid->addWidget(label(QStringLiteral("&Hours"), HoursEdit, editors), 2, 0);
    grid->addWidget(HoursEdit, 2, 1);
    grid->addWidget(label(QStringLiteral("&Rate"), RateEdit, editors), 2, 2);
    grid->addWidget(RateEdit, 2, 3);
    grid->addWidget(label(QStringLiteral("&Total"), TotalEdit, editors), 3, 2);
    grid->addWidget(TotalEdit, 3, 3);

    const auto button = [this](const QString &caption, const char *name) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    SaveBtn = button(QStringLiteral("&Save"), "SaveBtn");
    CancelBtn = button(QStringLiteral("&Cancel"), "CancelBtn");
    CloseBtn = button(QStringLiteral("C&lose"), "CloseBtn");
    connect(SaveBtn, &QPushButton::clicked, this, [this] { m_rules.save(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { m_rules.cancel(); });
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : { SaveBtn, CancelBtn, CloseBtn })
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(summary);
    layout->addWidget(editors);
    layout->addLayout(buttons);
    ui::settleMnemonics(this);

    connect(&m_clients, &ui::Dataset::stateChanged, this, [this] { updateButtons(); });
    fillClients();
    fillProjects();
    buildSummary();
    updateButtons();
}

TAutoForm::~TAutoForm() = default;

void TAutoForm::fillClients()
{
    ClientCombo->clear();
    m_clientRows.clear();
    if (!m_clients.isOpen())
        return;
    const ui::Dataset::Bookmark current = m_clients.bookmark();
    auto reader = m_clients.cursor()->reader();
    const auto nameField = std::size_t(m_clients.fieldIndex(QStringLiteral("NAME")));
    int currentRow = -1;
    if (reader->first()) {
        do {
            if (reader->recNo() == current.recNo)
                currentRow = int(m_clientRows.size());
            m_clientRows.append(ui::Dataset::Bookmark{ reader->recNo() });
            ClientCombo->addItem(reader->value(nameField).toString());
        } while (reader->next());
    }
    ClientCombo->setCurrentIndex(currentRow);
}

void TAutoForm::chooseClient(int row)
{
    if (row < 0 || row >= m_clientRows.size())
        return;
    if (!m_rules.chooseClient(m_clientRows[row])) {
        // The change could not be stored: the box shows the client still being edited.
        const int shown = int(m_clientRows.indexOf(m_clients.bookmark()));
        ClientCombo->setCurrentIndex(shown);
        return;
    }
    ClientCombo->setCurrentIndex(row);
    fillProjects();
    buildSummary();
}

void TAutoForm::chooseSlot(int slot)
{
    if (slot < 1 || slot > kSlotCount)
        return;
    m_rules.chooseSlot(slot);
    SlotCombo->setCurrentIndex(slot - 1);
    bindEditors();
    buildSummary();
}

void TAutoForm::bindEditors()
{
    ActivityCombo->bind(&m_clients, m_rules.field("D_ACT"));
    ProjectCombo->bind(&m_clients, m_rules.field("D_PROJECT"));
    CycleCombo->bind(&m_clients, m_rules.field("D_CYCLE"));
    StaffCombo->bind(&m_clients, m_rules.field("D_EMPLOY"));
    HoursEdit->bind(&m_clients, m_rules.field("D_HOURS"));
    RateEdit->bind(&m_clients, m_rules.field("D_RATE"));
    TotalEdit->bind(&m_clients, m_rules.field("D_TOTAL"));
}

void TAutoForm::fillProjects()
{
    ProjectCombo->clear();
    ProjectCombo->addValue(QString());
    for (const QString &code : m_rules.projectCodes())
        ProjectCombo->addValue(code);
    if (ProjectCombo->link()->show)
        ProjectCombo->link()->show(); // the slot's project among the new items
}

void TAutoForm::buildSummary()
{
    const auto rows = m_rules.summary();
    for (std::size_t i = 0; i < SummaryLists.size(); ++i) {
        QListWidget *list = SummaryLists[i];
        list->clear();
        for (const SlotSummary &row : rows) {
            const QString *texts[7] = { &row.activity, &row.hours, &row.rate, &row.total,
                &row.cycle, &row.staff, &row.project };
            auto *item = new QListWidgetItem(*texts[i], list);
            if (i >= 1 && i <= 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        list->setCurrentRow(m_rules.slot() - 1);
    }
}

void TAutoForm::updateButtons()
{
    const bool editing = m_clients.isEditing();
    SaveBtn->setEnabled(editing);
    CancelBtn->setEnabled(editing);
    CloseBtn->setEnabled(!editing);
}

void TAutoForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        m_placement->restorePlacement();
    }
}

void TAutoForm::done(int result)
{
    // Closing by the frame drops a pending change without asking.
    m_rules.cancel();
    m_placement->savePlacement();
    m_clients.close();
    m_activities.close();
    QDialog::done(result);
}

} // namespace timecap
