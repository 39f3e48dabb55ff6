#include "time/time_slip_form.h"

#include <functional>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/db_check_box.h"
#include "ui/db_combo_box.h"
#include "ui/db_date_edit.h"
#include "ui/db_edit.h"
#include "ui/db_lookup_combo.h"
#include "ui/db_memo.h"
#include "ui/db_number_edit.h"
#include "ui/db_radio_group.h"
#include "ui/field_binder.h"
#include "ui/messages.h"
#include "ui/mnemonics.h"
#include "ui/placement.h"

namespace timecap {

namespace {

constexpr int kTickMs = 10000;

// A look-up or list box that runs a step around its drop-down: `beforeDrop` (the project list
// is rebuilt each time it drops down), `afterDrop` (a code picked from the pick list counts as
// the box changed).
template <typename Base> class DropHookBox : public Base
{
public:
    using Base::Base;
    std::function<void()> beforeDrop;
    std::function<void()> afterDrop;
    void showPopup() override
    {
        if (beforeDrop)
            beforeDrop();
        Base::showPopup();
        if (afterDrop)
            afterDrop();
    }
};

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

TTimeslipform::TTimeslipform(ui::Dataset &slips, ui::Dataset &clients, ui::Dataset &activities,
    ui::Dataset &staff, const ui::Dataset &projects, ui::Dataset &track, ui::Messages &messages,
    const platform::Clock &clock, SlipMemory &memory, bool existing, QWidget *parent)
    : QDialog(parent)
    , m_slips(slips)
    , m_clients(clients)
    , m_projects(projects)
    , m_rules(slips, clients, activities, staff, track, messages, clock, memory)
    , m_placement(new ui::TPlacement(this))
    , m_ticker(new QTimer(this))
{
    setObjectName(QStringLiteral("TimeSlipForm"));
    setWindowTitle(QStringLiteral("Time Slip Entry"));
    m_placement->setEntry(QStringLiteral("TimeSlipForm"));
    m_placement->setIniFileName(QStringLiteral("TARNW.INI"));
    m_ticker->setInterval(kTickMs);
    connect(m_ticker, &QTimer::timeout, this, [this] { m_rules.tick(); });
    m_rules.onTimerDisplay = [this](bool on) { timerDisplay(on); };
    const ui::FieldBinder bind(slips, messages);

    // Who and what.
    auto *slip = new QGroupBox(this);
    auto *grid = new QGridLayout(slip);
    m_client = new QComboBox(slip);
    m_client->setObjectName(QStringLiteral("ClientCombo"));
    m_client->setMinimumWidth(220);
    connect(m_client, &QComboBox::activated, this, &TTimeslipform::clientChosen);
    auto *activity = new DropHookBox<ui::DbLookupCombo>(slip);
    activity->setUpperCase(true);
    bind(activity, QStringLiteral("SL_ACTCombo"), QStringLiteral("SL_ACT"));
    activity->setLookup(&activities, QStringLiteral("ACTIVITY"),
        { { QStringLiteral("ACTIVITY"), QStringLiteral("Activity"), 10 },
            { QStringLiteral("DESC"), QStringLiteral("Description"), 30 } },
        QStringLiteral("Activity Listing"));
    activity->afterDrop = [this] { m_rules.activityChanged(); };
    connect(activity->lineEdit(), &QLineEdit::editingFinished, this,
        [this] { m_rules.activityChanged(); });
    activity->setMinimumWidth(150);
    m_activity = activity;
    auto *project = new DropHookBox<ui::DbComboBox>(ui::DbComboBox::Kind::DropDownList, slip);
    project->beforeDrop = [this] { fillProjects(); };
    bind(project, QStringLiteral("SL_PROJECTCombo"), QStringLiteral("SL_PROJECT"));
    project->setMinimumWidth(120);
    m_project = project;
    auto *employ = new ui::DbLookupCombo(slip);
    employ->setUpperCase(true);
    bind(employ, QStringLiteral("SL_EMPLOYCombo"), QStringLiteral("SL_EMPLOY"));
    employ->setLookup(&staff, QStringLiteral("EMPNUMBER"),
        { { QStringLiteral("EMPNUMBER"), QStringLiteral("Staff"), 4 },
            { QStringLiteral("EMPNAME"), QStringLiteral("Name"), 30 } },
        QStringLiteral("Staff Listing"));
    employ->setMaximumWidth(80);
    grid->addWidget(new QLabel(QStringLiteral("Client:"), slip), 0, 0);
    grid->addWidget(m_client, 0, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("&Activity"), activity, slip), 1, 0);
    grid->addWidget(activity, 1, 1);
    grid->addWidget(label(QStringLiteral("&Project"), project, slip), 1, 2);
    grid->addWidget(project, 1, 3);
    grid->addWidget(label(QStringLiteral("Sta&ff"), employ, slip), 2, 0);
    grid->addWidget(employ, 2, 1);

