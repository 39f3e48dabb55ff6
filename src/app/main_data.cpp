#include "app/main_data.h"

#include "dbf/errors.h"
#include "ui/engine_cursor.h"

namespace app {

const std::array<MainData::CursorDef, MainData::kCursorCount> &MainData::cursorDefs()
{
    static const std::array<CursorDef, kCursorCount> defs = { {
        { ClientTable, "ClientTable", "TWCLIENT", "NAME", true },
        { EMPLOYEETABLE, "EMPLOYEETABLE", "TWEMPLOY", "EMPNUMBER", true },
        { ShadowClientTable, "ShadowClientTable", "TWCLIENT", "NAME", false },
        { SlipTable, "SlipTable", "TWSLIP", "SL_CLIENT", true },
        { ProjectTable, "ProjectTable", "TWPROJCT", "CLIENT_COD", true },
        { InvoiceTable, "InvoiceTable", "TWINVOIC", "INV_CLIENT", true },
        { PaymentTable, "PaymentTable", "TWPMT", "PMT_INVOIC", true },
        { SlipShadowTable, "SlipShadowTable", "TWSLIP", "SL_INVOICE", false },
        { SetupTable, "SetupTable", "TWSETUP", "", true },
        { TrackTable, "TrackTable", "TWTRACK", "", true },
        { ActivityTable1, "ActivityTable1", "TWACT", "ACTIVITY", true },
        { EmpMiscTable, "EmpMiscTable", "TWEMPMS", "EMPMSNUM", true },
        { MenuTable, "MenuTable", "MENU", "KEY", false },
    } };
    return defs;
}

MainData::MainData(QObject *parent)
    : QObject(parent)
    , m_group(new ui::DatasetGroup(this))
{
    for (const CursorDef &def : cursorDefs()) {
        auto *dataset = new ui::Dataset(QString::fromLatin1(def.name), this);
        dataset->setObjectName(QString::fromLatin1(def.name));
        dataset->setFlushOnPost(def.flushOnPost);
        m_group->add(dataset);
        m_datasets[std::size_t(def.cursor)] = dataset;
    }
}

MainData::~MainData()
{
    closeAll();
}

MainData::OpenResult MainData::open(Cursor cursor)
{
    const CursorDef &def = cursorDefs()[std::size_t(cursor)];
    ui::Dataset &ds = dataset(cursor);
    if (ds.isOpen())
        return OpenResult::Opened;
    try {
        ds.open(ui::EngineCursor::open(m_state.dataDirectory, def.table));
        if (*def.tag)
            ds.setTag(QString::fromLatin1(def.tag));
        if (cursor == PaymentTable && isOpen(InvoiceTable))
            ds.setMaster(&dataset(InvoiceTable), { QStringLiteral("INV_NUMBER") });
        if (cursor == SlipShadowTable && isOpen(InvoiceTable))
            ds.setMaster(&dataset(InvoiceTable), { QStringLiteral("INV_NUMBER") });
        if (cursor == InvoiceTable) {
            for (Cursor detail : { PaymentTable, SlipShadowTable })
                if (isOpen(detail))
                    dataset(detail).setMaster(&ds, { QStringLiteral("INV_NUMBER") });
        }
        ds.first();
        return OpenResult::Opened;
    } catch (const dbf::Error &e) {
        ds.close();
        return std::string_view(e.what()).starts_with("Table is busy") ? OpenResult::Busy
                                                                       : OpenResult::Failed;
    }
}

void MainData::close(Cursor cursor)
{
    ui::Dataset &ds = dataset(cursor);
    if (cursor == InvoiceTable)
        for (Cursor detail : { PaymentTable, SlipShadowTable })
            dataset(detail).clearMaster();
    if (ds.master())
        ds.clearMaster();
    ds.close();
}

void MainData::closeAll()
{
    for (Cursor detail : { PaymentTable, SlipShadowTable })
        close(detail);
    for (const CursorDef &def : cursorDefs())
        close(def.cursor);
}

QString MainData::currentClientNumber() const
{
    const ui::Dataset &ds = *m_datasets[ClientTable];
    if (!ds.isOpen() || (ds.isEmpty() && ds.state() != ui::Dataset::State::Insert))
        return {};
    return ds.text(QStringLiteral("NUMBER")).trimmed();
}

std::optional<std::array<QString, 5>> MainData::userFieldCaptions() const
{
    ui::Dataset &setup = *m_datasets[SetupTable];
    if (!setup.isOpen() || setup.isEmpty())
        return std::nullopt;
    std::array<QString, 5> captions;
    for (int i = 0; i < 5; ++i)
        captions[std::size_t(i)] = setup.text(QStringLiteral("USERFIELD%1").arg(i + 1));
    return captions;
}

} // namespace app
