#include "reports/rpt_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/clock.h"
#include "reports/report_format.h"
#include "reports/report_layout.h"
#include "ui/action.h"
#include "ui/cursor_scope.h"
#include "ui/dataset.h"
#include "ui/date_text.h"
#include "ui/messages.h"
#include "ui/pick_list_dialog.h"
#include "ui/placement.h"

namespace reports {

namespace {

QDate todayOf(const platform::Clock &clock)
{
    const auto d = clock.today();
    return QDate(int(d.year()), int(unsigned(d.month())), int(unsigned(d.day())));
}

QComboBox *codeCombo(const QString &name, QWidget *parent)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setMinimumContentsLength(10);
    return c;
}

QGroupBox *group(const QString &name, const QString &title, QWidget *parent)
{
    auto *g = new QGroupBox(title, parent);
    g->setObjectName(name);
    return g;
}

// Begin and End rows of a range group.
void addRange(QGroupBox *g, QWidget *begin, QWidget *beginBtn, QWidget *end, QWidget *endBtn)
{
    auto *grid = new QGridLayout(g);
    grid->addWidget(new QLabel(QStringLiteral("Begin"), g), 0, 0);
    grid->addWidget(begin, 0, 1);
    if (beginBtn)
        grid->addWidget(beginBtn, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("End"), g), 1, 0);
    grid->addWidget(end, 1, 1);
    if (endBtn)
        grid->addWidget(endBtn, 1, 2);
    grid->setColumnStretch(1, 1);
}

// Every code of a table in the order of its tag, the first and last as the range's defaults.
void fillCodes(ui::Dataset &d, const QString &tag, const QString &field, QComboBox *begin,
    QComboBox *end)
{
    if (!d.isOpen())
        return;
    ui::CursorScope scope(d);
    d.setTag(tag);
    d.cancelRange();
    QStringList codes;
    for (d.first(); !d.eof(); d.next())
        codes << d.text(field);
    begin->addItems(codes);
    end->addItems(codes);
    begin->setCurrentText(codes.isEmpty() ? QString() : codes.first());
    end->setCurrentText(codes.isEmpty() ? QString() : codes.last());
}

std::string comboText(const QComboBox *c)
{
    return latin1(c->currentText());
}

} // namespace

// ---- DatePicker ------------------------------------------------------------------------------

DatePicker::DatePicker(const platform::Clock &clock, QWidget *parent)
    : QLineEdit(parent)
    , m_clock(clock)
{
    setMaxLength(10);
    setPlaceholderText(QStringLiteral("  /  /    "));
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 8);
}

std::optional<QDate> DatePicker::date(bool *valid) const
{
    const ui::DateText::Parsed p = ui::DateText::parse(text());
    if (valid)
        *valid = p.status != ui::DateText::Status::Invalid;
    if (p.status == ui::DateText::Status::Valid)
        return p.date;
    return std::nullopt;
}

void DatePicker::focusInEvent(QFocusEvent *e)
{
    if (text().trimmed().isEmpty())
        setText(ui::DateText::format(todayOf(m_clock)));
    QLineEdit::focusInEvent(e);
}

// ---- TRptOptions -----------------------------------------------------------------------------

