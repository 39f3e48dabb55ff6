#include "app/file_maintenance.h"

#include "app/main_data.h"
#include "app/pack_backup.h"
#include "dbf/errors.h"
#include "dbf/table.h"
#include "platform/clock.h"
#include "store/schema.h"
#include "ui/messages.h"

namespace app {

namespace {

QString fromStd(const std::string &text)
{
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
}

} // namespace

FileMaintenance::FileMaintenance(
    MainData &data, ui::Messages &messages, const platform::Clock &clock)
    : m_data(data)
    , m_messages(messages)
    , m_clock(clock)
{
}

const QString &FileMaintenance::exclusiveText()
{
    static const QString text = QStringLiteral("Unable to Open files in Exclusive Mode");
    return text;
}

const QString &FileMaintenance::completeText()
{
    static const QString text = QStringLiteral("Process complete.");
    return text;
}

const QString &FileMaintenance::othersOpenText()
{
    static const QString text = QStringLiteral(
        "Other users have the data files open.  All other users must leave Tarnwick before the "
        "data files can be reindexed.  Nothing has been changed.");
    return text;
}

std::size_t FileMaintenance::tableCount()
{
    return store::packOrder().size();
}

std::filesystem::path FileMaintenance::backupDirectory() const
{
    return PackBackup::backupDirectory(m_data.state().dataDirectory);
}

void FileMaintenance::closeCursorsOf(std::string_view table)
{
    // Details before their master, as MainData::closeAll does.
    for (MainData::Cursor detail : { MainData::PaymentTable, MainData::SlipShadowTable })
        if (MainData::cursorDefs()[std::size_t(detail)].table == table)
            m_data.close(detail);
    for (const MainData::CursorDef &def : MainData::cursorDefs())
        if (def.table == table)
            m_data.close(def.cursor);
}

std::optional<std::string> FileMaintenance::reopenCursorsOf(std::string_view table)
{
    std::optional<std::string> failure;
    for (const MainData::CursorDef &def : MainData::cursorDefs())
        if (def.table == table && m_data.open(def.cursor) != MainData::OpenResult::Opened)
            failure = std::string(table) + " could not be opened again";
    return failure;
}

void FileMaintenance::reopenAll()
{
    for (const MainData::CursorDef &def : MainData::cursorDefs())
        m_data.open(def.cursor);
}

FileMaintenance::PackRun FileMaintenance::pack(
    const std::function<void(std::string_view table, std::size_t packed)> &afterTable)
{
    PackRun run;
    const std::filesystem::path directory = m_data.state().dataDirectory;
    PackBackup backup(directory, m_clock.now());
    for (std::string_view name : store::packOrder()) {
        closeCursorsOf(name);
        QString failure;
        {
            std::unique_ptr<dbf::Table> table;
            try {
                table = dbf::Table::open(directory, name, dbf::OpenMode::Exclusive);
            } catch (const std::exception &e) {
                failure = exclusiveText() + QStringLiteral("\n\n") + fromStd(e.what());
            }
            if (table) {
                try {
                    backup.copyTable(name);
                } catch (const std::exception &e) {
                    failure = QStringLiteral("The backup copy of %1 could not be made: %2.  %1 "
                                             "and the tables after it have not been packed.")
                                  .arg(QString::fromLatin1(name), fromStd(e.what()));
                }
            }
            if (table && failure.isEmpty()) {
                try {
                    table->pack();
                    table->flush();
                } catch (const std::exception &e) {
                    failure = exclusiveText() + QStringLiteral("\n\n") + QString::fromLatin1(name)
                        + QStringLiteral(": ") + fromStd(e.what());
                }
            }
        }
        const std::optional<std::string> reopenFailure = reopenCursorsOf(name);
        if (failure.isEmpty() && reopenFailure)
            failure = fromStd(*reopenFailure);
        if (!failure.isEmpty()) {
            run.failedTable = std::string(name);
            run.failure = failure;
            break;
        }
        ++run.packed;
        if (afterTable)
            afterTable(name, run.packed);
    }
    if (backup.made()) {
        run.backupFolder = backup.folder();
        backup.prune();
    }
    return run;
}

void FileMaintenance::report(const PackRun &run)
{
    if (!run.failure.isEmpty())
        m_messages.error(run.failure);
    m_messages.information(completeText());
}

bool FileMaintenance::othersHaveNoTableOpen()
{
    m_data.closeAll();
    const std::filesystem::path directory = m_data.state().dataDirectory;
    for (const store::TableDef &def : store::tables()) {
        try {
            dbf::Table::open(directory, def.name, dbf::OpenMode::Exclusive);
        } catch (const dbf::TableBusy &) {
            reopenAll();
            m_messages.warning(othersOpenText());
            return false;
        } catch (const dbf::Error &) {
            // A damaged table is what Reindex is for; it is not another program's.
        }
    }
    return true;
}

void FileMaintenance::findClient(const QString &number)
{
    ui::Dataset &clients = m_data.clients();
    if (!clients.isOpen())
        return;
    const QString tag = clients.tag();
    ui::Dataset::Bookmark found;
    clients.setTag(QStringLiteral("NUMBER"));
    if (!number.isEmpty() && clients.findKey({ number }))
        found = clients.bookmark();
    clients.setTag(tag);
    if (!found.isValid() || !clients.gotoBookmark(found))
        clients.first();
    m_data.state().rememberedClient = clients.bookmark();
}

} // namespace app
