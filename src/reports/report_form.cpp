#include "reports/report_form.h"

#include <fstream>
#include <stdexcept>

#include <QCheckBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/clock.h"
#include "report_engine/qt/current_printer.h"
#include "reports/listings.h"
#include "reports/report_format.h"
#include "reports/report_run.h"
#include "reports/rpt_options.h"
#include "ui/action.h"
#include "ui/cursor_scope.h"
#include "ui/date_text.h"
#include "ui/messages.h"
#include "ui/placement.h"

namespace reports {

namespace {

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QDate todayOf(const platform::Clock &clock)
{
    const auto d = clock.today();
    return QDate(int(d.year()), int(unsigned(d.month())), int(unsigned(d.day())));
}

} // namespace

TReportForm::TReportForm(ReportData tables, QString &reportFont, ui::Messages &messages,
    const platform::Clock &clock, QWidget *parent)
    : QDialog(parent)
    , m_data(tables)
    , m_reportFont(reportFont)
    , m_messages(messages)
    , m_clock(clock)
{
    setObjectName(QStringLiteral("ReportForm"));
    setWindowTitle(QStringLiteral("Report Selection"));

    CategoryList = new QListWidget(this);
    CategoryList->setObjectName(QStringLiteral("CategoryList"));
    for (const Category &c : categories())
        CategoryList->addItem(QString::fromLatin1(c.name.data(), qsizetype(c.name.size())));
    CategoryList->setMaximumHeight(CategoryList->sizeHintForRow(0) * 4 + 8);
    ReportList = new QListWidget(this);
    ReportList->setObjectName(QStringLiteral("ReportList"));
    ReportList->setMinimumWidth(ReportList->fontMetrics().averageCharWidth() * 38);

    auto *output = new QGroupBox(QStringLiteral("&Output"), this);
    output->setObjectName(QStringLiteral("OutputGroup"));
    PreviewCheck = new QCheckBox(QStringLiteral("Preview Screen"), output);
    PreviewCheck->setObjectName(QStringLiteral("PreviewCheck"));
    PreviewCheck->setChecked(true);
    PrinterCheck = new QCheckBox(QStringLiteral("Printer"), output);
    PrinterCheck->setObjectName(QStringLiteral("PrinterCheck"));
    auto *outputLayout = new QVBoxLayout(output);
    outputLayout->addWidget(PreviewCheck);
    outputLayout->addWidget(PrinterCheck);

    CopiesSpin = new QSpinBox(this);
    CopiesSpin->setObjectName(QStringLiteral("CopiesSpin"));
    CopiesSpin->setRange(1, 999);
    CopiesSpin->setValue(1);
    SubHeadingEdit = new QLineEdit(ui::DateText::format(todayOf(clock)), this);
    SubHeadingEdit->setObjectName(QStringLiteral("SubHeadingEdit"));
    SubHeadingEdit->setMaxLength(80);

    SetupBtn = button(QStringLiteral("SetupBtn"), QStringLiteral("Printer &Setup..."), this);
    FontsBtn = button(QStringLiteral("FontsBtn"), QStringLiteral("Printer &Fonts..."), this);
    OptionsBtn = button(QStringLiteral("OptionsBtn"), QStringLiteral("&Options"), this);
    PrintBtn = button(QStringLiteral("PrintBtn"), QStringLiteral("&Print"), this);
    PrintBtn->setEnabled(false);
    CsvBtn = button(QStringLiteral("CsvBtn"), QStringLiteral("Save as CS&V..."), this);
    CancelBtn = button(QStringLiteral("CancelBtn"), QStringLiteral("&Cancel"), this);
    CancelBtn->setDefault(true);

    auto *left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Report Categories:"), this));
    left->addWidget(CategoryList);
    left->addWidget(new QLabel(QStringLiteral("Report Description:"), this));
    left->addWidget(ReportList, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(output);
    auto *copiesRow = new QHBoxLayout;
    auto *copiesLabel = new QLabel(QStringLiteral("Copies"), this);
    copiesLabel->setBuddy(CopiesSpin);
    copiesRow->addWidget(copiesLabel);
    copiesRow->addWidget(CopiesSpin);
    right->addLayout(copiesRow);
    for (QPushButton *b : { SetupBtn, FontsBtn, OptionsBtn, CsvBtn })
        right->addWidget(b);
    right->addStretch();
    auto *top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right);
    auto *subLabel = new QLabel(QStringLiteral("Report &Sub Heading"), this);
    subLabel->setBuddy(SubHeadingEdit);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(PrintBtn);
    bottom->addWidget(CancelBtn);
    auto *all = new QVBoxLayout(this);
    all->addLayout(top, 1);
    all->addWidget(subLabel);
    all->addWidget(SubHeadingEdit);
    all->addLayout(bottom);

    m_options = new TRptOptions(m_data, messages, clock, this);

    connect(CategoryList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_filling)
            selectCategory(row);
    });
    connect(ReportList, &QListWidget::currentRowChanged, this, [this] {
        if (!m_filling)
            PrintBtn->setEnabled(true);
        reportChanged();
    });
    connect(ReportList, &QListWidget::itemClicked, this, [this] { PrintBtn->setEnabled(true); });
    connect(SetupBtn, &QPushButton::clicked, this, [this] { report::runPrinterSetup(this); });
    connect(FontsBtn, &QPushButton::clicked, this, [this] { FontsBtnClick(); });
    connect(OptionsBtn, &QPushButton::clicked, this, [this] { OptionsBtnClick(); });
    connect(PrintBtn, &QPushButton::clicked, this, [this] { PrintBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(CsvBtn, &QPushButton::clicked, this, [this] {
        const QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Save as CSV"),
            selectedReport() + QStringLiteral(".csv"), QStringLiteral("CSV files (*.csv)"));
        if (!name.isEmpty())
            saveCsv(name);
    });

    // The printer selection starts at the platform's default printer on every opening.
    report::setCurrentPrinterName(QString());

    auto *placement = new ui::TPlacement(this);
    placement->setIniFileName(QStringLiteral("TARNW.INI"));
    placement->setEntry(QStringLiteral("ReportForm"));

    m_filling = true;
    CategoryList->setCurrentRow(0);
    m_filling = false;
    selectCategory(0);
}