TRptOptions::TRptOptions(
    ReportData &tables, ui::Messages &messages, const platform::Clock &clock, QWidget *parent)
    : QDialog(parent)
    , m_data(tables)
    , m_messages(messages)
    , m_clock(clock)
{
    setObjectName(QStringLiteral("RptOptions"));
    setWindowTitle(QStringLiteral("Report Printing Options"));
    setSizeGripEnabled(true);

    ClientRangeGroup = group(QStringLiteral("ClientRangeGroup"), QStringLiteral("Client &Range"), this);
    ClientBeginEdit = new QLineEdit(ClientRangeGroup);
    ClientBeginEdit->setObjectName(QStringLiteral("ClientBeginEdit"));
    ClientEndEdit = new QLineEdit(ClientRangeGroup);
    ClientEndEdit->setObjectName(QStringLiteral("ClientEndEdit"));
    for (QLineEdit *e : { ClientBeginEdit, ClientEndEdit }) {
        e->setMaxLength(30);
        e->setMinimumWidth(e->fontMetrics().averageCharWidth() * 28);
        e->installEventFilter(this);
    }
    const auto listButton = [this](const QString &name, QLineEdit *edit) {
        auto *b = new QToolButton(ClientRangeGroup);
        b->setObjectName(name);
        b->setText(QStringLiteral("..."));
        b->setToolTip(QStringLiteral("Select Clients from a list"));
        connect(b, &QToolButton::clicked, this, [this, edit] { pickClient(edit); });
        return b;
    };
    ClientBeginBtn = listButton(QStringLiteral("ClientBeginBtn"), ClientBeginEdit);
    ClientEndBtn = listButton(QStringLiteral("ClientEndBtn"), ClientEndEdit);
    addRange(ClientRangeGroup, ClientBeginEdit, ClientBeginBtn, ClientEndEdit, ClientEndBtn);
    InactiveCheck = new QCheckBox(QStringLiteral("&Include Inactives"), ClientRangeGroup);
    InactiveCheck->setObjectName(QStringLiteral("InactiveCheck"));
    static_cast<QGridLayout *>(ClientRangeGroup->layout())->addWidget(InactiveCheck, 2, 1);

    ClientCycleGroup = group(QStringLiteral("ClientCycleGroup"), QStringLiteral("Client C&ycle"), this);
    CycleFromSpin = new QSpinBox(ClientCycleGroup);
    CycleFromSpin->setObjectName(QStringLiteral("CycleFromSpin"));
    CycleToSpin = new QSpinBox(ClientCycleGroup);
    CycleToSpin->setObjectName(QStringLiteral("CycleToSpin"));
    for (QSpinBox *s : { CycleFromSpin, CycleToSpin })
        s->setRange(1, 10);
    CycleFromSpin->setValue(1);
    CycleToSpin->setValue(10);
    auto *cycleRow = new QHBoxLayout(ClientCycleGroup);
    cycleRow->addWidget(new QLabel(QStringLiteral("Cycle"), ClientCycleGroup));
    cycleRow->addWidget(CycleFromSpin);
    cycleRow->addWidget(new QLabel(QStringLiteral("To"), ClientCycleGroup));
    cycleRow->addWidget(CycleToSpin);
    cycleRow->addStretch();

    ActivityRangeGroup = group(QStringLiteral("ActivityRangeGroup"), QStringLiteral("&Activity Range"), this);
    ActivityBeginCombo = codeCombo(QStringLiteral("ActivityBeginCombo"), ActivityRangeGroup);
    ActivityEndCombo = codeCombo(QStringLiteral("ActivityEndCombo"), ActivityRangeGroup);
    addRange(ActivityRangeGroup, ActivityBeginCombo, nullptr, ActivityEndCombo, nullptr);

    ProjectRangeGroup = group(QStringLiteral("ProjectRangeGroup"), QStringLiteral("&Project Range"), this);
    ProjectBeginCombo = codeCombo(QStringLiteral("ProjectBeginCombo"), ProjectRangeGroup);
    ProjectEndCombo = codeCombo(QStringLiteral("ProjectEndCombo"), ProjectRangeGroup);
    addRange(ProjectRangeGroup, ProjectBeginCombo, nullptr, ProjectEndCombo, nullptr);

    StaffRangeGroup = group(QStringLiteral("StaffRangeGroup"), QStringLiteral("Staf&f Range"), this);
    StaffBeginCombo = codeCombo(QStringLiteral("StaffBeginCombo"), StaffRangeGroup);
    StaffEndCombo = codeCombo(QStringLiteral("StaffEndCombo"), StaffRangeGroup);
    addRange(StaffRangeGroup, StaffBeginCombo, nullptr, StaffEndCombo, nullptr);

    TimeSlipsGroup = group(QStringLiteral("TimeSlipsGroup"), QStringLiteral("&Time Slips"), this);
    DateFromEdit = new DatePicker(clock, TimeSlipsGroup);
    DateFromEdit->setObjectName(QStringLiteral("DateFromEdit"));
    DateToEdit = new DatePicker(clock, TimeSlipsGroup);
    DateToEdit->setObjectName(QStringLiteral("DateToEdit"));
    ExpenseCheck = new QCheckBox(QStringLiteral("Include Expense Slips"), TimeSlipsGroup);
    ExpenseCheck->setObjectName(QStringLiteral("ExpenseCheck"));
    ExpenseCheck->setChecked(true);
    auto *dates = new QGridLayout(TimeSlipsGroup);
    dates->addWidget(new QLabel(QStringLiteral("Date"), TimeSlipsGroup), 0, 0);
    dates->addWidget(DateFromEdit, 0, 1);
    dates->addWidget(new QLabel(QStringLiteral("To"), TimeSlipsGroup), 0, 2);
    dates->addWidget(DateToEdit, 0, 3);
    dates->addWidget(ExpenseCheck, 1, 0, 1, 4);

    SlipStatusGroup = group(QStringLiteral("SlipStatusGroup"), QStringLiteral("&Slip Status"), this);
    auto *status = new QGridLayout(SlipStatusGroup);
    const auto statusCheck = [&](const QString &name, const QString &text, int row, int col) {
        auto *c = new QCheckBox(text, SlipStatusGroup);
        c->setObjectName(name);
        c->setChecked(true);
        status->addWidget(c, row, col);
        return c;
    };
    PendingCheck = statusCheck(QStringLiteral("PendingCheck"), QStringLiteral("Pending"), 0, 0);
    CompletedCheck = statusCheck(QStringLiteral("CompletedCheck"), QStringLiteral("Completed"), 0, 1);
    BilledCheck = statusCheck(QStringLiteral("BilledCheck"), QStringLiteral("Billed"), 1, 0);
    NotBilledCheck = statusCheck(QStringLiteral("NotBilledCheck"), QStringLiteral("Not Billed"), 1, 1);

    DetailedCheck = new QCheckBox(QStringLiteral("&Detailed Report"), this);
    DetailedCheck->setObjectName(QStringLiteral("DetailedCheck"));
    DetailedCheck->setChecked(true);
    DetailedCheck->hide();

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    QPushButton *cancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    connect(ok, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *grid = new QGridLayout(this);
    grid->addWidget(ClientRangeGroup, 0, 0, 1, 2);
    grid->addWidget(ClientCycleGroup, 1, 0);
    grid->addWidget(StaffRangeGroup, 1, 1);
    grid->addWidget(ActivityRangeGroup, 2, 0);
    grid->addWidget(ProjectRangeGroup, 2, 1);
    grid->addWidget(TimeSlipsGroup, 3, 0);
    grid->addWidget(SlipStatusGroup, 3, 1);
    grid->addWidget(DetailedCheck, 4, 0);
    grid->addWidget(buttons, 5, 0, 1, 2);

    auto *placement = new ui::TPlacement(this);
    placement->setIniFileName(QStringLiteral("TARNW.INI"));
    placement->setEntry(QStringLiteral("RptOptions"));

    ui::runAction(m_messages, [this] { fillDefaults(); });
    computeSlipDates();
}

void TRptOptions::fillDefaults()
{
    ui::Dataset &clients = m_data.clients;
    if (clients.isOpen()) {
        ui::CursorScope scope(clients);
        clients.setTag(QStringLiteral("NAME"));
        clients.cancelRange();
        clients.first();
        ClientBeginEdit->setText(clients.eof() ? QString() : clients.text(QStringLiteral("NAME")));
        clients.last();
        ClientEndEdit->setText(clients.text(QStringLiteral("NAME")));
    }
    fillCodes(m_data.activities, QStringLiteral("ACTIVITY"), QStringLiteral("ACTIVITY"),
        ActivityBeginCombo, ActivityEndCombo);
    fillCodes(m_data.projects, QStringLiteral("PJ_CODE"), QStringLiteral("PJ_CODE"),
        ProjectBeginCombo, ProjectEndCombo);
    fillCodes(m_data.staff, QStringLiteral("EMPNUMBER"), QStringLiteral("EMPNUMBER"),
        StaffBeginCombo, StaffEndCombo);
}

void TRptOptions::computeSlipDates()
{
    const DayNumber today = todayOf(m_clock).toJulianDay();
    const auto day = [](const DatePicker *p) -> std::optional<DayNumber> {
        if (const auto d = p->date())
            return d->toJulianDay();
        return std::nullopt;
    };
    m_slipDates = slipDateRange(day(DateFromEdit), day(DateToEdit), today);
}

const SelectionOptions &TRptOptions::options()
{
    SelectionOptions &o = m_options;
    o.clientBegin = latin1(ClientBeginEdit->text());
    o.clientEnd = latin1(ClientEndEdit->text());
    o.includeInactives = InactiveCheck->isChecked();
    o.cycleFrom = CycleFromSpin->value();
    o.cycleTo = CycleToSpin->value();
    o.activityBegin = comboText(ActivityBeginCombo);
    o.activityEnd = comboText(ActivityEndCombo);
    o.projectBegin = comboText(ProjectBeginCombo);
    o.projectEnd = comboText(ProjectEndCombo);
    o.staffBegin = comboText(StaffBeginCombo);
    o.staffEnd = comboText(StaffEndCombo);
    o.slipStart = m_slipDates.start;
    o.slipEnd = m_slipDates.end;
    o.includeExpenseSlips = ExpenseCheck->isChecked();
    o.pending = PendingCheck->isChecked();
    o.completed = CompletedCheck->isChecked();
    o.billed = BilledCheck->isChecked();
    o.notBilled = NotBilledCheck->isChecked();
    o.detailed = DetailedCheck->isChecked();
    return o;
}

void TRptOptions::prepareFor(const QString &reportName)
{
    const GroupState s = groupsFor(reportName.toStdString());
    const std::pair<QGroupBox *, int> groups[] = { { ClientRangeGroup, reports::ClientRangeGroup },
        { ClientCycleGroup, reports::ClientCycleGroup },
        { ActivityRangeGroup, reports::ActivityRangeGroup },
        { ProjectRangeGroup, reports::ProjectRangeGroup },
        { StaffRangeGroup, reports::StaffRangeGroup }, { TimeSlipsGroup, reports::TimeSlipsGroup },
        { SlipStatusGroup, reports::SlipStatusGroup } };
    for (auto [box, bit] : groups)
        box->setEnabled(true);
    for (auto [box, bit] : groups)
        box->setEnabled((s.enabled & bit) != 0);
    TimeSlipsGroup->setTitle(
        s.dateRangeCaption ? QStringLiteral("Date Range") : QStringLiteral("&Time Slips"));
    ExpenseCheck->setVisible(!s.expenseHidden);
}

void TRptOptions::setDetailed(bool on)
{
    DetailedCheck->setChecked(on);
}

bool TRptOptions::detailed() const
{
    return DetailedCheck->isChecked();
}

void TRptOptions::lookUpClient(QLineEdit *edit)
{
    ui::Dataset &clients = m_data.clients;
    if (!clients.isOpen())
        return;
    const QString typed = edit->text();
    bool found = false;
    QString name;
    if (!ui::runAction(m_messages, [&] {
            ui::CursorScope scope(clients);
            clients.setTag(QStringLiteral("NAME"));
            clients.cancelRange();
            clients.findNearest({ typed });
            name = clients.eof() ? QString() : clients.text(QStringLiteral("NAME"));
            found = !clients.eof() && name.startsWith(typed);
        }))
        return;
    if (found)
        edit->setText(name);
    else
        pickClient(edit);
}

bool TRptOptions::pickClient(QLineEdit *edit)
{
    ui::Dataset &clients = m_data.clients;
    if (!clients.isOpen())
        return false;
    bool chosen = false;
    QString name;
    ui::runAction(m_messages, [&] {
        ui::CursorScope scope(clients);
        clients.setTag(QStringLiteral("NAME"));
        clients.cancelRange();
        clients.findNearest({ edit->text() });
        if (clients.eof())
            clients.last();
        if (runSearchList) {
            chosen = runSearchList(clients);
        } else {
            ui::PickListDialog list(&clients,
                { { QStringLiteral("NAME"), QStringLiteral("NAME"), 30 },
                    { QStringLiteral("NUMBER"), QStringLiteral("NUMBER"), 6 } },
                QStringLiteral("Search"), this);
            chosen = list.exec() == QDialog::Accepted;
        }
        if (chosen)
            name = clients.text(QStringLiteral("NAME"));
    });
    if (!chosen)
        return false;
    edit->setText(name);
    if (edit == ClientBeginEdit)
        ClientEndEdit->setFocus();
    return true;
}

bool TRptOptions::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut
        && (watched == ClientBeginEdit || watched == ClientEndEdit) && isVisible()) {
        auto *edit = static_cast<QLineEdit *>(watched);
        if (edit->isModified()) {
            edit->setModified(false);
            QTimer::singleShot(0, this, [this, edit] { lookUpClient(edit); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TRptOptions::OKBtnClick()
{
    for (DatePicker *p : { DateFromEdit, DateToEdit }) {
        bool valid = true;
        p->date(&valid);
        if (!valid) {
            m_messages.error(QStringLiteral("%1 is not a valid date.").arg(p->text().trimmed()));
            p->setFocus();
            return;
        }
    }
    computeSlipDates();
    accept();
}

void TRptOptions::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!m_placed) {
        m_placed = true;
        if (auto *p = findChild<ui::TPlacement *>(QString(), Qt::FindDirectChildrenOnly))
            p->restorePlacement();
    }
}

void TRptOptions::done(int r)
{
    if (auto *p = findChild<ui::TPlacement *>(QString(), Qt::FindDirectChildrenOnly))
        p->savePlacement();
    QDialog::done(r);
}

} // namespace reports