    // Price.
    auto *source = new ui::DbRadioGroup(QStringLiteral("Rate So&urce"), this);
    source->addItem(QStringLiteral("Client"), 1);
    source->addItem(QStringLiteral("Employee"), 2);
    source->addItem(QStringLiteral("Activity"), 3);
    source->addItem(QStringLiteral("Flat"), 4);
    bind(source, QStringLiteral("SL_RATESRCGroup"), QStringLiteral("SL_RATESRC"));
    // On the button group, connected after the radio group's own handler: the rules then read
    // the source just chosen, not the one before (a button's own clicked comes first).
    connect(source->button(0)->group(), &QButtonGroup::idClicked, this, [this] {
        m_rules.rateList();
        m_rules.applyFlatAmount();
    });
    auto *price = new QGroupBox(this);
    auto *priceGrid = new QGridLayout(price);
    auto *rate = new ui::DbMoneyEdit(price);
    bind(rate, QStringLiteral("SL_RATEEdit"), QStringLiteral("SL_RATE"));
    connect(rate, &QLineEdit::editingFinished, this, [this] { m_rules.recomputeTotal(); });
    m_rateList = new QToolButton(price);
    m_rateList->setObjectName(QStringLiteral("RateListButton"));
    m_rateList->setArrowType(Qt::DownArrow);
    connect(m_rateList, &QToolButton::clicked, this, &TTimeslipform::showRateMenu);
    auto *total = new ui::DbMoneyEdit(price);
    bind(total, QStringLiteral("SL_TOTALEdit"), QStringLiteral("SL_TOTAL"));
    auto *taxable = new ui::DbCheckBox(QStringLiteral("Ta&xable"), price);
    bind(taxable, QStringLiteral("SL_TAXABLECheck"), QStringLiteral("SL_TAXABLE"), QStringLiteral("Y"),
        QStringLiteral("N"));
    m_completed = new QCheckBox(QStringLiteral("Co&mpleted"), price);
    m_completed->setObjectName(QStringLiteral("CompletedCheck"));
    connect(m_completed, &QCheckBox::clicked, this,
        [this](bool ticked) { m_rules.completedClicked(ticked); });
    auto *rateRow = new QHBoxLayout;
    rateRow->setSpacing(0);
    rateRow->addWidget(rate);
    rateRow->addWidget(m_rateList);
    priceGrid->addWidget(label(QStringLiteral("Billin&g Rate"), rate, price), 0, 0);
    priceGrid->addLayout(rateRow, 0, 1);
    priceGrid->addWidget(label(QStringLiteral("Billi&ng Total"), total, price), 1, 0);
    priceGrid->addWidget(total, 1, 1);
    priceGrid->addWidget(taxable, 2, 0);
    priceGrid->addWidget(m_completed, 2, 1);
    auto *priceRow = new QHBoxLayout;
    priceRow->addWidget(source);
    priceRow->addWidget(price, 1);

