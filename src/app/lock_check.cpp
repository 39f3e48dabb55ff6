#include "app/lock_check.h"

#include "ui/messages.h"

namespace app {

QString lockWarningText(const QString &directory, const QString &problem)
{
    return QStringLiteral("Record locks do not work in the data directory %1: %2.  Users working "
                          "at the same time could overwrite each other's changes without a "
                          "word.  Open the data files anyway, as their only user?")
        .arg(directory, problem);
}

bool confirmSharedLocking(
    const store::LockProbe &probe, const QString &directory, ui::Messages &messages)
{
    if (probe.safe)
        return true;
    return messages.show(ui::MessageKind::Warning,
               lockWarningText(directory, QString::fromStdString(probe.problem)),
               ui::MessageButtons::YesNo, QStringLiteral("Warning"))
        == ui::MessageAnswer::Yes;
}

bool confirmSharedLocking(const std::filesystem::path &directory, ui::Messages &messages)
{
    // An empty data directory setting means the current directory.
    const std::filesystem::path dir = directory.empty() ? std::filesystem::path(".") : directory;
    return confirmSharedLocking(
        store::probeLocks(dir), QString::fromStdString(dir.string()), messages);
}

} // namespace app
