#include "billing/invoice_form.h"

#include <deque>
#include <stdexcept>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "billing/error_form.h"
#include "billing/preview_form.h"
#include "billing/preview_model.h"
#include "platform/clock.h"
#include "report_engine/qt/current_printer.h"
#include "report_engine/qt/qt_text_measurer.h"
#include "report_engine/qt/status_form.h"
#include "report_engine/report_filer.h"
#include "reports/proforma_document.h"
#include "reports/report_format.h"
#include "reports/statement_document.h"
#include "ui/action.h"
#include "ui/cursor_scope.h"
#include "ui/engine_cursor.h"
#include "ui/messages.h"
#include "ui/pick_list_dialog.h"
#include "ui/placement.h"

namespace billing {

namespace {

reports::StatementTables statementTables(const InvoiceData &data)
{
    return { data.clients, data.slips, data.invoices, data.projects, data.activities, data.setup,
        data.track };
}

QGroupBox *group(const QString &title, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    return box;
}

QComboBox *cycleCombo(const char *name, int current, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    for (int i = 1; i <= 10; ++i)
        combo->addItem(QString::number(i));
    combo->setCurrentIndex(current - 1);
    return combo;
}

QLineEdit *dateBox(const char *name, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setInputMask(QStringLiteral("!99/99/99"));
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000")));
    return box;
}

} // namespace

TInvoiceform::TInvoiceform(InvoiceMode mode, const InvoiceData &cursors, ui::Messages &messages,
    const platform::Clock &clock, QWidget *parent)
    : QDialog(parent)
    , m_mode(mode)
    , m_data(cursors)
    , m_messages(messages)
    , m_clock(clock)
    , m_placement(new ui::TPlacement(this))
{
    FormCreate();
}

TInvoiceform::~TInvoiceform() = default;

void TInvoiceform::FormCreate()
{
    setObjectName(QStringLiteral("InvoiceForm"));
    setWindowTitle(m_mode == InvoiceMode::Billing ? QStringLiteral("Generate Billing Statements")
                                                  : QStringLiteral("Proforma Billing Report"));
    setModal(true);
    m_placement->setIniFileName(QStringLiteral("TARNW.INI"));
    m_placement->setEntry(QStringLiteral("InvoiceForm"));

    // Client range.
    m_range = new ui::ClientRangeBoxes(this, m_data.dataDirectory,
        QStringLiteral("InvoiceLookupTable"), QStringLiteral("Client List"), m_messages);
    m_range->pick = [this](const QString &typed) { return pickClient(typed); };
    BeginEdit = m_range->BeginEdit;
    EndEdit = m_range->EndEdit;
    BeginListBtn = m_range->BeginListBtn;
    EndListBtn = m_range->EndListBtn;
    QGroupBox *range = m_range->group();

    // Cycles.
    auto *cycles = group(QStringLiteral("Client C&ycle"), this);
    auto *cycleRow = new QHBoxLayout(cycles);
    CycleCombo = cycleCombo("CycleCombo", 1, cycles);
    ToCycleCombo = cycleCombo("ToCycleCombo", 10, cycles);
    cycleRow->addWidget(new QLabel(QStringLiteral("Cycle"), cycles));
    cycleRow->addWidget(CycleCombo);
    cycleRow->addWidget(new QLabel(QStringLiteral("To"), cycles));
    cycleRow->addWidget(ToCycleCombo);
    cycleRow->addStretch();

    // Slip dates.
    auto *dates = group(QStringLiteral("Time Slip &Dates"), this);
    auto *dateRow = new QHBoxLayout(dates);
    DateEdit = dateBox("DateEdit", dates);
    ToDateEdit = dateBox("ToDateEdit", dates);
    dateRow->addWidget(new QLabel(QStringLiteral("Date"), dates));
    dateRow->addWidget(DateEdit);
    dateRow->addWidget(new QLabel(QStringLiteral("To"), dates));
    dateRow->addWidget(ToDateEdit);
    dateRow->addStretch();

    // Minimum bill and previous balances.
    auto *minimum = group(QStringLiteral("Minimum"), this);
    auto *minimumRow = new QHBoxLayout(minimum);
    MinimumSpin = new QSpinBox(minimum);
    MinimumSpin->setObjectName(QStringLiteral("MinimumSpin"));
    MinimumSpin->setRange(0, 99999999);
    MinimumSpin->setSingleStep(10);
    MinimumSpin->setValue(5);
    auto *minimumLabel = new QLabel(QStringLiteral("&Minimum bill to print:"), minimum);
    minimumLabel->setBuddy(MinimumSpin);
    minimumRow->addWidget(minimumLabel);
    minimumRow->addWidget(MinimumSpin);
    minimumRow->addStretch();
    PrevBalanceCheck = new QCheckBox(QStringLiteral("Previous Balance &Accounts"), this);
    PrevBalanceCheck->setObjectName(QStringLiteral("PrevBalanceCheck"));
    PrevBalanceCheck->setToolTip(
        QStringLiteral("Print billing statement for clients with previous balance only"));

    // Finalization label, shown while finalization runs.
    FinalizeLabel = new QLabel(QStringLiteral("Finalizing Billing for client:"), this);
    FinalizeLabel->setObjectName(QStringLiteral("FinalizeLabel"));
    FinalizeClientLabel = new QLabel(this);
    FinalizeClientLabel->setObjectName(QStringLiteral("FinalizeClientLabel"));
    QFont bold = FinalizeClientLabel->font();
    bold.setBold(true);
    FinalizeClientLabel->setFont(bold);
    FinalizeLabel->hide();
    FinalizeClientLabel->hide();

    // Buttons.
    const auto button = [this](const QString &caption, const char *name) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    OKBtn = button(QStringLiteral("&Generate "), "OKBtn");
    OKBtn->setDefault(true);
    CancelBtn = button(QStringLiteral("&Cancel"), "CancelBtn");
    CancelBtn->setFocusPolicy(Qt::NoFocus); // closing runs no leave lookup first
    PrintSetupBtn = button(QStringLiteral("&Printer Setup..."), "PrintSetupBtn");
    FontBtn = button(QStringLiteral("&Fonts"), "FontBtn");
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : { OKBtn, CancelBtn, PrintSetupBtn, FontBtn })
        buttons->addWidget(b);
    buttons->addStretch();