    // When.
    auto *when = new QGroupBox(this);
    auto *whenGrid = new QGridLayout(when);
    auto *timeBeg = new ui::DbEdit(when);
    bind(timeBeg, QStringLiteral("SL_TIMEBEGEdit"), QStringLiteral("SL_TIMEBEG"), 5);
    connect(timeBeg, &QLineEdit::editingFinished, this, [this] { timeLeft(false); });
    m_timeBeg = timeBeg;
    auto *begPm = new ui::DbCheckBox(QStringLiteral("PM"), when);
    bind(begPm, QStringLiteral("SL_BEGISPMCheck"), QStringLiteral("SL_BEGISPM"), QStringLiteral("Y"),
        QStringLiteral("N"));
    auto *dateBeg = new ui::DbDateEdit(when);
    bind(dateBeg, QStringLiteral("SL_DATEBEGEdit"), QStringLiteral("SL_DATEBEG"));
    connect(dateBeg, &QLineEdit::editingFinished, this, [this] { m_rules.dateStartedLeft(); });
    auto *dateEnd = new ui::DbDateEdit(when);
    bind(dateEnd, QStringLiteral("SL_DATEENDEdit"), QStringLiteral("SL_DATEEND"));
    auto *timeEnd = new ui::DbEdit(when);
    bind(timeEnd, QStringLiteral("SL_TIMEENDEdit"), QStringLiteral("SL_TIMEEND"), 5);
    connect(timeEnd, &QLineEdit::editingFinished, this, [this] { timeLeft(true); });
    m_timeEnd = timeEnd;
    auto *endPm = new ui::DbCheckBox(QStringLiteral("PM"), when);
    bind(endPm, QStringLiteral("SL_ENDISPMCheck"), QStringLiteral("SL_ENDISPM"), QStringLiteral("Y"),
        QStringLiteral("N"));
    auto *hours = new ui::DbNumberEdit(when);
    bind(hours, QStringLiteral("SL_HOURSEdit"), QStringLiteral("SL_HOURS"));
    connect(hours, &QLineEdit::editingFinished, this, [this] { m_rules.recomputeTotal(); });
    // Entering the hours box recomputes them from the times (a PM box ticked since).
    connect(qApp, &QApplication::focusChanged, this, [this, hours](QWidget *, QWidget *now) {
        if (now == hours && m_slips.isEditing())
            m_rules.hoursFromTimes();
    });
    m_timer = button(QStringLiteral("Start Timer"), "TimerBtn", when);
    connect(m_timer, &QPushButton::clicked, this, [this] { m_rules.timerButton(); });
    m_clockPicture = new QLabel(when);
    m_clockPicture->setObjectName(QStringLiteral("ClockPicture"));
    m_clockPicture->setPixmap(style()->standardIcon(QStyle::SP_BrowserReload).pixmap(24, 24));
    m_clockPicture->hide();
    whenGrid->addWidget(new QLabel(QStringLiteral("Time Started"), when), 0, 0);
    whenGrid->addWidget(timeBeg, 0, 1);
    whenGrid->addWidget(begPm, 0, 2);
    whenGrid->addWidget(label(QStringLiteral("Date St&arted"), dateBeg, when), 0, 3);
    whenGrid->addWidget(dateBeg, 0, 4);
    whenGrid->addWidget(label(QStringLiteral("Time &Ended"), timeEnd, when), 1, 0);
    whenGrid->addWidget(timeEnd, 1, 1);
    whenGrid->addWidget(endPm, 1, 2);
    whenGrid->addWidget(label(QStringLiteral("&Date Ended"), dateEnd, when), 1, 3);
    whenGrid->addWidget(dateEnd, 1, 4);
    whenGrid->addWidget(label(QStringLiteral("Total &Hours"), hours, when), 2, 0);
    whenGrid->addWidget(hours, 2, 1);
    auto *timerRow = new QHBoxLayout;
    timerRow->addWidget(m_timer);
    timerRow->addWidget(m_clockPicture);
    timerRow->addStretch();
    whenGrid->addLayout(timerRow, 2, 3, 1, 2);

    auto *descCln = new ui::DbMemo(this);
    bind(descCln, QStringLiteral("SL_DESCCLNMemo"), QStringLiteral("SL_DESCCLN"));
    auto *descInt = new ui::DbMemo(this);
    bind(descInt, QStringLiteral("SL_DESCINTMemo"), QStringLiteral("SL_DESCINT"));
    for (auto *memo : { descCln, descInt })
        memo->setMinimumHeight(60);

    m_save = button(QStringLiteral("&Save"), "SaveBtn", this);
    m_save->setDefault(true);
    m_cancel = button(QStringLiteral("&Cancel"), "CancelBtn", this);
    m_new = button(QStringLiteral("&New"), "NewBtn", this);
    m_exit = button(QStringLiteral("&Exit"), "ExitBtn", this);
    connect(m_save, &QPushButton::clicked, this, &TTimeslipform::saveClicked);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_rules.cancel(); });
    connect(m_new, &QPushButton::clicked, this, [this] { openSlip(false); });
    connect(m_exit, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : { m_save, m_cancel, m_new, m_exit })
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(slip);
    layout->addLayout(priceRow);
    layout->addWidget(when);
    layout->addWidget(label(QStringLiteral("Billing Descripti&on:"), descCln, this));
    layout->addWidget(descCln);
    layout->addWidget(label(QStringLiteral("&Internal Description:"), descInt, this));
    layout->addWidget(descInt);
    layout->addLayout(buttons);

    ui::settleMnemonics(this);
    connect(&slips, &ui::Dataset::stateChanged, this, &TTimeslipform::updateButtons);
    m_homeClient = clients.bookmark();
    fillClients();
    openSlip(existing);
}

TTimeslipform::~TTimeslipform()
{
    m_rules.onTimerDisplay = nullptr;
}

