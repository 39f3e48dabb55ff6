#pragma once

#include <array>
#include <filesystem>
#include <optional>

#include <QObject>
#include <QString>

#include "app/program_state.h"
#include "ui/dataset.h"

namespace app {

// The shared data context of the program: the main window's thirteen datasets, open for the
// whole run, and the program-wide state. Created once at start and handed by reference to every
// window; a window that needs the current client asks it here.
//
//   CURSOR             TABLE     TAG         RESTRICTION
//   ClientTable        TWCLIENT  NAME        none (the list search may change the tag)
//   EMPLOYEETABLE      TWEMPLOY  EMPNUMBER   none
//   ShadowClientTable  TWCLIENT  NAME        second client cursor of the list search
//   SlipTable          TWSLIP    SL_CLIENT   range = current client (client refresh)
//   ProjectTable       TWPROJCT  CLIENT_COD  none
//   InvoiceTable       TWINVOIC  INV_CLIENT  range = current client (client refresh)
//   PaymentTable       TWPMT     PMT_INVOIC  detail of InvoiceTable: PMT_INVOIC = INV_NUMBER
//   SlipShadowTable    TWSLIP    SL_INVOICE  detail of InvoiceTable: SL_INVOICE = INV_NUMBER
//   SetupTable         TWSETUP   (none)      the single record
//   TrackTable         TWTRACK   (none)      the single record
//   ActivityTable1     TWACT     ACTIVITY    none
//   EmpMiscTable       TWEMPMS   EMPMSNUM    none
//   MenuTable          MENU      KEY         none
//
// Every cursor but MenuTable, ShadowClientTable and SlipShadowTable writes its table's pending
// changes to disk after each post. Datasets over the same table re-read their record after a
// post on another (one DatasetGroup).
class MainData : public QObject
{
    Q_OBJECT
public:
    enum Cursor {
        ClientTable,
        EMPLOYEETABLE,
        ShadowClientTable,
        SlipTable,
        ProjectTable,
        InvoiceTable,
        PaymentTable,
        SlipShadowTable,
        SetupTable,
        TrackTable,
        ActivityTable1,
        EmpMiscTable,
        MenuTable,
    };
    static constexpr int kCursorCount = 13;

    // Table, tag and restriction of each cursor; also the order in which they are opened.
    struct CursorDef
    {
        Cursor cursor;
        const char *name;
        const char *table;
        const char *tag; // "" for record order
        bool flushOnPost;
    };
    static const std::array<CursorDef, kCursorCount> &cursorDefs();

    explicit MainData(QObject *parent = nullptr);
    ~MainData() override;

    ProgramState &state() { return m_state; }
    const ProgramState &state() const { return m_state; }
    ui::Dataset &dataset(Cursor cursor) { return *m_datasets[std::size_t(cursor)]; }
    ui::Dataset &clients() { return dataset(ClientTable); }

    enum class OpenResult { Opened, Failed, Busy };
    // Opens one cursor shared on the data directory with its tag and link. "Table is busy" gives
    // Busy; any other engine failure gives Failed and the cursor stays closed.
    OpenResult open(Cursor cursor);
    void close(Cursor cursor);
    // Closes every cursor, details first; pending edits are cancelled.
    void closeAll();
    bool isOpen(Cursor cursor) const { return m_datasets[std::size_t(cursor)]->isOpen(); }

    // The current client's NUMBER ("" with no clients or a closed cursor).
    QString currentClientNumber() const;
    // USERFIELD1 .. USERFIELD5 of the setup record; nullopt when it cannot be read.
    std::optional<std::array<QString, 5>> userFieldCaptions() const;

private:
    ProgramState m_state;
    std::array<ui::Dataset *, kCursorCount> m_datasets{};
    ui::DatasetGroup *m_group;
};

} // namespace app
