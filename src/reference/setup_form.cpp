#include "reference/setup_form.h"

#include <exception>

#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/dataset.h"
#include "ui/db_check_box.h"
#include "ui/db_combo_box.h"
#include "ui/db_edit.h"
#include "ui/db_memo.h"
#include "ui/db_number_edit.h"
#include "ui/field_binder.h"
#include "ui/messages.h"
#include "ui/mnemonics.h"
#include "ui/placement.h"

namespace reference {

namespace {

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// Adds a labelled text box bound to `field` to a form layout.
ui::DbEdit *addEdit(QFormLayout *form, const ui::FieldBinder &bind, const QString &label,
    const QString &field, QWidget *parent)
{
    auto *e = bind(new ui::DbEdit(parent), field + QStringLiteral("Edit"), field);
    auto *l = new QLabel(label, parent);
    l->setBuddy(e);
    form->addRow(l, e);
    return e;
}

ui::DbCheckBox *check(
    const ui::FieldBinder &bind, const QString &text, const QString &field, QWidget *parent)
{
    return bind(new ui::DbCheckBox(text, parent), field + QStringLiteral("Check"), field,
        QStringLiteral("Y"), QStringLiteral("N"));
}

} // namespace

TSetupForm::TSetupForm(ui::Dataset &setup, ui::Messages &messages, QWidget *parent)
    : QDialog(parent)
    , m_setup(setup)
    , m_messages(messages)
    , m_rules(setup, messages)
    , m_placement(new ui::TPlacement(this))
    , m_pages(new QTabWidget(this))
{
    setObjectName(QStringLiteral("SetupForm"));
    setWindowTitle(QStringLiteral("Setup Information"));
    m_placement->setEntry(QStringLiteral("SetupForm32"));
    m_placement->setIniFileName(QStringLiteral("TARNW.INI"));
    m_pages->setObjectName(QStringLiteral("PageControl"));

    const ui::FieldBinder bind(setup, messages);
    // Page "Company".
    auto *company = new QWidget(m_pages);
    company->setObjectName(QStringLiteral("CompanyPage"));
    auto *companyGroup = new QGroupBox(QStringLiteral("C&ompany Settings"), company);
    auto *companyForm = new QFormLayout(companyGroup);
    m_companyName = addEdit(
        companyForm, bind, QStringLiteral("&Name"), QStringLiteral("COMPNAME"), companyGroup);
    addEdit(
        companyForm, bind, QStringLiteral("A&ddress 1"), QStringLiteral("COMPADD1"), companyGroup);
    addEdit(
        companyForm, bind, QStringLiteral("Add&ress &2"), QStringLiteral("COMPADD2"), companyGroup);
    addEdit(companyForm, bind, QStringLiteral("Ci&ty"), QStringLiteral("COMPCITY"), companyGroup);
    addEdit(companyForm, bind, QStringLiteral("Stat&e"), QStringLiteral("COMPST"), companyGroup);
    addEdit(companyForm, bind, QStringLiteral("&Zip"), QStringLiteral("COMPZIP"), companyGroup);
    addEdit(companyForm, bind, QStringLiteral("&Phone"), QStringLiteral("COMPPH"), companyGroup);
    addEdit(companyForm, bind, QStringLiteral("&Fax"), QStringLiteral("COMPFAX"), companyGroup);
    auto *userGroup = new QGroupBox(QStringLiteral("&User Defined Field Descriptions"), company);
    auto *userForm = new QFormLayout(userGroup);
    for (int i = 1; i <= 5; ++i)
        addEdit(userForm, bind, QStringLiteral("Field &%1").arg(i),
            QStringLiteral("USERFIELD%1").arg(i), userGroup);
    auto *taxForm = new QFormLayout;
    auto *tax = bind(new ui::DbNumberEdit(company), QStringLiteral("DEFTAXRATEEdit"),
        QStringLiteral("DEFTAXRATE"));
    auto *taxLabel = new QLabel(QStringLiteral("Default Ta&x Rate %"), company);
    taxLabel->setBuddy(tax);
    taxForm->addRow(taxLabel, tax);
    auto *companyLayout = new QGridLayout(company);
    companyLayout->addWidget(companyGroup, 0, 0, 2, 1, Qt::AlignTop);
    companyLayout->addWidget(userGroup, 0, 1, Qt::AlignTop);
    companyLayout->addLayout(taxForm, 1, 1, Qt::AlignTop);
    companyLayout->setRowStretch(2, 1);
    m_pages->addTab(company, QStringLiteral("Company"));

    // Page "Billing Statement Layout".
    auto *layoutPage = new QWidget(m_pages);
    layoutPage->setObjectName(QStringLiteral("LayoutPage"));
    auto *statement = new QGroupBox(QStringLiteral(" Billing &Statement "), layoutPage);
    auto *statementLayout = new QVBoxLayout(statement);
    statementLayout->addWidget(check(
        bind, QStringLiteral("Print Invoice &Graphic"), QStringLiteral("PRINTGRAPH"), statement));
    statementLayout->addWidget(check(bind, QStringLiteral("Shade Header && &Total Boxes"),
        QStringLiteral("PRINTSHADE"), statement));
    statementLayout->addWidget(check(
        bind, QStringLiteral("Pri&nt Company Heading"), QStringLiteral("PRINTHEAD"), statement));
    statementLayout->addWidget(check(
        bind, QStringLiteral("Print Borders && &Boxes"), QStringLiteral("PRINTBOX"), statement));
    statementLayout->addWidget(check(
        bind, QStringLiteral("Print Billing N&umber"), QStringLiteral("PRINTDESC"), statement));

    auto *memo = bind(
        new ui::DbMemo(layoutPage), QStringLiteral("INVMESS1Memo"), QStringLiteral("INVMESS1"));
    auto *memoLabel = new QLabel(QStringLiteral("&Billing Statement M&essage"), layoutPage);
    memoLabel->setBuddy(memo);

    auto *detail = new QGroupBox(QStringLiteral(" Billing Statement Detai&l "), layoutPage);
    auto *detailLayout = new QVBoxLayout(detail);
    auto *sort = new ui::DbComboBox(ui::DbComboBox::Kind::DropDownList, detail);
    for (const QString &order : SetupRules::sortOrders())
        sort->addValue(order);
    bind(sort, QStringLiteral("INVSORTCombo"), QStringLiteral("INVSORT"));
    auto *sortLabel = new QLabel(QStringLiteral("Detail Line Sort Or&der:"), detail);
    sortLabel->setBuddy(sort);
    detailLayout->addWidget(sortLabel);
    detailLayout->addWidget(sort);
    m_subProj =
        check(bind, QStringLiteral("Subtotal &Projects"), QStringLiteral("SUBPROJ"), detail);
    m_subAct =
        check(bind, QStringLiteral("Subtotal &Activities"), QStringLiteral("SUBACT"), detail);
    detailLayout->addWidget(m_subProj);
    detailLayout->addWidget(m_subAct);
    detailLayout->addWidget(
        check(bind, QStringLiteral("Print Billing &Rate"), QStringLiteral("PRINTRATE"), detail));
    detailLayout->addWidget(
        check(bind, QStringLiteral("Print Billing H&ours"), QStringLiteral("PRINTHOURS"), detail));
    detailLayout->addWidget(check(
        bind, QStringLiteral("Print Pre&vious Balance"), QStringLiteral("PRINTPREVB"), detail));
    detailLayout->addStretch();

    auto *bottom = new QFormLayout;
    auto *startTotal = bind(new ui::DbNumberEdit(layoutPage), QStringLiteral("STARTTOTALEdit"),
        QStringLiteral("STARTTOTAL"));
    bottom->addRow(
        new QLabel(QStringLiteral("Start of Total Section (inches):"), layoutPage), startTotal);
    auto *terms =
        bind(new ui::DbEdit(layoutPage), QStringLiteral("PTERMSEdit"), QStringLiteral("PTERMS"));
    auto *termsLabel = new QLabel(QStringLiteral("Print Ter&ms:"), layoutPage);
    termsLabel->setBuddy(terms);
    bottom->addRow(termsLabel, terms);
    auto *font = button(QStringLiteral("&Font"), "FontBtn", layoutPage);
    bottom->addRow(QString(), font);

    auto *layoutGrid = new QGridLayout(layoutPage);
    layoutGrid->addWidget(statement, 0, 0);
    layoutGrid->addWidget(detail, 0, 1, 3, 1);
    layoutGrid->addWidget(memoLabel, 1, 0);
    layoutGrid->addWidget(memo, 2, 0);
    layoutGrid->addLayout(bottom, 3, 0, 1, 2);
    m_pages->addTab(layoutPage, QStringLiteral("Billing Statement Layout"));

    auto *print = button(QStringLiteral("Pr&int Test Statement"), "PrintBtn", this);
    auto *save = button(QStringLiteral("&Save"), "SaveBtn", this);
    auto *cancel = button(QStringLiteral("&Cancel"), "CancelBtn", this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(print);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(buttons);

    chooseFont = [this](const QString &current) -> std::optional<QString> {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, QFont(current), this);
        if (!ok)
            return std::nullopt;
        return chosen.family();
    };
    choosePrinter = [this] {
        QPrinter printer;
        QPrintDialog dialog(&printer, this);
        return dialog.exec() == QDialog::Accepted;
    };

    connect(save, &QPushButton::clicked, this, &TSetupForm::SaveBtnClick);
    connect(cancel, &QPushButton::clicked, this, &TSetupForm::CancelBtnClick);
    connect(font, &QPushButton::clicked, this, &TSetupForm::FontBtnClick);
    connect(print, &QPushButton::clicked, this, &TSetupForm::PrintBtnClick);
    connect(&m_setup, &ui::Dataset::dataChanged, this, &TSetupForm::fieldChanged);

    m_pages->setCurrentIndex(0);
    try {
        m_rules.open();
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
    }
    ui::settleMnemonics(this);
    updateSubtotalBoxes();
    m_companyName->setFocus();
}

void TSetupForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        m_placement->restorePlacement();
        m_companyName->setFocus();
    }
}

