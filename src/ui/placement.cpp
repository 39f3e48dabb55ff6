#include "ui/placement.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/ini_file.h"

namespace ui {

namespace {
const char *const kSection = "Screens";
}

TPlacement::TPlacement(QWidget *window)
    : QObject(window)
    , m_window(window)
{
}

QString TPlacement::Entry() const
{
    if (!m_entry.isEmpty() || !m_window)
        return m_entry;
    return m_window->objectName();
}

std::filesystem::path TPlacement::iniPath() const
{
    const std::filesystem::path named(m_iniFileName.toStdString());
    if (named.is_absolute())
        return named;
    return platform::IniFile::userSettingsPath(m_iniFileName.toStdString());
}

QRect TPlacement::onSomeScreen(const QRect &rect)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens)
        if (screen->geometry().intersects(rect))
            return rect;
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return rect;
    // Stored on a display that is gone: the same size (as far as it fits) on the main screen.
    const QRect room = primary->availableGeometry();
    return QRect(room.topLeft(),
        QSize(std::min(rect.width(), room.width()), std::min(rect.height(), room.height())));
}

PlacementRecord TPlacement::recordOf(const QWidget &window)
{
    PlacementRecord r;
    const Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized) {
        r.showState = PlacementRecord::kShowMinimized;
        if (state & Qt::WindowMaximized)
            r.flags = PlacementRecord::kRestoreToMaximized;
    } else if (state & Qt::WindowMaximized) {
        r.showState = PlacementRecord::kShowMaximized;
    }
    QRect normal = window.normalGeometry();
    if (!normal.isValid())
        normal = window.geometry();
    r.left = normal.left();
    r.top = normal.top();
    r.right = normal.left() + normal.width();
    r.bottom = normal.top() + normal.height();
    return r;
}

void TPlacement::apply(QWidget &window, const PlacementRecord &record)
{
    // The normal rectangle first, so that it is what the window returns to when it leaves the
    // maximised or minimised state.
    Qt::WindowStates state = window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    window.setWindowState(state);
    window.setGeometry(onSomeScreen(
        QRect(record.left, record.top, record.right - record.left, record.bottom - record.top)));
    if (record.showState == PlacementRecord::kShowMaximized
        || (record.showState == PlacementRecord::kShowMinimized
            && (record.flags & PlacementRecord::kRestoreToMaximized)))
        state |= Qt::WindowMaximized;
    if (record.showState == PlacementRecord::kShowMinimized)
        state |= Qt::WindowMinimized;
    window.setWindowState(state);
}

void TPlacement::savePlacement()
{
    if (m_iniFileName.isEmpty() || !m_window || Entry().isEmpty())
        return;
    platform::IniFile ini(iniPath());
    // A settings file that cannot be written is not reported.
    ini.writeString(kSection, Entry().toStdString(), recordOf(*m_window).format());
}

void TPlacement::restorePlacement()
{
    if (m_iniFileName.isEmpty() || !m_window || Entry().isEmpty())
        return;
    platform::IniFile ini(iniPath());
    const auto record = PlacementRecord::parse(ini.readString(kSection, Entry().toStdString(), ""));
    if (record)
        apply(*m_window, *record);
}

} // namespace ui