    auto *left = new QVBoxLayout;
    left->addWidget(range);
    auto *middle = new QHBoxLayout;
    middle->addWidget(cycles);
    middle->addWidget(dates);
    left->addLayout(middle);
    auto *lower = new QHBoxLayout;
    lower->addWidget(minimum);
    lower->addWidget(PrevBalanceCheck);
    left->addLayout(lower);
    auto *finalizing = new QHBoxLayout;
    finalizing->addWidget(FinalizeLabel);
    finalizing->addWidget(FinalizeClientLabel, 1);
    left->addLayout(finalizing);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(OKBtn, &QPushButton::clicked, this, &TInvoiceform::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(PrintSetupBtn, &QPushButton::clicked, this, &TInvoiceform::PrintSetupBtnClick);
    connect(FontBtn, &QPushButton::clicked, this, &TInvoiceform::FontBtnClick);
    installDefaultDialogs();
    installStatementDocument();

    m_range->afterEnd = CycleCombo;
    BeginEdit->setFocus();
}

void TInvoiceform::installDefaultDialogs()
{
    pickClient = [this](const QString &typed) { return m_range->clientList(typed); };
    choosePrinter = [this]() -> std::optional<int> {
        QPrinter printer;
        const QString current = report::currentPrinterName();
        if (!current.isEmpty())
            printer.setPrinterName(current);
        printer.setCopyCount(m_copies);
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        report::setCurrentPrinterName(printer.printerName());
        return printer.copyCount();
    };
    chooseFont = [this](const QString &face) -> std::optional<QString> {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, QFont(face), this);
        if (!ok)
            return std::nullopt;
        return chosen.family();
    };
}