void TSetupForm::fieldChanged(const QString &field)
{
    if (field.isEmpty())
        return;
    try {
        m_rules.fieldChanged(field);
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
    }
    updateSubtotalBoxes();
}

void TSetupForm::updateSubtotalBoxes()
{
    const SetupRules::SubtotalState state = m_rules.subtotalState();
    m_subProj->setEnabled(state.projectsAllowed);
    m_subAct->setEnabled(state.activitiesAllowed);
}

void TSetupForm::FontBtnClick()
{
    const std::optional<QString> name = chooseFont(m_setup.text(QStringLiteral("INVFONT")));
    if (name)
        m_rules.setInvoiceFont(*name);
}

void TSetupForm::PrintBtnClick()
{
    // The printer dialog first: Cancel prints nothing.
    if (!choosePrinter())
        return;
    if (printTestStatement)
        printTestStatement();
}

void TSetupForm::SaveBtnClick()
{
    if (m_rules.save())
        finish(QDialog::Accepted);
}

void TSetupForm::CancelBtnClick()
{
    m_rules.discard();
    finish(QDialog::Rejected);
}

TSetupForm::~TSetupForm()
{
    try {
        m_rules.discard();
    } catch (const std::exception &) {
        // The window is going: nothing left to tell the user.
    }
}

void TSetupForm::done(int result)
{
    // Closed by the close box or Escape: ask when something changed.
    if (m_setup.isEditing() && !m_rules.closeQuery())
        return;
    finish(result);
}

void TSetupForm::finish(int result)
{
    emit userFieldCaptionsChanged(m_rules.userFieldCaptions());
    m_placement->savePlacement();
    QDialog::done(result);
}

} // namespace reference
