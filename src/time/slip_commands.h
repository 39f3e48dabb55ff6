#pragma once

#include <functional>
#include <memory>

#include <QString>

class QWidget;

namespace ui {
class Dataset;
class LocateDialog;
class Messages;
} // namespace ui

namespace timecap {

// The main window's commands on its slip list (the slip cursor SlipTable over TWSLIP on the tag
// SL_CLIENT, ranged to the current client, and the client cursor).
//
// How the main window calls them (each after its own guards, in the order given):
//   New slip     pending-edit guard, rights "E23", empty-file guard, then
//                  commands.newSlip(openWindow);
//   Edit slip    pending-edit guard, rights "E24", empty-file guard, then
//                  commands.editSlip(openWindow);
//                from the statement detail list: move SlipTable to the slip under that list's
//                cursor, then the same guards and editSlip.
//   Delete slip  rights "E25" (no other guard), then
//                  commands.deleteSlip();  and on true repaint the slip list and the statement
//                  detail list and refresh the statement detail cursor.
//   Search       rights "E22", then  commands.searchSlips(this);
//   Numbering    once, after SlipTable is opened:
//                  installSlipNumbering(SlipTable, TrackTable, false)  (slip_numbering.h)
// openWindow(existing) runs the slip window modally ("Time Slip Entry"): new mode when
// `existing` is false, else on SlipTable's current slip. When it returns, the commands re-read
// the slip list from the table.
class SlipCommands
{
public:
    using OpenWindow = std::function<void(bool existing)>;

    SlipCommands(ui::Dataset &clients, ui::Dataset &slips, ui::Messages &messages);

    void newSlip(const OpenWindow &openWindow);
    // False when refused ("There are no time slips for " + NAME; the client record, or the slip
    // when the window opens on it, locked by another user: the engine's message in the error
    // box) and the window did not open. openWindow reports a failed opening by throwing.
    bool editSlip(const OpenWindow &openWindow);
    // True when a slip was deleted.
    bool deleteSlip();
    // The "Locate Time Slip" dialog over the slip list, run modally.
    void searchSlips(QWidget *parent);
    std::unique_ptr<ui::LocateDialog> makeSearchDialog(QWidget *parent);
    // The list read again from the table, the client's range kept, on the same slip when it is
    // still there (else on the client's last slip).
    void refreshList();

private:
    ui::Dataset &m_clients;
    ui::Dataset &m_slips;
    ui::Messages &m_messages;
};

} // namespace timecap