RunParameters TInvoiceform::parameters(const SlipDates &dates) const
{
    RunParameters p;
    p.beginName = BeginEdit->text();
    p.endName = EndEdit->text();
    p.lowCycle = CycleCombo->currentText().toInt();
    p.highCycle = ToCycleCombo->currentText().toInt();
    p.dateFrom = dates.from;
    p.dateTo = dates.to;
    p.dateToGiven = dates.toGiven;
    p.minimumBill = MinimumSpin->value();
    p.previousBalanceOnly = PrevBalanceCheck->isChecked();
    p.printPreviousBalance = m_data.setup.isOpen() && !m_data.setup.isEmpty()
        && m_data.setup.text(QStringLiteral("PRINTPREVB")).trimmed() == QLatin1String("Y");
    return p;
}

void TInvoiceform::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        m_placement->restorePlacement();
    }
}

void TInvoiceform::done(int result)
{
    if (!OKBtn->isEnabled()) // a run is going on: its windows close first
        return;
    m_placement->savePlacement();
    QDialog::done(result);
}

void TInvoiceform::PrintSetupBtnClick()
{
    std::optional<int> copies;
    ui::runAction(m_messages, [&] { copies = choosePrinter(); });
    if (copies)
        m_copies = std::max(1, *copies);
}

void TInvoiceform::FontBtnClick()
{
    if (m_mode == InvoiceMode::Proforma) {
        if (!m_data.reportFont)
            return;
        if (const std::optional<QString> face = chooseFont(*m_data.reportFont))
            *m_data.reportFont = face->left(20);
        return;
    }
    ui::runAction(m_messages, [this] {
        ui::Dataset &setup = m_data.setup;
        const std::optional<QString> face = chooseFont(setup.text(QStringLiteral("INVFONT")));
        if (!face)
            return;
        setup.edit();
        try {
            setup.setValue(QStringLiteral("INVFONT"), face->left(30));
            setup.post();
        } catch (...) {
            setup.cancel();
            throw;
        }
    });
}

void TInvoiceform::OKBtnClick()
{
    if (m_range->refuseReversed())
        return;
    for (QWidget *w : { static_cast<QWidget *>(OKBtn), static_cast<QWidget *>(CancelBtn),
             static_cast<QWidget *>(PrintSetupBtn), static_cast<QWidget *>(FontBtn) })
        w->setEnabled(false);
    ui::runAction(m_messages, [this] { runBilling(); });
    FinalizeLabel->hide();
    FinalizeClientLabel->hide();
    for (QWidget *w : { static_cast<QWidget *>(OKBtn), static_cast<QWidget *>(CancelBtn),
             static_cast<QWidget *>(PrintSetupBtn), static_cast<QWidget *>(FontBtn) })
        w->setEnabled(true);
}

void TInvoiceform::runBilling()
{
    QString dateError;
    const std::optional<SlipDates> dates = resolveSlipDates(
        DateEdit->displayText(), ToDateEdit->displayText(), m_clock, &dateError);
    const RunParameters params = parameters(dates.value_or(SlipDates{}));
    m_document.reset();
    m_proforma.reset();

    // The displays of the cursors the document moves are held still, and every cursor is put
    // back on every way out (scopes end in reverse order; masters before their details).
    std::deque<ui::CursorScope> scopes;
    scopes.emplace_back(m_data.clients);
    scopes.emplace_back(m_data.slips);
    scopes.emplace_back(m_data.invoices);
    scopes.emplace_back(
        m_data.payments, ui::CursorScope::Freeze | ui::CursorScope::DetachMaster);
    scopes.emplace_back(
        m_data.statementSlips, ui::CursorScope::Freeze | ui::CursorScope::DetachMaster);
    scopes.emplace_back(m_data.projects);
    scopes.emplace_back(m_data.activities);
    scopes.emplace_back(m_data.staff);
    if (m_data.clients.tag().compare(QLatin1String("NAME"), Qt::CaseInsensitive) != 0)
        m_data.clients.setTag(QStringLiteral("NAME"));

    report::QtTextMeasurer measurer;
    report::TReportFiler filer(measurer); // SetReport lays it out on the current printer's sheet
    report::TStatusForm status(this);
    status.SetReport(&filer, true);
    filer.SetCopies(m_copies);
    filer.OnMessage = [this](const std::string &m) {
        m_messages.error(QString::fromLocal8Bit(m.c_str()));
    };
    status.OnError = [this](const QString &text) { m_messages.error(text); };
    setPrintedFromPreview(false);
    if (!dates) {
        // The date conversion fails as the run starts: its message is shown, nothing is
        // printed, and the window waits on "Report Canceled!" for its button.
        status.OnBeforeRun = [dateError] { throw std::runtime_error(dateError.toStdString()); };
    } else if (attachDocument) {
        attachDocument(filer, params);
    } else {
        return; // no document for this mode yet
    }
    status.exec();

    const bool previewed = previewAfterRun(status, true, dates.has_value(), this);
    // The slip cursor goes back to its per-client order before anything else reads it.
    scopes[1].restore();

    if (m_mode != InvoiceMode::Billing || !previewed || !printedFromPreview() || !m_document)
        return;
    if (m_messages.confirm(QStringLiteral("Do you want to finalize this billing?"))
        != ui::MessageAnswer::Yes)
        return;
    finalize(m_document->plan());
}

