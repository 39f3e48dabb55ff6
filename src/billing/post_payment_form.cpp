#include "billing/post_payment_form.h"

#include <memory>

#include <QCalendarWidget>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>

#include "billing/payment_posting.h"
#include "dbf/errors.h"
#include "platform/clock.h"
#include "ui/dataset.h"
#include "ui/date_text.h"
#include "ui/field_format.h"
#include "ui/messages.h"
#include "ui/placement.h"

namespace billing {

namespace {

QDate toQDate(const dbf::Date &d)
{
    return d.isNull() ? QDate() : QDate(d.year(), d.month(), d.day());
}

dbf::Date toDbfDate(const QDate &d)
{
    return d.isValid() ? dbf::Date(d.year(), d.month(), d.day()) : dbf::Date();
}

QLineEdit *readOnlyBox(const QString &name, const QString &text)
{
    auto *e = new QLineEdit(text);
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    e->setAlignment(Qt::AlignRight);
    return e;
}

} // namespace

// --- PaymentDateBox --------------------------------------------------------------------------

PaymentDateBox::PaymentDateBox(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_edit->setObjectName(QStringLiteral("DateEdit"));
    m_edit->setMaxLength(10);
    layout->addWidget(m_edit, 1);
    auto *button = new QToolButton;
    button->setObjectName(QStringLiteral("DateButton"));
    button->setText(QStringLiteral("..."));
    button->setFocusPolicy(Qt::NoFocus);
    button->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(button);
    auto *calendar = new QCalendarWidget;
    auto *action = new QWidgetAction(menu);
    action->setDefaultWidget(calendar);
    menu->addAction(action);
    button->setMenu(menu);
    layout->addWidget(button);
    setFocusProxy(m_edit);
    connect(menu, &QMenu::aboutToShow, this, [this, calendar] {
        const QDate d = date();
        if (d.isValid())
            calendar->setSelectedDate(d);
    });
    connect(calendar, &QCalendarWidget::clicked, this, [this, menu](const QDate &d) {
        setDate(d);
        menu->close();
    });
}

void PaymentDateBox::setDate(const QDate &date)
{
    m_edit->setText(ui::DateText::format(date));
}

QDate PaymentDateBox::date() const
{
    const ui::DateText::Parsed p = ui::DateText::parse(m_edit->text());
    return p.status == ui::DateText::Status::Valid ? p.date : QDate();
}

bool PaymentDateBox::isValid() const
{
    return ui::DateText::parse(m_edit->text()).status != ui::DateText::Status::Invalid;
}

// --- TPostPmtForm ----------------------------------------------------------------------------

TPostPmtForm::TPostPmtForm(PaymentPosting &posting, ui::Messages &messages,
    const platform::Clock &clock, QWidget *parent)
    : QDialog(parent)
    , m_posting(posting)
    , m_messages(messages)
    , m_placement(new ui::TPlacement(this))
{
    setObjectName(QStringLiteral("PostPmtForm"));
    setWindowTitle(QStringLiteral("Post Payments"));
    setModal(true);
    m_placement->setIniFileName(QStringLiteral("TARNW.INI"));
    m_placement->setEntry(QStringLiteral("PostPmtForm"));

    auto *layout = new QVBoxLayout(this);
    auto *fields = new QFormLayout;
    ReferenceEdit = new QLineEdit;
    ReferenceEdit->setObjectName(QStringLiteral("ReferenceEdit"));
    ReferenceEdit->setMaxLength(10);
    AmountEdit = new QLineEdit;
    AmountEdit->setObjectName(QStringLiteral("AmountEdit"));
    AmountEdit->setAlignment(Qt::AlignRight);
    // Money with at most two decimals that fits PMT_AMOUNT; a comma is read as the point.
    AmountEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("-?\\d{0,10}([.,]\\d{0,2})?")), AmountEdit));
    DateEdit = new PaymentDateBox;
    DateEdit->setDate(ui::toQDate(clock.today()));
    DescriptionEdit = new QLineEdit;
    DescriptionEdit->setObjectName(QStringLiteral("DescriptionEdit"));
    DescriptionEdit->setMaxLength(40);
    DescriptionEdit->setMinimumWidth(DescriptionEdit->fontMetrics().averageCharWidth() * 40);
    auto label = [](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text);
        l->setBuddy(buddy);
        return l;
    };
    fields->addRow(label(QStringLiteral("&Reference No.:"), ReferenceEdit), ReferenceEdit);
    fields->addRow(label(QStringLiteral("&Amount:"), AmountEdit), AmountEdit);
    fields->addRow(label(QStringLiteral("Da&te Paid:"), DateEdit->edit()), DateEdit);
    fields->addRow(label(QStringLiteral("&Description:"), DescriptionEdit), DescriptionEdit);
    layout->addLayout(fields);

    const InvoiceStatus &status = posting.invoice();
    auto *group = new QGroupBox(QStringLiteral("Invoice Status"));
    auto *g = new QFormLayout(group);
    g->addRow(QStringLiteral("Invoice Number"),
        readOnlyBox(QStringLiteral("InvoiceNumberEdit"), QString::number(status.number)));
    g->addRow(QStringLiteral("Invoice Total"),
        readOnlyBox(QStringLiteral("InvoiceTotalEdit"), ui::formatMoney(status.total)));
    g->addRow(QStringLiteral("Amount Paid"),
        readOnlyBox(QStringLiteral("AmountPaidEdit"), ui::formatMoney(status.paid)));
    g->addRow(QStringLiteral("Due Date"),
        readOnlyBox(QStringLiteral("DueDateEdit"), ui::DateText::format(toQDate(status.due))));
    layout->addWidget(group);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    SaveBtn = new QPushButton(QStringLiteral("&Save"));
    SaveBtn->setObjectName(QStringLiteral("SaveBtn"));
    SaveBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("&Cancel"));
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    buttons->addWidget(SaveBtn);
    buttons->addWidget(CancelBtn);
    layout->addLayout(buttons);
    connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TPostPmtForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        m_placement->restorePlacement();
        ReferenceEdit->setFocus();
    }
}

