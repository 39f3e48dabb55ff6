#include "billing/preview_form.h"

#include <functional>

#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "report_engine/qt/current_printer.h"
#include "report_engine/qt/file_printer.h"
#include "report_engine/qt/status_form.h"
#include "report_engine/report_file_reader.h"
#include "ui/desktop_messages.h"
#include "ui/placement.h"

namespace billing {

// The page shown: white sheet, its records drawn at the screen's resolution for the zoom.
// A damaged report file (a stray record code, a page cut off) fails while a page is drawn: the
// part read so far stays on the sheet, and the first failure of the file is handed to
// onFailure once the paint event is over (a modal box inside a paint event would be painted
// over and reentered).
class PreviewPage : public QWidget
{
public:
    PreviewPage(QWidget *parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    report::TFilePreview *preview = nullptr;
    int page = 1;
    double zoom = 100;
    bool failureTold = false; // cleared when a file is opened
    std::function<void(const QString &)> onFailure;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        if (!preview)
            return;
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        QString failure;
        try {
            preview->RenderPage(page, p, logicalDpiX(), zoom);
        } catch (const std::exception &e) {
            failure = QString::fromStdString(e.what());
        }
        if (failure.isEmpty() || failureTold)
            return;
        failureTold = true;
        QMetaObject::invokeMethod(
            this,
            [this, failure] {
                if (onFailure)
                    onFailure(failure);
            },
            Qt::QueuedConnection);
    }
};

namespace {
struct ButtonDef
{
    const char *hint;
    QStyle::StandardPixmap icon;
    const char *text;
};
} // namespace

TPreviewForm::TPreviewForm(QWidget *parent, const QString &fileName)
    : QDialog(parent)
    , m_fileName(fileName)
{
    setObjectName(QStringLiteral("PreviewForm"));
    setWindowTitle(QStringLiteral("Tarnwick Report Viewer"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(2, 2, 2, 2);
    bar->setSpacing(1);
    const ButtonDef defs[] = {
        { "Zoom In", QStyle::SP_ArrowUp, "+" },
        { "Zoom Out", QStyle::SP_ArrowDown, "-" },
        { "Zoom Page Width", QStyle::SP_ToolBarHorizontalExtensionButton, "W" },
        { "Show Full Page", QStyle::SP_FileIcon, "P" },
        { "Go to First Page", QStyle::SP_MediaSkipBackward, "|<" },
        { "Go to Previous Page", QStyle::SP_MediaSeekBackward, "<" },
        { "Go to Next Page", QStyle::SP_MediaSeekForward, ">" },
        { "Go to Last Page", QStyle::SP_MediaSkipForward, ">|" },
        { "Print document", QStyle::SP_DialogSaveButton, "Pr" },
        { "Printer Setup", QStyle::SP_FileDialogDetailedView, "Set" },
        { "Save as PDF", QStyle::SP_DriveFDIcon, "PDF" },
        { "Done", QStyle::SP_DialogCloseButton, "X" },
    };
    for (const auto &d : defs) {
        auto *b = new QToolButton(this);
        b->setFixedSize(28, 28);
        b->setToolTip(QString::fromLatin1(d.hint));
        b->setIcon(style()->standardIcon(d.icon));
        b->setText(QString::fromLatin1(d.text));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        bar->addWidget(b);
        m_buttons << b;
    }
    bar->addStretch();
    layout->addLayout(bar);

    m_area = new QScrollArea(this);
    m_area->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_area->setFocusPolicy(Qt::NoFocus);
    m_page = new PreviewPage(m_area);
    m_page->onFailure = [this](const QString &text) { messages().error(text); };
    m_area->setWidget(m_page);
    layout->addWidget(m_area, 1);

    auto *status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    status->addWidget(new QLabel(QStringLiteral("Page Scale"), status));
    m_zoomLabel = new QLabel(QStringLiteral("100%"), status);
    m_zoomLabel->setMinimumWidth(60);
    status->addWidget(m_zoomLabel);
    m_pageLabel = new QLabel(QStringLiteral("Page 1 of 1"), status);
    status->addWidget(m_pageLabel);
    layout->addWidget(status);

    auto connectHint = [this](const char *hint, void (TPreviewForm::*slot)()) {
        connect(button(QString::fromLatin1(hint)), &QToolButton::clicked, this, slot);
    };
    connectHint("Zoom In", &TPreviewForm::zoomIn);
    connectHint("Zoom Out", &TPreviewForm::zoomOut);
    connectHint("Zoom Page Width", &TPreviewForm::zoomPageWidth);
    connectHint("Show Full Page", &TPreviewForm::showFullPage);
    connectHint("Go to First Page", &TPreviewForm::goFirst);
    connectHint("Go to Previous Page", &TPreviewForm::goPrevious);
    connectHint("Go to Next Page", &TPreviewForm::goNext);
    connectHint("Go to Last Page", &TPreviewForm::goLast);
    connectHint("Print document", &TPreviewForm::printDocument);
    connectHint("Printer Setup", &TPreviewForm::printerSetup);
    connect(button(QStringLiteral("Save as PDF")), &QToolButton::clicked, this, [this] {
        const QString name = QFileDialog::getSaveFileName(
            this, QStringLiteral("Save as PDF"), QString(), QStringLiteral("PDF files (*.pdf)"));
        if (!name.isEmpty())
            saveAsPdf(name);
    });
    connect(button(QStringLiteral("Done")), &QToolButton::clicked, this, &QDialog::accept);

    auto *placement = new ui::TPlacement(this);
    placement->setEntry(QStringLiteral("PreviewForm"));
    placement->setIniFileName(QStringLiteral("TARNW.INI"));
    setWindowState(Qt::WindowMaximized);
}

TPreviewForm::~TPreviewForm()
{
    closeFile();
}

ui::Messages &TPreviewForm::messages()
{
    if (m_messages)
        return *m_messages;
    if (!m_ownMessages)
        m_ownMessages = std::make_unique<ui::DesktopMessages>(this);
    return *m_ownMessages;
}

QToolButton *TPreviewForm::button(const QString &hint) const
{
    for (auto *b : m_buttons)
        if (b->toolTip() == hint)
            return b;
    return nullptr;
}

QString TPreviewForm::zoomText() const
{
    return m_zoomLabel->text();
}
QString TPreviewForm::pageText() const
{
    return m_pageLabel->text();
}
bool TPreviewForm::isFileOpen() const
{
    return m_preview != nullptr;
}

void TPreviewForm::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (auto *p = findChild<ui::TPlacement *>())
        p->restorePlacement();
    if (!m_preview)
        openFile();
}

void TPreviewForm::openFile()
{
    auto preview = std::make_unique<report::TFilePreview>();
    preview->FileName = m_fileName;
    try {
        preview->Open();
    } catch (const std::exception &ex) {
        messages().error(QString::fromStdString(ex.what()));
        return;
    }
    const auto &h = preview->Header();
    m_model.setDocument(h.firstPage, preview->PageCount(), h.sheetWidth, h.sheetHeight);
    m_preview = std::move(preview);
    m_page->preview = m_preview.get();
    m_page->failureTold = false;
    m_page->page = m_model.currentPage();
    updateArea();
    // The zoom label keeps its "100%" until the zoom is changed; the sheet gets its size now.
    m_page->zoom = m_model.zoom();
    m_page->resize(m_model.pagePixelWidth(), m_model.pagePixelHeight());
    pageChanged();
}

void TPreviewForm::closeFile()
{
    if (m_page)
        m_page->preview = nullptr;
    if (m_preview)
        m_preview->Close();
    m_preview.reset();
    if (m_printer)
        m_printer->Close();
    m_printer.reset();
}

void TPreviewForm::done(int r)
{
    if (auto *p = findChild<ui::TPlacement *>())
        p->savePlacement();
    closeFile();
    QDialog::done(r);
}

void TPreviewForm::updateArea()
{
    PageArea a;
    a.innerWidth = m_area->width() - 2 * m_area->frameWidth();
    a.innerHeight = m_area->height() - 2 * m_area->frameWidth();
    a.scrollBarWidth = m_area->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    a.pixelsPerInchX = m_page->logicalDpiX();
    a.pixelsPerInchY = m_page->logicalDpiY();
    m_model.setArea(a);
}

void TPreviewForm::pageChanged()
{
    m_pageLabel->setText(QString::fromStdString(m_model.pageLabel()));
    m_page->page = m_model.currentPage() - m_model.firstPage() + 1;
    m_page->update();
}

void TPreviewForm::zoomChanged()
{
    m_zoomLabel->setText(QString::fromStdString(m_model.zoomLabel()));
    m_page->zoom = m_model.zoom();
    m_page->resize(m_model.pagePixelWidth(), m_model.pagePixelHeight());
    m_page->update();
}

void TPreviewForm::applyZoom(double value)
{
    updateArea();
    m_model.setZoom(value);
    zoomChanged();
}

void TPreviewForm::zoomIn()
{
    applyZoom(m_model.zoom() + PreviewModel::kZoomStep);
}
void TPreviewForm::zoomOut()
{
    applyZoom(m_model.zoom() - PreviewModel::kZoomStep);
}
void TPreviewForm::zoomPageWidth()
{
    applyZoom(PreviewModel::kPageWidthCode);
}
void TPreviewForm::showFullPage()
{
    applyZoom(PreviewModel::kWholePageCode);
}

void TPreviewForm::goFirst()
{
    if (m_model.firstPageGo())
        pageChanged();
}
void TPreviewForm::goPrevious()
{
    if (m_model.previousPage())
        pageChanged();
}
void TPreviewForm::goNext()
{
    if (m_model.nextPage())
        pageChanged();
}
void TPreviewForm::goLast()
{
    if (m_model.lastPageGo())
        pageChanged();
}

void TPreviewForm::printDocument()
{
    // The mark that offers finalization stands only once a job has been handed to the printer:
    // a press that printed nothing (no printer, a file that cannot be read) does not set it.
    const bool printedBefore = printedFromPreview();
    bool printed = false;
    PreviewModel::pressPrint([this] { return m_printing; },
        [this, &printed] {
            m_printing = true;
            m_printer = std::make_unique<report::TFilePrinter>();
            m_printer->FileName = m_fileName;
            m_printer->PrinterName = report::currentPrinterName();
            m_printer->OnMessage = [this](const std::string &m) {
                messages().error(QString::fromStdString(m));
            };
            try {
                m_printer->Open();
                printed = m_printer->Print();
            } catch (const std::exception &ex) {
                messages().error(QString::fromStdString(ex.what()));
            }
            m_printer->Close();
            m_printing = false;
        });
    setPrintedFromPreview(printedBefore || printed);
}

void TPreviewForm::printerSetup()
{
    report::runPrinterSetup(this);
}

void TPreviewForm::saveAsPdf(const QString &fileName)
{
    report::TFilePrinter pdf;
    pdf.FileName = m_fileName;
    pdf.PdfOutput = fileName;
    pdf.OnMessage = [this](const std::string &m) { messages().error(QString::fromStdString(m)); };
    try {
        pdf.Open();
        // A statement saved as PDF (and mailed) is a printed statement.
        if (pdf.Print())
            setPrintedFromPreview(true);
    } catch (const std::exception &ex) {
        messages().error(QString::fromStdString(ex.what()));
    }
    pdf.Close();
}

void TPreviewForm::keyPressEvent(QKeyEvent *e)
{
    QScrollBar *v = m_area->verticalScrollBar();
    if (e->key() == Qt::Key_Up) {
        v->setValue(std::max(v->minimum(), v->value() - v->singleStep()));
        return;
    }
    if (e->key() == Qt::Key_Down) {
        v->setValue(std::min(v->maximum(), v->value() + v->singleStep()));
        return;
    }
    QDialog::keyPressEvent(e);
}

bool previewAfterRun(const report::TStatusForm &run, bool fileBackEnd, bool previewWanted,
    QWidget *parent, const QString &fileName)
{
    // A run whose job never began left no report of its own: an older file must not be shown.
    // A failed run left a report cut off where the error struck: it is not shown either.
    if (!fileBackEnd || run.Canceled() || run.Failed() || !run.JobStarted() || !previewWanted)
        return false;
    TPreviewForm preview(parent, fileName);
    preview.exec();
    return true;
}

} // namespace billing
