#include "time/generate_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "billing/preview_form.h"
#include "platform/clock.h"
#include "report_engine/qt/current_printer.h"
#include "report_engine/qt/qt_text_measurer.h"
#include "report_engine/report_filer.h"
#include "reports/report_format.h"
#include "ui/action.h"
#include "ui/cursor_scope.h"
#include "ui/date_text.h"
#include "ui/engine_cursor.h"
#include "ui/messages.h"
#include "ui/mnemonics.h"
#include "ui/pick_list_dialog.h"
#include "ui/placement.h"

namespace timecap {

namespace {

// The wait cursor for as long as a run lasts, whichever way it ends.
struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

QComboBox *cycleBox(const char *name, const QString &preset, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    for (int i = 1; i <= 10; ++i)
        box->addItem(QString::number(i));
    box->setCurrentText(preset);
    return box;
}

} // namespace

TGenerateTSForm::TGenerateTSForm(const GenerateTables &tables, const std::string &dataDirectory,
    const QString &reportFont, ui::Messages &messages, const platform::Clock &clock,
    QWidget *parent)
    : QDialog(parent)
    , m_tables(tables)
    , m_reportFont(reportFont)
    , m_messages(messages)
    , m_clock(clock)
    , m_placement(new ui::TPlacement(this))
{
    setObjectName(QStringLiteral("GenerateTSForm"));
    setWindowTitle(QStringLiteral("Generate Auto Billings"));
    m_placement->setEntry(QStringLiteral("GenerateTSForm"));
    m_placement->setIniFileName(QStringLiteral("TARNW.INI"));

    m_range = new ui::ClientRangeBoxes(
        this, dataDirectory, QStringLiteral("GenerateClientTable"), QStringLiteral("Search"), messages);
    m_range->cancelRestores = true; // the boxes always show the range that runs
    m_range->pick = [this](const QString &typed) { return pickClient(typed); };
    BeginEdit = m_range->BeginEdit;
    EndEdit = m_range->EndEdit;
    BeginListBtn = m_range->BeginListBtn;
    EndListBtn = m_range->EndListBtn;
    QGroupBox *range = m_range->group();

    auto *cycles = new QGroupBox(QStringLiteral("C&ycles"), this);
    auto *cycleRow = new QHBoxLayout(cycles);
    CycleCombo = cycleBox("CycleCombo", QStringLiteral("1"), cycles);
    ToCycleCombo = cycleBox("ToCycleCombo", QStringLiteral("10"), cycles);
    cycleRow->addWidget(CycleCombo);
    cycleRow->addWidget(new QLabel(QStringLiteral("To"), cycles));
    cycleRow->addWidget(ToCycleCombo);
    cycleRow->addStretch();

    ListingCheck = new QCheckBox(QStringLiteral("Print &Listing Only"), this);
    ListingCheck->setObjectName(QStringLiteral("ListingCheck"));

    CreatingLabel = new QLabel(QStringLiteral("Creating Slip No :"), this);
    CreatingLabel->setObjectName(QStringLiteral("CreatingLabel"));
    CounterLabel = new QLabel(QStringLiteral("0"), this);
    CounterLabel->setObjectName(QStringLiteral("CounterLabel"));
    QFont bold = CounterLabel->font();
    bold.setBold(true);
    CounterLabel->setFont(bold);
    CounterLabel->setMinimumWidth(60);
    CreatingLabel->hide();
    CounterLabel->hide();

    const auto button = [this](const QString &caption, const char *name) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    OKBtn = button(QStringLiteral("&Generate "), "OKBtn");
    OKBtn->setDefault(true);
    CancelBtn = button(QStringLiteral("&Cancel"), "CancelBtn");
    CancelBtn->setFocusPolicy(Qt::NoFocus); // closing runs no leave lookup first
    PrintSetupBtn = button(QStringLiteral("Printer &Setup..."), "PrintSetupBtn");
    PrintSetupBtn->setFocusPolicy(Qt::NoFocus);
    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : { OKBtn, CancelBtn, PrintSetupBtn })
        buttons->addWidget(b);
    buttons->addStretch();

    auto *left = new QVBoxLayout;
    left->addWidget(range);
    auto *lower = new QHBoxLayout;
    lower->addWidget(cycles);
    lower->addWidget(ListingCheck);
    lower->addStretch();
    left->addLayout(lower);
    auto *counter = new QHBoxLayout;
    counter->addWidget(CreatingLabel);
    counter->addWidget(CounterLabel);
    counter->addStretch();
    left->addLayout(counter);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    ui::settleMnemonics(this);

