#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

namespace platform {
class Clock;
}
namespace ui {
class Messages;
}

namespace app {

class MainData;

// The two maintenance options of the Options menu, without widgets: packing every table
// (with a backup of each table just before it is packed) and the check Reindex makes before it
// closes the program. Both need every other program out of the tables and never wait for one.
//
// Packing, table by table in store::packOrder() (TWACT, TWEMPLOY, TWSLIP, TWTRACK, TWCLIENT,
// TWPROJCT, TWINVOIC, TWPMT, TWSETUP, TWEMPMS, MENU):
//
//   1. close the main window's cursors on the table (two for TWSLIP and TWCLIENT)
//   2. open the table exclusively        refused: the run stops at this table
//   3. copy its files into the backup    failed:  the run stops, the table is not packed
//   4. pack it                           refused: the run stops at this table
//   5. close it, open the cursors shared again; afterTable(table, packed so far)
//
// Whatever stopped the run, the cursors of the table it stopped at are opened shared again, so
// every table is open shared afterwards; the tables after it are not touched. A cursor that is
// edited is never closed here: the pending-edit guard runs before the pack window opens.
class FileMaintenance
{
public:
    FileMaintenance(MainData &data, ui::Messages &messages, const platform::Clock &clock);

    static const QString &exclusiveText(); // "Unable to Open files in Exclusive Mode"
    static const QString &completeText(); // "Process complete."
    static const QString &othersOpenText(); // Reindex refused: other programs have the data
    static std::size_t tableCount(); // the tables packed by a whole run (11)

    struct PackRun
    {
        std::size_t packed = 0;
        std::optional<std::string> failedTable;
        QString failure; // the error box's text; empty after a whole run
        std::filesystem::path backupFolder; // empty when nothing was copied
    };

    // The folder the backups of a run go into (the run's own folder is made inside it).
    std::filesystem::path backupDirectory() const;
    // Packs every table as above; `afterTable` follows each table packed.
    PackRun pack(
        const std::function<void(std::string_view table, std::size_t packed)> &afterTable = {});
    // Shows how the run ended: the failure in the error box, if any, then "Process complete.".
    void report(const PackRun &run);

    // Before Reindex closes the program: closes every cursor of the main window and tries each
    // table exclusively. True when no other program has any of them open; the cursors are then
    // left closed for the shutdown. Otherwise every cursor is opened shared again, the
    // othersOpenText() warning is shown, nothing has changed, and false is returned.
    bool othersHaveNoTableOpen();

    // Moves ClientTable to the client numbered `number` (its first row when there is none), and
    // makes that the remembered client position. Packing moves records, so a client is found
    // again by its NUMBER and never by a position taken before.
    void findClient(const QString &number);

private:
    void closeCursorsOf(std::string_view table);
    // Opens the cursors of `table` shared again; the engine's message when one fails.
    std::optional<std::string> reopenCursorsOf(std::string_view table);
    void reopenAll();

    MainData &m_data;
    ui::Messages &m_messages;
    const platform::Clock &m_clock;
};

} // namespace app
