#pragma once
// TInvoiceform, "Generate Billing Statements" (billing mode) or "Proforma Billing Report"
// (proforma mode): the run parameters of a billing run, and the run itself. A thin form: the
// selection and posting rules are billing_rules.h, the printed statement is the statement
// document; this window only gathers the boxes, runs the print half in the status window, shows
// the preview, asks, and hands the printed plan to the finalizer.
//
// A run: idle --Generate--> printing (status window) --completed--> previewing (preview window)
//   --printed from the preview--> asking --Yes--> finalizing --> idle. Cancel or an engine error
//   in the status window, no statement to print, or a preview closed without printing go back to
//   idle with the tables untouched.
//
// The window borrows the main window's cursors (InvoiceData) and puts each one it moves back on
// every path (ui::CursorScope); the caller returns to its remembered client and refreshes it.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QDialog>
#include <QString>

#include "billing/billing_rules.h"
#include "ui/client_range_boxes.h"
#include "ui/dataset.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace platform {
class Clock;
class IniFile;
} // namespace platform
namespace report {
class TBaseReport;
}
namespace reports {
class ProformaDocument;
class StatementDocument;
} // namespace reports
namespace ui {
class Messages;
class TPlacement;
} // namespace ui

namespace billing {

enum class InvoiceMode { Billing, Proforma };

// The main window's cursors a run reads, and where the data lives.
struct InvoiceData
{
    ui::Dataset &clients; // ClientTable
    ui::Dataset &slips; // SlipTable
    ui::Dataset &invoices; // InvoiceTable
    ui::Dataset &payments; // PaymentTable (detail of invoices, held still during a run)
    ui::Dataset &statementSlips; // SlipShadowTable (detail of invoices, held still)
    ui::Dataset &projects; // ProjectTable
    ui::Dataset &activities; // ActivityTable1
    ui::Dataset &staff; // EMPLOYEETABLE
    ui::Dataset &setup; // SetupTable
    ui::Dataset &track; // TrackTable
    std::string dataDirectory; // "" or ending in "/"
    const platform::IniFile &settings; // TARNW.INI (the statement's [Invoice] keys)
    QString *reportFont = nullptr; // the program-wide report font (proforma mode's Fonts)
};

class TInvoiceform : public QDialog
{
    Q_OBJECT
public:
    TInvoiceform(InvoiceMode mode, const InvoiceData &cursors, ui::Messages &messages,
        const platform::Clock &clock, QWidget *parent = nullptr);
    ~TInvoiceform() override;

    InvoiceMode mode() const { return m_mode; }

    // The run parameters as the boxes stand (dates unresolved: see resolveSlipDates).
    RunParameters parameters(const SlipDates &dates) const;

    // Replaceable dialogs (tests answer them without a desktop). Each returns nothing when
    // cancelled.
    // The client search list, opened on the client nearest to `typed`: the chosen NAME.
    std::function<std::optional<QString>(const QString &typed)> pickClient;
    // The print dialog: the copies chosen (the printer chosen becomes the current printer).
    std::function<std::optional<int>()> choosePrinter;
    // The font dialog seeded with a face name: the chosen face name.
    std::function<std::optional<QString>(const QString &face)> chooseFont;
    // Attaches the document of the print half to a back end: the statement document in billing
    // mode, which records what it printed (plan()), the proforma report in proforma mode (on
    // the report font). Set by default; tests may wrap it.
    std::function<void(report::TBaseReport &, const RunParameters &)> attachDocument;

    // Buttons and boxes, also reached from tests by objectName.
    QLineEdit *BeginEdit;
    QLineEdit *EndEdit;
    QPushButton *BeginListBtn;
    QPushButton *EndListBtn;
    QComboBox *CycleCombo;
    QComboBox *ToCycleCombo;
    QLineEdit *DateEdit;
    QLineEdit *ToDateEdit;
    QSpinBox *MinimumSpin;
    QCheckBox *PrevBalanceCheck;
    QPushButton *OKBtn; // "&Generate "
    QPushButton *CancelBtn;
    QPushButton *PrintSetupBtn;
    QPushButton *FontBtn;
    QLabel *FinalizeLabel;
    QLabel *FinalizeClientLabel;

    // The run of the Generate button.
    void OKBtnClick();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void FormCreate();
    void PrintSetupBtnClick();
    void FontBtnClick();
    void runBilling();
    void finalize(const BillingPlan &plan);
    void installDefaultDialogs();
    void installStatementDocument();

    InvoiceMode m_mode;
    InvoiceData m_data;
    ui::Messages &m_messages;
    const platform::Clock &m_clock;
    ui::ClientRangeBoxes *m_range = nullptr; // the boxes, with their own client cursor
    int m_copies = 1;
    bool m_placed = false;
    ui::TPlacement *m_placement;
    std::unique_ptr<reports::StatementDocument> m_document; // of the last run
    std::unique_ptr<reports::ProformaDocument> m_proforma; // of the last proforma run
};

// "Pr&int Test Statement" of the company setup window, once its printer dialog was confirmed:
// the statement document in sample mode, laid out with the setup record as it stands (in edit:
// the options on screen, saved or not), run in the status window into the report file under a
// wait cursor, then shown in the preview unless the run was cancelled. Afterwards the client
// cursor is in client-number order on its first client and the slip cursor on its per-client
// tag.
void printTestStatement(const InvoiceData &data, ui::Messages &messages,
    const platform::Clock &clock, QWidget *parent);

} // namespace billing