    connect(OKBtn, &QPushButton::clicked, this, &TGenerateTSForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(PrintSetupBtn, &QPushButton::clicked, this, [this] { report::runPrinterSetup(this); });

    pickClient = [this](const QString &typed) { return m_range->clientList(typed); };
    showListing = [this](const QString &file) {
        billing::TPreviewForm preview(this, file);
        preview.zoomOut(); // the preview starts at 100 percent: one step out is 90
        preview.exec();
    };

    m_range->afterEnd = CycleCombo;
    ui::runAction(m_messages, [&] {
        if (m_tables.clients.tag().compare(QLatin1String("NAME"), Qt::CaseInsensitive) != 0)
            m_tables.clients.setTag(QStringLiteral("NAME"));
    });
    BeginEdit->setFocus();
}

TGenerateTSForm::~TGenerateTSForm() = default;

void TGenerateTSForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        m_placement->restorePlacement();
    }
}

void TGenerateTSForm::done(int result)
{
    if (m_running)
        return;
    m_placement->savePlacement();
    m_range->closeLookup();
    QDialog::done(result);
}

std::optional<GenerateRange> TGenerateTSForm::range()
{
    GenerateRange r;
    r.beginName = BeginEdit->text();
    r.endName = EndEdit->text();
    for (QComboBox *box : { CycleCombo, ToCycleCombo }) {
        const std::optional<int> cycle = parseCycle(box->currentText());
        if (!cycle) {
            m_messages.warning(cycleRefusedText());
            box->setFocus();
            return std::nullopt;
        }
        (box == CycleCombo ? r.lowCycle : r.highCycle) = *cycle;
    }
    return r;
}

void TGenerateTSForm::OKBtnClick()
{
    if (m_running)
        return;
    if (m_range->refuseReversed())
        return;
    const std::optional<GenerateRange> r = range();
    if (!r)
        return;
    if (ListingCheck->isChecked())
        runListing(*r);
    else
        runGeneration(*r);
}

void TGenerateTSForm::runListing(const GenerateRange &range)
{
    bool recorded = false;
    {
        m_running = m_range->paused = true;
        WaitCursor wait;
        ui::CursorScope clientScope(m_tables.clients);
        CreatingLabel->show();
        CounterLabel->show();
        ui::runAction(m_messages, [&] {
            report::QtTextMeasurer measurer;
            report::TReportFiler filer(measurer, report::reportFileDevice());
            filer.FileName = reportFile.toStdString();
            filer.OnMessage = [this](const std::string &m) {
                m_messages.error(QString::fromLocal8Bit(m.c_str()));
            };
            AutoBillingWalk walk(m_tables, m_clock);
            AutoEntryListing listing(
                walk, range, reports::latin1(m_reportFont), ui::toQDate(m_clock.today()));
            listing.attach(filer);
            filer.RunReport();
            recorded = filer.CurrentPage() > 0 && !filer.Aborted();
        });
        CreatingLabel->hide();
        CounterLabel->hide();
        m_running = m_range->paused = false;
    }
    if (recorded && showListing)
        showListing(reportFile);
}

void TGenerateTSForm::runGeneration(const GenerateRange &range)
{
    GenerateResult result;
    bool ran = false;
    {
        m_running = m_range->paused = true;
        WaitCursor wait;
        // The slip cursor's scope first: the client cursor is back before the slips re-link.
        ui::CursorScope slipScope(m_tables.slips);
        ui::CursorScope clientScope(m_tables.clients);
        CreatingLabel->show();
        CounterLabel->show();
        ran = ui::runAction(m_messages, [&] {
            if (m_tables.slips.hasRange())
                m_tables.slips.cancelRange();
            AutoBillingWalk walk(m_tables, m_clock);
            walk.OnCreated = [this](int) {
                ++m_created;
                CounterLabel->setText(QString::number(m_created));
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            };
            result = walk.generate(range);
        });
        CreatingLabel->hide();
        CounterLabel->hide();
        m_running = m_range->paused = false;
    }
    if (!ran)
        return;
    if (!result.engineMessage.isEmpty())
        m_messages.error(result.engineMessage);
    m_messages.information(generateOutcomeText(result));
}

} // namespace timecap
