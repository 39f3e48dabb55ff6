#pragma once

#include <optional>
#include <string>

#include <QString>

#include "store/settings.h"
#include "store/startup_check.h"

namespace ui {
class Messages;
}

namespace app {

class MainData;

// The start-up file check, run once from the main window's creation before anything else has
// touched the tables, in this order:
//
//   1. settings: ReportFont, Login Name and Path (each cut to its limit), the data directory
//      from Path, Hints; all into the program-wide state
//   2. tables and memo files missing from the data directory copied from their templates
//   3. index files missing rebuilt with every tag
//   4. the thirteen cursors opened shared, in the order of MainData::cursorDefs(); a table held
//      exclusively by another program ("Table is busy") shows the warning and stops here with
//      Outcome::Busy (the caller then ends without writing anything); any other failure leaves
//      that one cursor closed
//   5. slip-tag repair: when TWSLIP has no tag on SL_CLIENT+DTOS(SL_DATEBEG), both slip cursors
//      are closed, the tag added, and both opened again
//
// A table or memo file missing together with its template, and a tag that cannot be added,
// throw store::StoreError naming it; the program shows it and ends.
class Startup
{
public:
    // Declined: record locks do not work in the data directory and the user chose to quit
    // rather than open the data files as their only user (confirmSharedLocking).
    enum class Outcome { Started, Busy, Declined };

    Startup(MainData &data, ui::Messages &messages);

    static const QString &busyText();

    Outcome run(const store::Settings::Lookup &settings);

    // Steps 1 to 5 one by one, for the callers and tests that need them apart.
    void readSettings(const store::Settings::Lookup &settings);
    void checkFiles();
    Outcome openTables();
    void repairSlipTag();

    // After the login step: the first start adds the administrator "000" to TWEMPLOY and TWEMPMS
    // through table handles of its own, so the main window's cursors on those tables (opened on
    // the empty tables) are read again, and one that stood on no record goes to its first.
    static void rereadStaffCursors(MainData &data);

    const store::StartupReport &report() const { return m_report; }
    bool slipTagRepaired() const { return m_slipTagRepaired; }

private:
    MainData &m_data;
    ui::Messages &m_messages;
    store::StartupReport m_report;
    bool m_slipTagRepaired = false;
};

} // namespace app
