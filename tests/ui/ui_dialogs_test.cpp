// The shared dialogs and window placement on the offscreen platform.
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "platform/ini_file.h"
#include "ui/placement.h"
#include "ui/tinput_dialog.h"

using namespace ui;

class UiDialogsTest : public QObject
{
    Q_OBJECT
private slots:
    void inputDialogTurnsTypingToUpperCaseAndCutsToTheMode();
    void inputDialogOkOnEmptyEndsAsCancel();
    void maximisedWindowReopensMaximisedWithItsNormalRectangle();
    void placementKeepsWindowsApartAndIgnoresBadValues();
};

void UiDialogsTest::inputDialogTurnsTypingToUpperCaseAndCutsToTheMode()
{
    TInputDialog dlg(nullptr, InputDialogMode::Staff);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Add New Staff"));
    auto *edit = dlg.findChild<QLineEdit *>(QStringLiteral("InputEdit"));
    QVERIFY(edit);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(QApplication::focusWidget(), edit);
    QTest::keyClicks(edit, QStringLiteral("abcd"));
    QCOMPARE(edit->text(), QStringLiteral("ABC"));
    QTest::keyClick(edit, Qt::Key_Return); // OK is the default button
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.code(), QStringLiteral("ABC"));

    dlg.setMode(InputDialogMode::Activity);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Add New Activity"));
    dlg.setCode(QStringLiteral("consulting-hours"));
    QCOMPARE(dlg.code(), QStringLiteral("CONSULTING"));
}

void UiDialogsTest::inputDialogOkOnEmptyEndsAsCancel()
{
    TInputDialog dlg(nullptr, InputDialogMode::Project);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto *ok = dlg.findChild<QPushButton *>(QStringLiteral("OKBtn"));
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QVERIFY(!dlg.isVisible());

    // Blanks alone count as empty.
    dlg.setCode(QStringLiteral("   "));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
}

void UiDialogsTest::maximisedWindowReopensMaximisedWithItsNormalRectangle()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("TARNW.INI"));
    const QRect normal(156, 96, 635, 448);
    {
        QMainWindow w;
        w.setObjectName(QStringLiteral("MainForm32"));
        auto *placement = new TPlacement(&w);
        placement->setIniFileName(ini);
        w.setGeometry(normal);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.showMaximized();
        QTRY_VERIFY(w.isMaximized());
        placement->savePlacement();
    }
    platform::IniFile file(ini.toStdString());
    QCOMPARE(file.readString("Screens", "MainForm32", ""),
        std::string("0,3,-1,-1,-1,-1,156,96,791,544"));

    QMainWindow again;
    again.setObjectName(QStringLiteral("MainForm32"));
    auto *placement = new TPlacement(&again);
    placement->setIniFileName(ini);
    again.setGeometry(10, 10, 200, 100); // the window's own design
    again.show();
    placement->restorePlacement();
    QTRY_VERIFY(again.isMaximized());
    QCOMPARE(again.normalGeometry(), normal);
    again.showNormal();
    QTRY_COMPARE(again.geometry(), normal);
}

void UiDialogsTest::placementKeepsWindowsApartAndIgnoresBadValues()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("TARNW.INI"));
    platform::IniFile file(ini.toStdString());
    QWidget a, b;
    a.setObjectName(QStringLiteral("EmployeeForm"));
    TPlacement pa(&a), pb(&b);
    pa.setIniFileName(ini);
    pb.setIniFileName(ini);
    pb.setEntry(QStringLiteral("ProjectForm"));
    a.setGeometry(100, 100, 300, 200);
    b.setGeometry(400, 300, 250, 150);
    pa.savePlacement();
    pb.savePlacement();
    QCOMPARE(file.readString("Screens", "EmployeeForm", ""),
        std::string("0,1,-1,-1,-1,-1,100,100,400,300"));
    QCOMPARE(file.readString("Screens", "ProjectForm", ""),
        std::string("0,1,-1,-1,-1,-1,400,300,650,450"));

    const char *ignored[] = { "", "0,1,-1,-1,-1,-1,300,100,100,300", "0,1,-1,-1,-1,-1,x,1,2,3",
        "0,1,-1,-1,-1,-1,50,50,50,50" };
    for (const char *value : ignored) {
        file.writeString("Screens", "ProjectForm", value);
        b.setGeometry(400, 300, 250, 150);
        pb.restorePlacement();
        QCOMPARE(b.geometry(), QRect(400, 300, 250, 150));
    }
    file.writeString("Screens", "ProjectForm", "0,1,-1,-1,-1,-1,20,30,220,130");
    pb.restorePlacement();
    QCOMPARE(b.geometry(), QRect(20, 30, 200, 100));

    // A rectangle stored on a display that is gone comes back on the main screen, same size.
    file.writeString("Screens", "ProjectForm", "0,1,-1,-1,-1,-1,9000,7000,9200,7100");
    pb.restorePlacement();
    const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(b.geometry(), QRect(room.topLeft(), QSize(200, 100)));
    file.writeString("Screens", "ProjectForm", "0,1,-1,-1,-1,-1,20,30,220,130");

    pb.setIniFileName(QString()); // switched off: neither saved nor restored
    b.setGeometry(1, 2, 300, 300);
    pb.savePlacement();
    QCOMPARE(file.readString("Screens", "ProjectForm", ""),
        std::string("0,1,-1,-1,-1,-1,20,30,220,130"));
}

QTEST_MAIN(UiDialogsTest)
#include "ui_dialogs_test.moc"
