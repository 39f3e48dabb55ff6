#pragma once

// The pack window ("Pack Data Files").
//
// How the main window opens it, from "Purge &Deleted Records...", after the rights check with
// code "O15" and the pending-edit guard:
//
//   const QString shown = data.currentClientNumber();
//   TPackFileForm form(maintenance, messages, settingsPath, this);
//   form.exec();
//   maintenance.findClient(shown);   // then the client refresh
//
// The window closes the main window's cursors one table at a time and opens them again, so the
// caller finds the current client again by its NUMBER.

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace ui {
class Messages;
class TPlacement;
} // namespace ui

namespace app {

class FileMaintenance;

// A thin form over FileMaintenance::pack(): the eight-line text, the backup folder below it, a
// progress bar (hidden until the packing starts, 0 to 11), "&Pack Files" (PackBtn, default) and
// "&Cancel" (CancelBtn). While the tables are packed the main window (its central widget, when
// the parent is a QMainWindow) does not repaint. After a run, whole or stopped, the window
// shows how it ended and closes.
class TPackFileForm : public QDialog
{
    Q_OBJECT
public:
    // `settingsPath` is the settings file of the window's placement ("PackFileForm").
    TPackFileForm(FileMaintenance &maintenance, ui::Messages &messages, const QString &settingsPath,
        QWidget *parent = nullptr);

    static QString explanation(); // the eight lines, joined by line breaks

    void PackBtnClick();
    QProgressBar *progressBar() const { return m_progress; }
    QLabel *backupLabel() const { return m_backupLabel; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    FileMaintenance &m_maintenance;
    ui::Messages &m_messages;
    ui::TPlacement *m_placement;
    QLabel *m_backupLabel;
    QProgressBar *m_progress;
    QPushButton *m_packBtn;
    QPushButton *m_cancelBtn;
    bool m_placed = false;
};

} // namespace app
