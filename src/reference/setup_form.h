#pragma once

#include <functional>
#include <optional>

#include <QDialog>
#include <QStringList>

#include "reference/setup_rules.h"

class QCheckBox;
class QPushButton;
class QTabWidget;

namespace ui {
class Dataset;
class Messages;
class TPlacement;
} // namespace ui

namespace reference {

// The company setup window ("Setup Information"), a thin form over SetupRules and the main
// window's setup dataset. Two pages ("Company", "Billing Statement Layout"); buttons PrintBtn,
// SaveBtn, CancelBtn, FontBtn; fields named after their table fields (COMPNAMEEdit,
// SUBPROJCheck, INVSORTCombo, ...). The record stays in editing while the window is open.
// On every close, after the save or discard, userFieldCaptionsChanged() carries USERFIELD1 to
// USERFIELD5 for the main window's client page.
class TSetupForm : public QDialog
{
    Q_OBJECT
public:
    TSetupForm(ui::Dataset &setup, ui::Messages &messages, QWidget *parent = nullptr);

    // The font chooser preset to the current name; the chosen face name, or nothing when
    // cancelled. By default the system font dialog. Tests replace it.
    std::function<std::optional<QString>(const QString &current)> chooseFont;
    // The printer dialog; true when confirmed. By default the system print dialog.
    std::function<bool()> choosePrinter;
    // "Pr&int Test Statement" after the printer dialog was confirmed: the sample statement laid
    // out with the options on screen, saved or not. Set by the main window, which owns the
    // cursors it runs over; unset, the button prints nothing.
    std::function<void()> printTestStatement;

    ui::TPlacement *placement() const { return m_placement; }
    SetupRules &rules() { return m_rules; }

    // A window destroyed without being closed still releases the record it holds.
    ~TSetupForm() override;

    void done(int result) override;

signals:
    void userFieldCaptionsChanged(const QStringList &captions);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void SaveBtnClick();
    void CancelBtnClick();
    void FontBtnClick();
    void PrintBtnClick();
    void fieldChanged(const QString &field);
    void updateSubtotalBoxes();
    void finish(int result);

    ui::Dataset &m_setup;
    ui::Messages &m_messages;
    SetupRules m_rules;
    ui::TPlacement *m_placement;
    QTabWidget *m_pages;
    QWidget *m_companyName = nullptr;
    QCheckBox *m_subProj = nullptr;
    QCheckBox *m_subAct = nullptr;
    bool m_placed = false;
};

} // namespace reference