void TPostPmtForm::done(int result)
{
    m_placement->savePlacement();
    QDialog::done(result);
}

void TPostPmtForm::SaveBtnClick()
{
    if (!DateEdit->isValid()) {
        m_messages.error(QStringLiteral("'%1' is not a valid date.").arg(DateEdit->edit()->text()));
        DateEdit->setFocus();
        return;
    }
    PaymentInput input;
    input.reference = ReferenceEdit->text().toLatin1().toStdString();
    const QString amount = AmountEdit->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.'));
    if (!amount.isEmpty() && amount != QLatin1String("-")) {
        bool ok = false;
        input.amount = platform::Cents::parse(amount.toStdString(), &ok);
        if (!ok) {
            m_messages.error(QStringLiteral("'%1' is not a valid amount.").arg(AmountEdit->text()));
            AmountEdit->setFocus();
            return;
        }
    }
    input.date = toDbfDate(DateEdit->date());
    input.description = DescriptionEdit->text().toLatin1().toStdString();
    try {
        m_posting.post(input);
    } catch (const PaymentFailed &e) {
        m_messages.error(QStringLiteral("The payment was not posted: %1")
                             .arg(QString::fromLocal8Bit(e.what())));
        reject();
        return;
    } catch (const std::exception &e) {
        m_messages.error(QString::fromLocal8Bit(e.what()));
        return;
    }
    accept();
}

// --- The command -----------------------------------------------------------------------------

bool postPayment(const std::filesystem::path &dataDirectory, ui::Dataset &clients,
    ui::Dataset &invoices, ui::Messages &messages, const platform::Clock &clock,
    QWidget *parent)
{
    const QString number = clients.text(QStringLiteral("NUMBER"));
    const QString noInvoices =
        QStringLiteral("There are no invoices for ") + clients.text(QStringLiteral("NAME"));
    if (!invoices.isOpen() || invoices.isEmpty()
        || invoices.text(QStringLiteral("INV_CLIENT")) != number) {
        messages.information(noInvoices);
        return false;
    }
    std::unique_ptr<PaymentPosting> posting;
    try {
        posting = std::make_unique<PaymentPosting>(dataDirectory, number.toLatin1().toStdString(),
            std::int64_t(invoices.value(QStringLiteral("INV_NUMBER")).toDouble()));
    } catch (const InvoiceGone &) {
        messages.information(noInvoices);
        return false;
    } catch (const std::exception &e) { // "Record locked ..." and other engine failures
        messages.error(QString::fromLocal8Bit(e.what()));
        return false;
    }
    TPostPmtForm form(*posting, messages, clock, parent);
    return form.exec() == QDialog::Accepted;
}

} // namespace billing