void TInvoiceform::finalize(const BillingPlan &plan)
{
    FinalizeClientLabel->clear();
    FinalizeLabel->show();
    FinalizeClientLabel->show();
    FinalizeResult result;
    try {
        Finalizer finalizer(m_data.dataDirectory, m_clock);
        finalizer.OnClient = [this](const PrintedStatement &statement) {
            FinalizeClientLabel->setText(statement.clientName);
            QCoreApplication::processEvents();
        };
        result = finalizer.run(plan);
    } catch (const std::exception &e) {
        result.engineMessage = ui::failureText(e);
    }
    FinalizeLabel->hide();
    FinalizeClientLabel->hide();
    if (!result.engineMessage.isEmpty())
        m_messages.error(result.engineMessage);
    if (!result.errorLines.isEmpty()) {
        TErrorForm errors(this);
        for (const QString &line : result.errorLines)
            errors.addLine(line);
        errors.exec();
    }
    if (result.engineMessage.isEmpty())
        m_messages.information(QStringLiteral("Process complete."));
}

void TInvoiceform::installStatementDocument()
{
    if (m_mode == InvoiceMode::Proforma) {
        attachDocument = [this](report::TBaseReport &r, const RunParameters &p) {
            m_proforma = std::make_unique<reports::ProformaDocument>(statementTables(m_data), p,
                reports::latin1(m_data.reportFont ? *m_data.reportFont : QString()), m_clock);
            m_proforma->attach(r);
        };
        return;
    }
    attachDocument = [this](report::TBaseReport &r, const RunParameters &p) {
        m_document = std::make_unique<reports::StatementDocument>(
            statementTables(m_data), p, m_data.settings, m_clock, m_messages);
        m_document->attach(r);
    };
}

void printTestStatement(const InvoiceData &data, ui::Messages &messages,
    const platform::Clock &clock, QWidget *parent)
{
    report::QtTextMeasurer measurer;
    report::TReportFiler filer(measurer); // SetReport lays it out on the current printer's sheet
    report::TStatusForm status(parent);
    status.SetReport(&filer, true);
    filer.OnMessage = [&messages](const std::string &m) {
        messages.error(QString::fromLocal8Bit(m.c_str()));
    };
    status.OnError = [&messages](const QString &text) { messages.error(text); };
    reports::StatementDocument document(
        statementTables(data), reports::StatementDocument::Sample{}, data.settings, clock,
        messages);
    document.attach(filer);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    status.exec();
    QApplication::restoreOverrideCursor();
    previewAfterRun(status, true, true, parent);
    ui::runAction(messages, [&data] {
        data.clients.setTag(QStringLiteral("NUMBER"));
        data.clients.first();
        data.slips.setTag(QStringLiteral("SL_CLIENT"));
    });
}

} // namespace billing
