#include "app/startup.h"

#include "app/lock_check.h"
#include "app/main_data.h"
#include "billing/billing_rules.h"
#include "ui/engine_cursor.h"
#include "ui/messages.h"

namespace app {

Startup::Startup(MainData &data, ui::Messages &messages)
    : m_data(data)
    , m_messages(messages)
{
}

const QString &Startup::busyText()
{
    static const QString text = QStringLiteral(
        "Another user is working in the data files (a table is open exclusively, for example "
        "while it is packed).  Tarnwick cannot start now.  Please try again when that work is "
        "finished.");
    return text;
}

Startup::Outcome Startup::run(const store::Settings::Lookup &settings)
{
    readSettings(settings);
    if (!confirmSharedLocking(m_data.state().dataDirectory, m_messages))
        return Outcome::Declined;
    checkFiles();
    // A copy that died while it finalized a billing run left its journal: its client is
    // completed (or undone) before any cursor reads the tables. A failure is left for the next
    // finalization, which recovers first too.
    try {
        billing::recoverJournals(m_data.state().dataDirectory);
    } catch (const std::exception &) {
    }
    if (openTables() == Outcome::Busy)
        return Outcome::Busy;
    repairSlipTag();
    return Outcome::Started;
}

void Startup::readSettings(const store::Settings::Lookup &settings)
{
    const store::Settings s = store::Settings::read(settings);
    ProgramState &state = m_data.state();
    state.reportFont = QString::fromStdString(s.reportFont);
    state.loginName = QString::fromStdString(s.loginName);
    state.dataDirectory = s.dataDirectory;
    state.hints = s.hints;
}

void Startup::checkFiles()
{
    store::StartupCheck check(m_data.state().dataDirectory);
    try {
        check.restoreMissingFiles();
        check.rebuildMissingIndexes();
    } catch (...) {
        m_report = check.report();
        throw;
    }
    m_report = check.report();
}

Startup::Outcome Startup::openTables()
{
    for (const MainData::CursorDef &def : MainData::cursorDefs()) {
        if (m_data.open(def.cursor) == MainData::OpenResult::Busy) {
            m_data.closeAll();
            m_messages.warning(busyText(), QStringLiteral("Warning"));
            return Outcome::Busy;
        }
    }
    return Outcome::Started;
}

void Startup::repairSlipTag()
{
    ui::Dataset &slips = m_data.dataset(MainData::SlipTable);
    auto *cursor = dynamic_cast<ui::EngineCursor *>(slips.cursor());
    if (!cursor || store::StartupCheck::hasSlipDateTag(cursor->table()))
        return;
    m_data.close(MainData::SlipTable);
    m_data.close(MainData::SlipShadowTable);
    store::StartupCheck::addSlipDateTag(m_data.state().dataDirectory);
    m_data.open(MainData::SlipTable);
    m_data.open(MainData::SlipShadowTable);
    m_slipTagRepaired = true;
    m_report.addedTags.push_back("TWSLIP.SL_CDate");
    m_report.slipDateTagRepaired = true;
}

void Startup::rereadStaffCursors(MainData &data)
{
    for (const MainData::Cursor cursor : { MainData::EMPLOYEETABLE, MainData::EmpMiscTable }) {
        ui::Dataset &staff = data.dataset(cursor);
        if (!staff.isOpen() || staff.isEditing())
            continue;
        if (staff.bookmark().isValid())
            staff.refresh();
        else
            staff.first();
    }
}

} // namespace app
