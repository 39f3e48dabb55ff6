#pragma once

#include <filesystem>

#include <QString>

#include "store/lock_probe.h"

namespace ui {
class Messages;
}

namespace app {

// The start-up check that the data directory keeps record locks (store::probeLocks). When it
// does not, the user is told so and chooses: open anyway as the data files' only user (true),
// or end the program (false). A directory that keeps its locks asks nothing.
bool confirmSharedLocking(const std::filesystem::path &directory, ui::Messages &messages);
bool confirmSharedLocking(
    const store::LockProbe &probe, const QString &directory, ui::Messages &messages);

// The question asked when record locks do not work, for `problem` (store::LockProbe::problem).
QString lockWarningText(const QString &directory, const QString &problem);

} // namespace app
