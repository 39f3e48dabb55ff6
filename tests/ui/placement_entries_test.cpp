// Every window that remembers its placement keeps it in TARNW.INI, section "Screens", under its
// own entry: built as the program builds it, its placement saved, the value is found there (and
// no other settings file is made), and no two windows share an entry.
#include <functional>
#include <memory>

#include <QDialog>
#include <QtTest>

#include "app/login/security_form.h"
#include "app/main_data.h"
#include "app/main_form.h"
#include "billing/preview_form.h"
#include "dataset_dir.h"
#include "platform/clock.h"
#include "platform/ini_file.h"
#include "reference/activity_form.h"
#include "reference/employee_form.h"
#include "reference/project_form.h"
#include "reference/setup_form.h"
#include "time/time_slip_form.h"
#include "ui/placement.h"
#include "ui/scripted_messages.h"

namespace fs = std::filesystem;

class PlacementEntriesTest : public QObject
{
    Q_OBJECT
    TempDir m_config;
    std::unique_ptr<DatasetDir> m_data;
    ui::ScriptedMessages m_messages;
    platform::ManualClock m_clock;
    timecap::SlipMemory m_memory;
    ui::Dataset m_clients, m_staff, m_activities, m_projects, m_slips, m_setup, m_track;
    QMap<QString, int> m_saved; // entry -> left edge it was saved with

    fs::path ini() const { return m_config.path() / "TARNW.INI"; }

    std::unique_ptr<QWidget> makeWindow(const QString &entry, platform::IniFile &settings)
    {
        if (entry == "MainForm32")
            return std::make_unique<app::TMainForm>(
                settings, m_messages, [](app::MainData &) { return true; });
        if (entry == "FrmSecurity")
            return std::make_unique<login::TFrmSecurity>(m_data->path(), m_messages);
        if (entry == "EmployeeForm")
            return std::make_unique<reference::TEmployeeform>(m_staff, m_messages);
        if (entry == "ActivityForm")
            return std::make_unique<reference::TActivityForm>(
                m_activities, m_slips, m_setup, m_messages);
        if (entry == "ProjectForm")
            return std::make_unique<reference::TProjectForm>(
                m_projects, m_clients, m_slips, m_messages, m_clock);
        if (entry == "SetupForm32")
            return std::make_unique<reference::TSetupForm>(m_setup, m_messages);
        if (entry == "TimeSlipForm")
            return std::make_unique<timecap::TTimeslipform>(m_slips, m_clients, m_activities,
                m_staff, m_projects, m_track, m_messages, m_clock, m_memory, false);
        if (entry == "PreviewForm")
            return std::make_unique<billing::TPreviewForm>();
        return {};
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_config.path().string()));
        m_data = std::make_unique<DatasetDir>();
        m_data->open(m_clients, "TWCLIENT", QStringLiteral("Name"));
        m_data->open(m_staff, "TWEMPLOY");
        m_data->open(m_activities, "TWACT", QStringLiteral("Activity"));
        m_data->open(m_projects, "TWPROJCT", QStringLiteral("Client_Cod"));
        m_data->open(m_slips, "TWSLIP", QStringLiteral("SL_Number"));
        m_data->open(m_setup, "TWSETUP");
        m_data->open(m_track, "TWTRACK");
        m_memory = { {}, {}, QDate(2026, 12, 10), QDate(2026, 12, 10) };
    }

    void savedUnderItsOwnEntryInTheProgramsSettingsFile_data()
    {
        QTest::addColumn<QString>("entry");
        for (const char *entry : { "MainForm32", "FrmSecurity", "EmployeeForm", "ActivityForm",
                 "ProjectForm", "SetupForm32", "TimeSlipForm", "PreviewForm" })
            QTest::newRow(entry) << QString::fromLatin1(entry);
    }

    void savedUnderItsOwnEntryInTheProgramsSettingsFile()
    {
        QFETCH(QString, entry);
        platform::IniFile settings(ini());
        settings.writeString("Drive", "Path", m_data->path().string() + "/");
        std::unique_ptr<QWidget> window = makeWindow(entry, settings);
        QVERIFY(window);
        auto *placement = window->findChild<ui::TPlacement *>();
        QVERIFY(placement);
        QCOMPARE(placement->Entry(), entry);
        // A left edge of its own, so that a value written by another window would show.
        const int left = 100 + 10 * int(m_saved.size());
        window->setWindowState(Qt::WindowNoState);
        window->setGeometry(left, 90, 640, 480);
        placement->savePlacement();
        m_saved.insert(entry, left);

        const auto record = ui::PlacementRecord::parse(
            platform::IniFile(ini()).readString("Screens", entry.toStdString(), ""));
        QVERIFY2(record, "no value under the window's entry in TARNW.INI");
        QCOMPARE(record->showState, ui::PlacementRecord::kShowNormal);
        QCOMPARE(record->left, left);
        QCOMPARE(record->right - record->left, 640);
        QCOMPARE(record->bottom - record->top, 480);
        QVERIFY(!fs::exists(m_config.path() / "DIMWIN.INI"));
        QCOMPARE(m_messages.unscripted(), 0);
    }

    void noWindowOverwritesAnothersValue()
    {
        QCOMPARE(m_saved.size(), 8);
        const platform::IniFile settings(ini());
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
            const auto record = ui::PlacementRecord::parse(
                settings.readString("Screens", it.key().toStdString(), ""));
            QVERIFY2(record && record->left == it.value(), qPrintable(it.key()));
        }
    }
};

QTEST_MAIN(PlacementEntriesTest)
#include "placement_entries_test.moc"
