#pragma once
// TPreviewForm, "Tarnwick Report Viewer": shows the report file of the last run page by page at
// any zoom and prints it. How a caller uses it, after a completed file run:
//
//   billing::setPrintedFromPreview(false);          // a billing run clears the mark first
//   {
//       billing::TPreviewForm preview(parent);       // reads "TWREPORT.RPT" by default
//       preview.exec();                              // opens maximized; the file is read on show
//   }                                                // file closed on close, window freed here
//   if (billing::printedFromPreview()) ...           // Print was pressed at least once
//
// Pages are drawn as vectors at the screen's resolution for the current zoom; only the page shown
// is read from the file.

#include <memory>

#include <QDialog>
#include <QString>

#include "billing/preview_model.h"

class QLabel;
class QScrollArea;
class QToolButton;

namespace report {
class TFilePreview;
class TFilePrinter;
class TStatusForm;
} // namespace report

namespace ui {
class Messages;
}

namespace billing {

class PreviewPage;

class TPreviewForm : public QDialog
{
    Q_OBJECT
public:
    explicit TPreviewForm(
        QWidget *parent = nullptr, const QString &fileName = QStringLiteral("TWREPORT.RPT"));
    ~TPreviewForm() override;

    const PreviewModel &model() const { return m_model; }
    QToolButton *button(const QString &hint) const;
    QString zoomText() const;
    QString pageText() const;
    bool isFileOpen() const;
    // Where reading and printing failures are told; the desktop boxes unless a test sets one.
    void setMessages(ui::Messages *messages) { m_messages = messages; }
    ui::Messages &messages();

    // Toolbar actions, also reachable from tests.
    void zoomIn();
    void zoomOut();
    void zoomPageWidth();
    void showFullPage();
    void goFirst();
    void goPrevious();
    void goNext();
    void goLast();
    void printDocument();
    void printerSetup();
    void saveAsPdf(const QString &fileName);

protected:
    void showEvent(QShowEvent *e) override;
    void done(int r) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void openFile();
    void closeFile();
    void updateArea();
    void pageChanged();
    void zoomChanged();
    void applyZoom(double value);

    QString m_fileName;
    PreviewModel m_model;
    std::unique_ptr<report::TFilePreview> m_preview;
    std::unique_ptr<report::TFilePrinter> m_printer;
    bool m_printing = false;
    ui::Messages *m_messages = nullptr;
    std::unique_ptr<ui::Messages> m_ownMessages;
    QScrollArea *m_area = nullptr;
    PreviewPage *m_page = nullptr;
    QLabel *m_zoomLabel = nullptr;
    QLabel *m_pageLabel = nullptr;
    QList<QToolButton *> m_buttons;
};

// Back in the caller of a print run in the "Report Status" window: when the run used the file back
// end, was neither cancelled nor failed and the user asked for the preview, the preview window is
// opened modally on the run's report file and freed on return. Returns whether it was opened.
bool previewAfterRun(const report::TStatusForm &run, bool fileBackEnd, bool previewWanted,
    QWidget *parent, const QString &fileName = QStringLiteral("TWREPORT.RPT"));

} // namespace billing
