#pragma once
// TGenerateTSForm, "Generate Auto Billings": a client range and a cycle range, then either the
// slips of every generating auto billing slot (generate_rules.h) or only their listing, the
// "Proforma Auto Entry Report", recorded into the report file and shown in the preview.
//
// The run borrows the main window's client and slip cursors: both held still on screen while it
// lasts and put back as they stood (order, range, position) on every path, a finished run, a
// refused range or an engine error. The caller returns the main window to its client afterwards.
#include <functional>
#include <optional>
#include <string>

#include <QDialog>

#include "time/generate_rules.h"
#include "ui/client_range_boxes.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace platform {
class Clock;
}
namespace ui {
class Messages;
class TPlacement;
} // namespace ui

namespace timecap {

class TGenerateTSForm : public QDialog
{
    Q_OBJECT
public:
    // `tables` are the main window's cursors (the slips numbered on insert); `dataDirectory`
    // ("" or ending in "/") is where the window opens its own client cursor for the boxes and the
    // pick list; `reportFont` is the program-wide report font's face.
    TGenerateTSForm(const GenerateTables &tables, const std::string &dataDirectory,
        const QString &reportFont, ui::Messages &messages, const platform::Clock &clock,
        QWidget *parent = nullptr);
    ~TGenerateTSForm() override;

    // Replaceable for tests: the client pick list "Search" opened on the client nearest to
    // `typed`; the chosen client's trimmed NAME, nothing when cancelled (the window's own client
    // cursor then stands on the choice).
    std::function<std::optional<QString>(const QString &typed)> pickClient;
    // Shows the recorded listing; by default the preview window at 90 percent.
    std::function<void(const QString &file)> showListing;
    // The report file the listing is recorded into.
    QString reportFile = QStringLiteral("TWREPORT.RPT");

    int created() const { return m_created; } // slips created since the window opened

    QLineEdit *BeginEdit;
    QLineEdit *EndEdit;
    QPushButton *BeginListBtn;
    QPushButton *EndListBtn;
    QComboBox *CycleCombo;
    QComboBox *ToCycleCombo;
    QCheckBox *ListingCheck;
    QPushButton *OKBtn; // "&Generate "
    QPushButton *CancelBtn;
    QPushButton *PrintSetupBtn;
    QLabel *CreatingLabel;
    QLabel *CounterLabel;

    void OKBtnClick();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    std::optional<GenerateRange> range();
    void runListing(const GenerateRange &range);
    void runGeneration(const GenerateRange &range);

    GenerateTables m_tables;
    QString m_reportFont;
    ui::Messages &m_messages;
    const platform::Clock &m_clock;
    ui::ClientRangeBoxes *m_range; // the boxes, with their own client cursor for lookups
    int m_created = 0;
    bool m_running = false;
    bool m_placed = false;
    ui::TPlacement *m_placement;
};

} // namespace timecap