TReportForm::~TReportForm() = default;

QString TReportForm::selectedReport() const
{
    const QListWidgetItem *item = ReportList->currentItem();
    return item ? item->text() : QString();
}

void TReportForm::selectCategory(int index)
{
    const auto cats = categories();
    if (index < 0 || std::size_t(index) >= cats.size())
        return;
    m_filling = true;
    if (CategoryList->currentRow() != index)
        CategoryList->setCurrentRow(index);
    ReportList->clear();
    for (std::string_view r : cats[std::size_t(index)].reports)
        ReportList->addItem(QString::fromLatin1(r.data(), qsizetype(r.size())));
    ReportList->setCurrentRow(0);
    m_filling = false;
    reportChanged();
}

void TReportForm::reportChanged()
{
    const std::string name = selectedReport().toStdString();
    OptionsBtn->setEnabled(takesOptions(name));
    const ReportDef *def = findReport(name);
    CsvBtn->setEnabled(def && def->csv);
}

void TReportForm::OptionsBtnClick()
{
    m_options->prepareFor(selectedReport());
    m_options->exec();
}

void TReportForm::FontsBtnClick()
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, QFont(m_reportFont), this);
    if (ok)
        m_reportFont = font.family().left(20);
}

void TReportForm::PrintBtnClick()
{
    const QString name = selectedReport().trimmed().left(50);
    const ReportDef *def = findReport(name.toStdString());
    if (!def)
        return;
    if (def->detailed != DetailedFlag::Keep)
        m_options->setDetailed(def->detailed == DetailedFlag::On);
    ReportRun run(m_data, m_options->options(), m_messages, m_clock);
    if (prepareRun)
        prepareRun(run);
    RunRequest request;
    request.reportName = name;
    request.subHeading = SubHeadingEdit->text();
    request.font = m_reportFont;
    request.copies = CopiesSpin->value();
    request.preview = PreviewCheck->isChecked();
    request.printer = PrinterCheck->isChecked();
    run.run(request, this);
}

bool TReportForm::saveCsv(const QString &fileName)
{
    const std::string name = selectedReport().toStdString();
    const ReportDef *def = findReport(name);
    if (!def || !def->csv)
        return false;
    ReportContext context{ m_data, m_options->options() };
    context.today = ui::toQDate(m_clock.today()).toJulianDay();
    std::unique_ptr<ReportLayout> layout = makeLayout(*def, context);
    return ui::runAction(m_messages, [&] {
        std::ofstream out(fileName.toStdString(), std::ios::binary | std::ios::trunc);
        if (!out)
            throw std::runtime_error("Cannot create the file \"" + fileName.toStdString() + "\".");
        BorrowedCursors borrowed(m_data);
        layout->position();
        if (!layout->writeCsv(out))
            throw std::runtime_error("This report cannot be saved as CSV.");
        borrowed.restore();
        out.close();
        if (!out)
            throw std::runtime_error("Cannot write the file \"" + fileName.toStdString() + "\".");
    });
}

void TReportForm::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!m_placed) {
        m_placed = true;
        if (auto *p = findChild<ui::TPlacement *>(QString(), Qt::FindDirectChildrenOnly))
            p->restorePlacement();
    }
}

void TReportForm::done(int r)
{
    if (auto *p = findChild<ui::TPlacement *>(QString(), Qt::FindDirectChildrenOnly))
        p->savePlacement();
    QDialog::done(r);
}

void openReportCatalogue(ReportData data, QString &reportFont, ui::Messages &messages,
    const platform::Clock &clock, QWidget *parent)
{
    TReportForm form(data, reportFont, messages, clock, parent);
    form.exec();
}

} // namespace reports
