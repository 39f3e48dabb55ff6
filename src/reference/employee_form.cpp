#include "reference/employee_form.h"

#include <exception>

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dataset.h"
#include "ui/db_edit.h"
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

ui::DbEdit *edit(const ui::FieldBinder &bind, const QString &field, QWidget *parent)
{
    return bind(new ui::DbEdit(parent), field + QStringLiteral("Edit"), field);
}

} // namespace

TEmployeeform::TEmployeeform(ui::Dataset &staff, ui::Messages &messages, QWidget *parent)
    : QDialog(parent)
    , m_staff(staff)
    , m_messages(messages)
    , m_rules(staff, messages)
    , m_placement(new ui::TPlacement(this))
{
    setObjectName(QStringLiteral("EmployeeForm"));
    setWindowTitle(QStringLiteral("Staff"));
    m_placement->setEntry(QStringLiteral("EmployeeForm"));
    m_placement->setIniFileName(QStringLiteral("TARNW.INI"));

    const ui::FieldBinder bind(staff, messages);
    auto *info = new QGroupBox(QStringLiteral("S&taff Information"), this);
    auto *infoLayout = new QGridLayout(info);
    auto *code = edit(bind, QStringLiteral("EMPNUMBER"), info);
    code->setReadOnly(true);
    code->setMaximumWidth(60);
    auto *name = edit(bind, QStringLiteral("EMPNAME"), info);
    auto *ssn = edit(bind, QStringLiteral("SSN"), info);
    auto *ssnLabel = new QLabel(QStringLiteral("S&ocial Security #"), info);
    ssnLabel->setBuddy(ssn);
    m_search = button(QStringLiteral("S&earch"), "SearchBtn", info);
    infoLayout->addWidget(new QLabel(QStringLiteral("Staff Member Initials"), info), 0, 0);
    infoLayout->addWidget(code, 0, 1);
    infoLayout->addWidget(m_search, 0, 2);
    infoLayout->addWidget(new QLabel(QStringLiteral("Staff Member Name"), info), 1, 0);
    infoLayout->addWidget(name, 1, 1, 1, 2);
    infoLayout->addWidget(ssnLabel, 2, 0);
    infoLayout->addWidget(ssn, 2, 1);
    m_name = name;

    auto *rates = new QGroupBox(QStringLiteral("B&illing Rates"), this);
    auto *ratesLayout = new QGridLayout(rates);
    ratesLayout->addWidget(new QLabel(QStringLiteral("Billing Rate"), rates), 0, 1);
    ratesLayout->addWidget(new QLabel(QStringLiteral("Description"), rates), 0, 2);
    for (int i = 1; i <= 5; ++i) {
        const QString rateField = QStringLiteral("EMPRATE%1").arg(i);
        auto *rate =
            bind(new ui::DbMoneyEdit(rates), rateField + QStringLiteral("Edit"), rateField);
        // The fifth description field is spelled EMTRATE5D in the table.
        const QString descField =
            i == 5 ? QStringLiteral("EMTRATE5D") : QStringLiteral("EMPRATE%1D").arg(i);
        auto *desc = edit(bind, descField, rates);
        auto *label = new QLabel(QStringLiteral("Rate &%1").arg(i), rates);
        label->setBuddy(rate);
        ratesLayout->addWidget(label, i, 0);
        ratesLayout->addWidget(rate, i, 1);
        ratesLayout->addWidget(desc, i, 2);
        if (i == 1)
            m_firstRate = rate;
    }

    m_new = button(QStringLiteral("&New"), "NewBtn", this);
    m_delete = button(QStringLiteral("&Delete"), "DeleteBtn", this);
    m_save = button(QStringLiteral("&Save"), "SaveBtn", this);
    m_cancel = button(QStringLiteral("C&ancel"), "CancelBtn", this);
    m_close = button(QStringLiteral("&Close"), "CloseBtn", this);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : { m_new, m_delete, m_save, m_cancel, m_close })
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(info);
    layout->addWidget(rates);
    layout->addLayout(buttons);

    askCode = [this] {
        ui::TInputDialog dialog(this, ui::InputDialogMode::Staff);
        return dialog.exec() == QDialog::Accepted ? dialog.code() : QString();
    };
    pickStaff = [this](ui::Dataset &listing) {
        ui::PickListDialog dialog(&listing,
            { { QStringLiteral("EMPNUMBER"), QStringLiteral("Number"), 3 },
                { QStringLiteral("EMPNAME"), QStringLiteral("Name"), 30 } },
            QStringLiteral("Staff Listing"), this);
        return dialog.exec() == QDialog::Accepted;
    };

    connect(m_new, &QPushButton::clicked, this, &TEmployeeform::NewBtnClick);
    connect(m_delete, &QPushButton::clicked, this, &TEmployeeform::DeleteBtnClick);
    connect(m_save, &QPushButton::clicked, this, &TEmployeeform::SaveBtnClick);
    connect(m_cancel, &QPushButton::clicked, this, &TEmployeeform::CancelBtnClick);
    connect(m_search, &QPushButton::clicked, this, &TEmployeeform::SearchBtnClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_staff, &ui::Dataset::stateChanged, this, &TEmployeeform::updateButtons);

    ui::settleMnemonics(this);
    m_rules.open();
    updateButtons();
    m_firstRate->setFocus();
}

void TEmployeeform::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        m_placement->restorePlacement();
        m_firstRate->setFocus();
    }
}

void TEmployeeform::updateButtons()
{
    const StaffRules::ButtonStates states = m_rules.buttonStates();
    m_new->setEnabled(states.newEnabled);
    m_delete->setEnabled(states.deleteEnabled);
    m_search->setEnabled(states.searchEnabled);
    m_save->setEnabled(states.saveEnabled);
    m_cancel->setEnabled(states.cancelEnabled);
}

void TEmployeeform::NewBtnClick()
{
    if (m_rules.newStaff(askCode))
        m_name->setFocus();
}

void TEmployeeform::DeleteBtnClick()
{
    m_rules.remove();
}

void TEmployeeform::SaveBtnClick()
{
    m_rules.save();
}

void TEmployeeform::CancelBtnClick()
{
    m_rules.cancel();
}

void TEmployeeform::SearchBtnClick()
{
    if (!m_rules.canSearch())
        return;
    try {
        ui::Dataset listing;
        listing.open(m_staff.cursor()->reader());
        listing.setTag(QStringLiteral("EMPNUMBER"));
        if (!pickStaff(listing))
            return;
        m_staff.findKey({ listing.text(QStringLiteral("EMPNUMBER")) });
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
    }
}

TEmployeeform::~TEmployeeform()
{
    try {
        m_rules.cancel();
    } catch (const std::exception &) {
        // The window is going: nothing left to tell the user.
    }
}

void TEmployeeform::done(int result)
{
    // Every way of closing discards a pending change without asking.
    m_rules.cancel();
    m_placement->savePlacement();
    QDialog::done(result);
}

} // namespace reference
