#include "app/shutdown.h"

#include "app/main_data.h"
#include "platform/ini_file.h"
#include "store/maintenance.h"
#include "store/settings.h"
#include "ui/action.h"
#include "ui/messages.h"

namespace app {

Shutdown::Shutdown(MainData &data, ui::Messages &messages)
    : m_data(data)
    , m_messages(messages)
{
}

QString Shutdown::saveQuestionText(const QString &name)
{
    return QStringLiteral("Do you want to save the changes made to ") + name + QStringLiteral("?");
}

bool Shutdown::saveQuestion()
{
    ui::Dataset &clients = m_data.clients();
    if (!clients.isOpen() || !clients.isEditing())
        return true;
    const QString name = clients.text(QStringLiteral("NAME"));
    if (m_messages.confirm(saveQuestionText(name)) == ui::MessageAnswer::Yes) {
        if (!ui::runAction(m_messages, [&] { clients.post(); }))
            return false;
    } else {
        ui::runAction(m_messages, [&] { clients.cancel(); });
    }
    m_data.state().addingClient = false;
    return true;
}

void Shutdown::writeSettings(platform::IniFile &settings)
{
    using S = store::Settings;
    const ProgramState &state = m_data.state();
    settings.writeString(S::kSettingsSection, S::kReportFontKey, state.reportFont.toStdString());
    settings.writeString(S::kSettingsSection, S::kLoginNameKey, state.loginName.toStdString());
    settings.writeInteger(S::kSettingsSection, S::kHintsKey, state.hints ? 1 : 0);
}

void Shutdown::closeCursors()
{
    m_data.closeAll();
}

std::vector<std::string> Shutdown::deleteIndexFiles()
{
    m_data.closeAll();
    return store::deleteIndexFiles(m_data.state().dataDirectory);
}

} // namespace app
