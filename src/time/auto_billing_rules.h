#pragma once
// The rules of the auto billing definitions window ("Maintain Auto Billings"), free of widgets.
//
// Every client holds five auto billing slots in its own record: slot n is the seven fields
// D_ACTn, D_PROJECTn, D_CYCLEn, D_EMPLOYn, D_HOURSn, D_RATEn and D_TOTALn. The window edits
// one slot of one client at a time through its own client dataset (name order) and shows a
// summary of all five.
//
// States of the window's client record: browse --typing--> edit --save / cancel / another
// client chosen (which saves)--> browse.
#include <array>

#include <QString>
#include <QStringList>

#include "ui/dataset.h"

namespace ui {
class Messages;
}

namespace timecap {

constexpr int kSlotCount = 5;

// The field of slot `slot` (1 to 5): slotField("D_ACT", 3) is "D_ACT3".
QString slotField(const char *base, int slot);

// The texts of one row of the summary lists.
struct SlotSummary
{
    QString activity;
    QString hours; // "%8.4g", blanks removed; empty for 0
    QString rate; // currency format, blanks removed; empty for 0
    QString total; // likewise
    QString cycle;
    QString staff;
    QString project;
};

// Hours in the general format with at most four significant digits ("2.5", "1234", "1.235e+04"),
// empty for 0.
QString summaryHours(double hours);
// An amount in the currency format with two decimals, empty for 0.
QString summaryMoney(double amount);

class AutoBillingRules
{
public:
    // `clients` is the window's own client dataset; `projects` the main window's project
    // dataset, read through a reader of its own (it does not move).
    AutoBillingRules(ui::Dataset &clients, const ui::Dataset &projects, ui::Messages &messages);

    int slot() const { return m_slot; }
    // The field of the selected slot: field("D_RATE") is "D_RATE3" while slot 3 is chosen.
    QString field(const char *base) const { return slotField(base, m_slot); }
    void chooseSlot(int slot); // 1 to 5; others are ignored

    // The summary of the client under the dataset (pending changes included).
    std::array<SlotSummary, kSlotCount> summary() const;

    // Moves to another client; a pending change of the client shown is posted first. A refused
    // post shows the engine's message and stays on the client (false).
    bool chooseClient(const ui::Dataset::Bookmark &client);

    // Leaving the rate box: while the record is being edited, the slot's total becomes rate x
    // hours (not rounded). The hours alone never change the total.
    void rateLeft();

    // "&Save" (posts a pending change; false with the engine's message shown when refused) and
    // "&Cancel" (drops it).
    bool save();
    void cancel();

    // The codes of the projects of the client shown, in code order, for the project drop-down.
    QStringList projectCodes() const;

private:
    ui::Dataset &m_clients;
    const ui::Dataset &m_projects;
    ui::Messages &m_messages;
    int m_slot = 1;
};

} // namespace timecap