void TTimeslipform::showEvent(QShowEvent *event)
{
    m_placement->restorePlacement();
    QDialog::showEvent(event);
}

void TTimeslipform::fillClients()
{
    const ui::Dataset::Bookmark current = m_clients.bookmark();
    m_client->clear();
    m_clientRows.clear();
    int currentRow = -1;
    if (m_clients.isOpen() && !m_clients.isEmpty()) {
        for (m_clients.first(); !m_clients.eof(); m_clients.next()) {
            if (m_clients.bookmark() == current)
                currentRow = int(m_clientRows.size());
            m_clientRows << m_clients.bookmark();
            m_client->addItem(m_clients.text(QStringLiteral("NAME")));
        }
        m_clients.gotoBookmark(current);
    }
    m_client->setCurrentIndex(currentRow);
}

void TTimeslipform::clientChosen(int index)
{
    if (index >= 0 && index < m_clientRows.size())
        m_clients.gotoBookmark(m_clientRows.at(index));
    fillProjects();
}

void TTimeslipform::fillProjects()
{
    auto *box = static_cast<ui::DbComboBox *>(m_project);
    box->clear();
    box->addValue(QString());
    if (m_projects.isOpen()) {
        auto reader = m_projects.cursor()->reader();
        const QString client = m_clients.text(QStringLiteral("NUMBER"));
        const auto clientField = std::size_t(m_projects.fieldIndex(QStringLiteral("PJ_CLIENT")));
        const auto codeField = std::size_t(m_projects.fieldIndex(QStringLiteral("PJ_CODE")));
        reader->cancelRange();
        reader->setTag(QStringLiteral("Client_Cod"));
        reader->findNearest({ client });
        if (reader->recNo() != 0) {
            do {
                if (reader->value(clientField).toString() != client)
                    break;
                box->addValue(reader->value(codeField).toString());
            } while (reader->next());
        }
    }
    if (box->link()->show)
        box->link()->show(); // the slip's project among the new items
}

void TTimeslipform::openSlip(bool existing)
{
    m_timer->setText(QStringLiteral("Start Timer"));
    m_clockPicture->hide();
    if (!existing && m_clients.bookmark() != m_homeClient) {
        // "&New" starts again from the main window's client, whatever the box was set to.
        m_clients.gotoBookmark(m_homeClient);
        fillClients();
    }
    // A slip locked by another user throws here, with the engine's message, to the caller.
    if (existing) {
        m_completed->setChecked(m_rules.openExisting());
    } else {
        m_rules.openNew();
        m_completed->setChecked(false);
    }
    m_rules.rateList();
    fillProjects();
    updateButtons();
    m_activity->setFocus();
}

void TTimeslipform::showRateMenu()
{
    const QStringList rates = m_rules.rateList();
    QMenu menu(this);
    for (const QString &r : rates)
        menu.addAction(r);
    const QAction *chosen = menu.exec(m_rateList->mapToGlobal(QPoint(0, m_rateList->height())));
    if (!chosen)
        return;
    m_slips.setValue(QStringLiteral("SL_RATE"), chosen->text().toDouble());
    m_rules.recomputeTotal();
}

void TTimeslipform::timeLeft(bool endTime)
{
    QLineEdit *box = endTime ? m_timeEnd : m_timeBeg;
    if (!m_slips.isEditing() && box->text().trimmed().isEmpty())
        return;
    const NormalisedTime r = m_rules.timeLeft(endTime, box->text());
    if (r.invalid)
        box->setFocus();
}

void TTimeslipform::timerDisplay(bool on)
{
    m_timer->setText(on ? QStringLiteral("Stop Timer") : QStringLiteral("Start Timer"));
    m_clockPicture->setVisible(on);
    if (on)
        m_ticker->start();
    else
        m_ticker->stop();
}

void TTimeslipform::updateButtons()
{
    const bool editing = m_slips.isEditing();
    m_new->setEnabled(!editing);
    m_exit->setEnabled(!editing);
    m_save->setEnabled(editing);
    m_cancel->setEnabled(editing);
    m_timer->setEnabled(editing);
}

void TTimeslipform::saveClicked()
{
    const TimeSlipRules::SaveResult result = m_rules.save();
    if (result == TimeSlipRules::SaveResult::Incomplete)
        m_activity->setFocus();
    else if (result != TimeSlipRules::SaveResult::Failed)
        m_new->setFocus();
}

void TTimeslipform::done(int result)
{
    if (!m_closing) {
        m_closing = true;
        m_rules.close();
        m_ticker->stop();
        m_placement->savePlacement();
    }
    QDialog::done(result);
}

} // namespace timecap
