#pragma once
// TReportForm, "Report Selection": the report catalogue. One window to pick a report from its
// category, the copies, the output (preview, printer), the report font, the printer and a sub
// heading; "&Options" opens the selection options (TRptOptions, created and freed with this
// window), "&Print" runs the report (ReportRun) and "Save as CSV" writes a listing's rows for a
// spreadsheet.
//
// The "&Print" button starts disabled: the program pre-selects the first report, the user's own
// choice of a report (mouse or keyboard) enables it.
#include <functional>

#include <QDialog>
#include <QString>

#include "reports/report_layout.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace platform {
class Clock;
}
namespace ui {
class Messages;
}

namespace reports {

class TRptOptions;
class ReportRun;

class TReportForm : public QDialog
{
    Q_OBJECT
public:
    // reportFont is the program's report font; "Printer &Fonts..." changes it.
    TReportForm(ReportData tables, QString &reportFont, ui::Messages &messages,
        const platform::Clock &clock, QWidget *parent = nullptr);
    ~TReportForm() override;

    TRptOptions &options() const { return *m_options; }
    QString selectedReport() const;
    void selectCategory(int index);

    // Button actions, also reachable from tests.
    void PrintBtnClick();
    void OptionsBtnClick();
    void FontsBtnClick();
    // Writes the selected listing's rows as CSV into fileName; false (after a message) when the
    // report has no table shape or the file cannot be written.
    bool saveCsv(const QString &fileName);

    // Tests set this to see and adjust the run before it starts (hooks, file name).
    std::function<void(ReportRun &)> prepareRun;

    QListWidget *CategoryList;
    QListWidget *ReportList;
    QCheckBox *PreviewCheck;
    QCheckBox *PrinterCheck;
    QSpinBox *CopiesSpin;
    QLineEdit *SubHeadingEdit;
    QPushButton *SetupBtn;
    QPushButton *FontsBtn;
    QPushButton *OptionsBtn;
    QPushButton *PrintBtn;
    QPushButton *CsvBtn;
    QPushButton *CancelBtn;

protected:
    void showEvent(QShowEvent *e) override;
    void done(int r) override;

private:
    void reportChanged();

    ReportData m_data;
    QString &m_reportFont;
    ui::Messages &m_messages;
    const platform::Clock &m_clock;
    TRptOptions *m_options;
    bool m_filling = false;
    bool m_placed = false;
};

// The main window's "&Print Reports", after its rights and empty-file guards: shows the
// catalogue modally and frees it. The caller then puts the client cursor back on the client it
// showed and refreshes.
void openReportCatalogue(ReportData data, QString &reportFont, ui::Messages &messages,
    const platform::Clock &clock, QWidget *parent);

} // namespace reports
