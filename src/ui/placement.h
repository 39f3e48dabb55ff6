#pragma once

#include <filesystem>
#include <optional>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "ui/placement_record.h"

namespace ui {

// Remembers where a window was, and in which state, between runs. Owned by the window (its
// parent); the window calls savePlacement() when it goes away and restorePlacement() when it
// is shown, after its own start-up work. The value lives in section "Screens", key Entry, of the
// settings file IniFileName.
//
//   TPlacement *placement = new TPlacement(this);      // Entry = objectName() of the window
//   placement->setIniFileName(QStringLiteral("TARNW.INI"));
//   showEvent:    placement->restorePlacement();
//   closeEvent / done():  placement->savePlacement();
class TPlacement : public QObject
{
    Q_OBJECT
public:
    explicit TPlacement(QWidget *window);

    // Settings file: a bare name is looked up in the per-user settings directory, an absolute
    // path is used as it is. Default "DIMWIN.INI"; set it empty to switch saving and restoring
    // off.
    QString IniFileName() const { return m_iniFileName; }
    void setIniFileName(const QString &name) { m_iniFileName = name; }
    // Key of this window's value; the window's objectName() when left empty.
    QString Entry() const;
    void setEntry(const QString &entry) { m_entry = entry; }

    void savePlacement();
    void restorePlacement();

    // The placement record of a window as it stands, and applying one to a window. The normal
    // rectangle is the window's normal geometry (client area, screen pixels).
    static PlacementRecord recordOf(const QWidget &window);
    // A normal rectangle that lies on no screen (stored before a change of display) is moved
    // to the top left of the primary screen's free area, keeping its size as far as it fits.
    static void apply(QWidget &window, const PlacementRecord &record);
    static QRect onSomeScreen(const QRect &rect);

private:
    std::filesystem::path iniPath() const;

    QPointer<QWidget> m_window;
    QString m_iniFileName = QStringLiteral("DIMWIN.INI");
    QString m_entry;
};

} // namespace ui
