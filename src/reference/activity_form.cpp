#include "reference/activity_form.h"

#include <exception>

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dataset.h"
#include "ui/db_check_box.h"
#include "ui/db_edit.h"
#include "ui/db_number_edit.h"
#include "ui/db_radio_group.h"
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

void openActivities(ui::Dataset &activities, const ui::Dataset &slips, const ui::Dataset &setup,
    ui::Messages &messages, QWidget *parent)
{
    TActivityForm form(activities, slips, setup, messages, parent);
    form.exec();
}

TActivityForm::TActivityForm(ui::Dataset &activities, const ui::Dataset &slips,
    const ui::Dataset &setup, ui::Messages &messages, QWidget *parent)
    : QDialog(parent)
    , m_activities(activities)
    , m_messages(messages)
    , m_rules(activities, slips, setup, messages)
    , m_listing(new ui::Dataset(QStringLiteral("ActivityListTable"), this))
    , m_placement(new ui::TPlacement(this))
{
    setObjectName(QStringLiteral("ActivityForm"));
    setWindowTitle(QStringLiteral("Activities"));
    m_placement->setEntry(QStringLiteral("ActivityForm"));
    m_placement->setIniFileName(QStringLiteral("TARNW.INI"));

    const ui::FieldBinder bind(activities, messages);
    auto *info = new QGroupBox(QStringLiteral("Act&ivity Information"), this);
    auto *infoLayout = new QGridLayout(info);
    auto *code =
        bind(new ui::DbEdit(info), QStringLiteral("ACTIVITYEdit"), QStringLiteral("ACTIVITY"));
    code->setReadOnly(true);
    code->setMaximumWidth(110);
    auto *desc = bind(new ui::DbEdit(info), QStringLiteral("DESCEdit"), QStringLiteral("DESC"));
    auto *taxable = bind(new ui::DbCheckBox(QStringLiteral("&Taxable"), info),
        QStringLiteral("TAXABLECheck"), QStringLiteral("TAXABLE"));
    // Connected after the box's own handler, so the rule sees the flag just written.
    connect(taxable, &QCheckBox::clicked, this, &TActivityForm::TAXABLEClick);
    auto *taxRate =
        bind(new ui::DbNumberEdit(info), QStringLiteral("TAXRATEEdit"), QStringLiteral("TAXRATE"));
    taxRate->setMaximumWidth(80);
    auto *type = new ui::DbRadioGroup(QStringLiteral("Type"), info);
    type->addItem(QStringLiteral("Billing"), QStringLiteral("B"));
    type->addItem(QStringLiteral("Expense"), QStringLiteral("E"));
    bind(type, QStringLiteral("ACTTYPEGroup"), QStringLiteral("ACTTYPE"));
    m_search = button(QStringLiteral("S&earch"), "SearchBtn", info);

    infoLayout->addWidget(label(QStringLiteral("&Activity Code"), code, info), 0, 0);
    infoLayout->addWidget(code, 0, 1);
    infoLayout->addWidget(m_search, 0, 2, Qt::AlignLeft);
    infoLayout->addWidget(label(QStringLiteral("&Description"), desc, info), 1, 0);
    infoLayout->addWidget(desc, 1, 1, 1, 2);
    auto *taxRow = new QHBoxLayout;
    taxRow->addWidget(taxable);
    taxRow->addSpacing(16);
    taxRow->addWidget(label(QStringLiteral("Tax &Rate %"), taxRate, info));
    taxRow->addWidget(taxRate);
    taxRow->addStretch();
    infoLayout->addLayout(taxRow, 2, 0, 1, 3);
    infoLayout->addWidget(type, 0, 3, 3, 1);
    infoLayout->setColumnStretch(2, 1);
    m_desc = desc;

    auto *rates = new QGroupBox(QStringLiteral("Bi&lling Rates"), this);
    auto *ratesLayout = new QGridLayout(rates);
    ratesLayout->addWidget(new QLabel(QStringLiteral("Billing Rate"), rates), 0, 1);
    ratesLayout->addWidget(new QLabel(QStringLiteral("Description"), rates), 0, 2);
    for (int i = 1; i <= 5; ++i) {
        auto *rate = bind(new ui::DbMoneyEdit(rates), QStringLiteral("ACTRATE%1Edit").arg(i),
            QStringLiteral("ACTRATE%1").arg(i));
        auto *rateDesc = bind(new ui::DbEdit(rates), QStringLiteral("ACTRATED%1Edit").arg(i),
            QStringLiteral("ACTRATED%1").arg(i));
        ratesLayout->addWidget(label(QStringLiteral("Rate &%1").arg(i), rate, rates), i, 0);
        ratesLayout->addWidget(rate, i, 1);
        ratesLayout->addWidget(rateDesc, i, 2);
        if (i == 1)
            m_firstRate = rate;
    }
    auto *flat = bind(
        new ui::DbMoneyEdit(rates), QStringLiteral("FLATAMOUNTEdit"), QStringLiteral("FLATAMOUNT"));
    ratesLayout->addWidget(label(QStringLiteral("&Flat Amount"), flat, rates), 6, 0);
    ratesLayout->addWidget(flat, 6, 1);
    ratesLayout->setColumnStretch(2, 1);

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
    layout->addWidget(rates);
    layout->addLayout(buttons);

    // The second, read-only cursor for the listing, in code order.
    m_listing->open(activities.cursor()->reader());
    m_listing->setTag(QStringLiteral("ACTIVITY"));

    askCode = [this] {
        ui::TInputDialog dialog(this, ui::InputDialogMode::Activity);
        return dialog.exec() == QDialog::Accepted ? dialog.code() : QString();
    };
    pickActivity = [this](ui::Dataset &listing) {
        ui::PickListDialog dialog(&listing,
            { { QStringLiteral("ACTIVITY"), QStringLiteral("Activity"), 12 },
                { QStringLiteral("DESC"), QStringLiteral("Description"), 30 } },
            QStringLiteral("Activity Listing"), this);
        return dialog.exec() == QDialog::Accepted;
    };

    connect(m_new, &QPushButton::clicked, this, &TActivityForm::NewBtnClick);
    connect(m_delete, &QPushButton::clicked, this, &TActivityForm::DeleteBtnClick);
    connect(m_save, &QPushButton::clicked, this, &TActivityForm::SaveBtnClick);
    connect(m_cancel, &QPushButton::clicked, this, &TActivityForm::CancelBtnClick);
    connect(m_search, &QPushButton::clicked, this, &TActivityForm::SearchBtnClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_activities, &ui::Dataset::stateChanged, this, &TActivityForm::updateButtons);

    ui::settleMnemonics(this);
    m_rules.open();
    updateButtons();
    m_firstRate->setFocus();
}

void TActivityForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        m_placement->restorePlacement();
        m_firstRate->setFocus();
    }
}

void TActivityForm::updateButtons()
{
    const ActivityRules::ButtonStates states = m_rules.buttonStates();
    m_new->setEnabled(states.newEnabled);
    m_delete->setEnabled(states.deleteEnabled);
    m_search->setEnabled(states.searchEnabled);
    m_save->setEnabled(states.saveEnabled);
    m_cancel->setEnabled(states.cancelEnabled);
}

void TActivityForm::NewBtnClick()
{
    if (m_rules.newActivity(askCode))
        m_desc->setFocus();
}

void TActivityForm::DeleteBtnClick()
{
    m_rules.remove();
}

void TActivityForm::SaveBtnClick()
{
    m_rules.save();
}

void TActivityForm::CancelBtnClick()
{
    m_rules.cancel();
}

void TActivityForm::TAXABLEClick()
{
    try {
        m_rules.taxableClicked();
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
    }
}

void TActivityForm::SearchBtnClick()
{
    if (!m_rules.canSearch())
        return;
    try {
        // Sees the activities added or deleted since the window opened.
        m_listing->setTag(QStringLiteral("ACTIVITY"));
        m_listing->findKey({ m_activities.text(QStringLiteral("ACTIVITY")) });
        if (!pickActivity(*m_listing))
            return;
        m_activities.findKey({ m_listing->text(QStringLiteral("ACTIVITY")) });
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
    }
}

TActivityForm::~TActivityForm()
{
    try {
        m_rules.cancel();
    } catch (const std::exception &) {
        // The window is going: nothing left to tell the user.
    }
}

void TActivityForm::done(int result)
{
    // Every way of closing discards a pending change without asking.
    try {
        m_rules.cancel();
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
    }
    m_placement->savePlacement();
    QDialog::done(result);
}

} // namespace reference
