// The activity and project windows driven as a user would, over template tables. With
// TARNW_SHOT_DIR set, each window is also saved there as a picture.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "dataset_dir.h"
#include "form_controls.h"
#include "platform/clock.h"
#include "reference/activity_form.h"
#include "reference/project_form.h"
#include "table_rows.h"
#include "ui/db_grid.h"
#include "ui/db_radio_group.h"
#include "ui/pick_list_dialog.h"
#include "ui/placement.h"
#include "ui/scripted_messages.h"

using reference::TActivityForm;
using reference::TProjectForm;
using namespace std::chrono;

namespace {

// What the real pick list showed: its caption and column titles. `answer` schedules the user's
// choice of row `row` (OK) in the next modal pick list; with TARNW_SHOT_DIR set the list is
// saved as `shotName` first.
struct PickListSeen
{
    QString caption;
    QStringList titles;
    QStringList codes;
};

void answer(PickListSeen &seen, int row, const QString &shotName)
{
    QTimer::singleShot(100, [&seen, row, shotName] {
        auto *dialog = qobject_cast<ui::PickListDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            // Not the list expected: end whatever is there so that the test fails, not hangs.
            if (QWidget *other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        seen.caption = dialog->windowTitle();
        QAbstractItemModel *model = dialog->grid()->model();
        for (int c = 0; c < model->columnCount(); ++c)
            seen.titles << model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        for (int r = 0; r < model->rowCount(); ++r)
            seen.codes << model->index(r, 0).data().toString().trimmed();
        const QString dir = qEnvironmentVariable("TARNW_SHOT_DIR");
        if (!dir.isEmpty())
            dialog->grab().save(dir + QLatin1Char('/') + shotName + QStringLiteral(".png"));
        dialog->grid()->gridModel()->moveDatasetTo(row);
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
}

// Cancels the next modal window after noting its caption (the real code-entry dialog).
void cancelNextDialog(QString &caption)
{
    QTimer::singleShot(100, [&caption] {
        if (QWidget *w = QApplication::activeModalWidget()) {
            caption = w->windowTitle();
            w->close();
        }
    });
}

// The tables both windows need: two clients (the second current) and the setup record with a
// default tax rate.
struct Tables
{
    Tables()
    {
        dir.open(activities, "TWACT", QStringLiteral("ACTIVITY"));
        dir.open(projects, "TWPROJCT", QStringLiteral("CLIENT_COD"));
        dir.open(clients, "TWCLIENT", QStringLiteral("NAME"));
        dir.open(slips, "TWSLIP", QStringLiteral("SL_CLIENT"));
        dir.open(setup, "TWSETUP");
        addRow(clients, { { "NUMBER", "1001" }, { "NAME", "Alder Partners" } });
        addRow(clients, { { "NUMBER", "1002" }, { "NAME", "Birch & Co" } });
        clients.last();
        setup.setValue(QStringLiteral("DEFTAXRATE"), 6.25);
        setup.post();
    }
    DatasetDir dir;
    ui::Dataset activities, projects, clients, slips, setup;
    ui::ScriptedMessages messages;
    platform::ManualClock clock{ year(2026) / March / 14 };
};

} // namespace

class ActivityProjectFormsTest : public QObject
{
    Q_OBJECT
private slots:
    void activityNewTaxableSaveAndDelete();
    void activitySearchAndClose();
    void projectNewClientDatesAndSave();
    void projectDeleteSearchAndOpening();
};

void ActivityProjectFormsTest::activityNewTaxableSaveAndDelete()
{
    Tables t;
    TActivityForm form(t.activities, t.slips, t.setup, t.messages);
    form.placement()->setIniFileName({});
    QCOMPARE(form.windowTitle(), QStringLiteral("Activities"));
    QCOMPARE(form.placement()->Entry(), QStringLiteral("ActivityForm"));

    // Empty table: typing starts no edit.
    QTest::keyClicks(child<QLineEdit>(form, "DESCEdit"), QStringLiteral("x"));
    QVERIFY(!t.activities.isEditing());

    QStringList typed{ QStringLiteral("travel") };
    form.askCode = [&typed] { return typed.isEmpty() ? QString() : typed.takeFirst(); };
    click(form, "NewBtn");
    QCOMPARE(t.activities.state(), ui::Dataset::State::Insert);
    QCOMPARE(child<QLineEdit>(form, "ACTIVITYEdit")->text(), QStringLiteral("TRAVEL"));
    auto *type = child<ui::DbRadioGroup>(form, "ACTTYPEGroup");
    QCOMPARE(type->button(type->itemIndex())->text(), QStringLiteral("Billing"));
    QVERIFY(!child<QCheckBox>(form, "TAXABLECheck")->isChecked());
    for (const char *b : { "NewBtn", "DeleteBtn", "SearchBtn" })
        QVERIFY2(!enabled(form, b), b);
    for (const char *b : { "SaveBtn", "CancelBtn" })
        QVERIFY2(enabled(form, b), b);

    // Ticking "&Taxable" without a rate proposes the company's default.
    QTest::mouseClick(child<QCheckBox>(form, "TAXABLECheck"), Qt::LeftButton, {},
        QPoint(5, child<QCheckBox>(form, "TAXABLECheck")->height() / 2));
    QCOMPARE(t.activities.text(QStringLiteral("TAXABLE")), QStringLiteral("Y"));
    QCOMPARE(t.activities.value(QStringLiteral("TAXRATE")).toDouble(), 6.25);
    QVERIFY(child<QLineEdit>(form, "TAXRATEEdit")->text().startsWith(QStringLiteral("6.25")));
    typeInto(form, "DESCEdit", QStringLiteral("Travel expenses"));
    QTest::mouseClick(
        type->button(1), Qt::LeftButton, {}, QPoint(5, type->button(1)->height() / 2));
    typeInto(form, "ACTRATE2Edit", QStringLiteral("85.5"));
    typeInto(form, "ACTRATED2Edit", QStringLiteral("Senior"));
    typeInto(form, "FLATAMOUNTEdit", QStringLiteral("40"));
    click(form, "SaveBtn");
    QCOMPARE(t.activities.state(), ui::Dataset::State::Browse);
    QVERIFY(enabled(form, "NewBtn"));
    QVERIFY(!enabled(form, "SaveBtn"));
    {
        ui::Dataset stored;
        t.dir.open(stored, "TWACT", QStringLiteral("ACTIVITY"));
        QCOMPARE(stored.text(QStringLiteral("ACTIVITY")), QStringLiteral("TRAVEL"));
        QCOMPARE(stored.text(QStringLiteral("DESC")), QStringLiteral("Travel expenses"));
        QCOMPARE(stored.text(QStringLiteral("ACTTYPE")), QStringLiteral("E"));
        QCOMPARE(stored.text(QStringLiteral("TAXABLE")), QStringLiteral("Y"));
        QCOMPARE(stored.value(QStringLiteral("TAXRATE")).toDouble(), 6.25);
        QCOMPARE(stored.value(QStringLiteral("BILLABLE")).toInt(), 1);
        QCOMPARE(stored.value(QStringLiteral("ACTRATE2")).toDouble(), 85.5);
        QCOMPARE(stored.text(QStringLiteral("ACTRATED2")), QStringLiteral("Senior"));
        QCOMPARE(stored.value(QStringLiteral("FLATAMOUNT")).toDouble(), 40.0);
    }
    shot(form, QStringLiteral("activities"));

    // After a save typing edits again; clearing and re-ticking keeps the rate now there.
    auto *taxable = child<QCheckBox>(form, "TAXABLECheck");
    const QPoint box(5, taxable->height() / 2);
    typeInto(form, "TAXRATEEdit", QStringLiteral("7.5"));
    QVERIFY(t.activities.isEditing());
    QTest::mouseClick(taxable, Qt::LeftButton, {}, box);
    QTest::mouseClick(taxable, Qt::LeftButton, {}, box);
    QCOMPARE(t.activities.value(QStringLiteral("TAXRATE")).toDouble(), 7.5);
    click(form, "CancelBtn");
    QCOMPARE(t.activities.value(QStringLiteral("TAXRATE")).toDouble(), 6.25);

    // Used by a slip of a client other than the current one: refused.
    addRow(t.slips, { { "SL_NUMBER", 1 }, { "SL_CLIENT", "1001" }, { "SL_ACT", "TRAVEL" } });
    t.slips.setRange({ QStringLiteral("1002") }, { QStringLiteral("1002") });
    click(form, "DeleteBtn");
    QCOMPARE(t.messages.lastText(),
        QStringLiteral(
            "This Activity cannot be deleted.  Time Slips exist that use this activity."));
    QCOMPARE(t.activities.recordCount(), std::size_t(1));
    QCOMPARE(t.slips.recordCount(), std::size_t(0));
}

void ActivityProjectFormsTest::activitySearchAndClose()
{
    Tables t;
    addRow(t.activities, { { "ACTIVITY", "CONSULT" }, { "DESC", "Consulting" } });
    addRow(t.activities, { { "ACTIVITY", "PHONE" }, { "DESC", "Telephone" } });
    t.activities.first();
    TActivityForm form(t.activities, t.slips, t.setup, t.messages);
    form.placement()->setIniFileName({});

    QString caption;
    cancelNextDialog(caption);
    click(form, "NewBtn");
    QCOMPARE(caption, QStringLiteral("Add New Activity"));
    QVERIFY(!t.activities.isEditing());

    // The duplicate loop, then a cancelled dialog: nothing inserted.
    QStringList typed{ QStringLiteral("phone"), QString() };
    form.askCode = [&typed] { return typed.isEmpty() ? QString() : typed.takeFirst(); };
    click(form, "NewBtn");
    QCOMPARE(t.messages.texts(),
        QStringList{ QStringLiteral("The selected Activity Code is already in use.") });
    QVERIFY(typed.isEmpty());
    QCOMPARE(t.activities.recordCount(), std::size_t(2));

    PickListSeen seen;
    answer(seen, 1, QStringLiteral("activity-listing"));
    click(form, "SearchBtn");
    QCOMPARE(seen.caption, QStringLiteral("Activity Listing"));
    QCOMPARE(seen.titles, (QStringList{ "Activity", "Description" }));
    QCOMPARE(seen.codes, (QStringList{ "CONSULT", "PHONE" }));
    QCOMPARE(child<QLineEdit>(form, "DESCEdit")->text(), QStringLiteral("Telephone"));

    // A pending change is dropped by "C&lose" without a question; the activity stays current.
    t.messages.clear();
    QTest::keyClicks(child<QLineEdit>(form, "DESCEdit"), QStringLiteral(" calls"));
    QVERIFY(t.activities.isEditing());
    click(form, "CloseBtn");
    QVERIFY(!t.activities.isEditing());
    QVERIFY(t.messages.texts().isEmpty());
    QCOMPARE(t.activities.text(QStringLiteral("ACTIVITY")), QStringLiteral("PHONE"));
    QCOMPARE(t.activities.text(QStringLiteral("DESC")), QStringLiteral("Telephone"));
}

void ActivityProjectFormsTest::projectNewClientDatesAndSave()
{
    Tables t;
    addRow(
        t.projects, { { "PJ_CLIENT", "1001" }, { "PJ_CODE", "MERGER" }, { "PJ_DESC", "Merger" } });
    TProjectForm form(t.projects, t.clients, t.slips, t.messages, t.clock);
    form.placement()->setIniFileName({});
    QCOMPARE(form.windowTitle(), QStringLiteral("Projects"));
    QCOMPARE(form.placement()->Entry(), QStringLiteral("ProjectForm"));
    QVERIFY(!enabled(form, "PJ_CLIENTCombo"));
    QCOMPARE(child<QLabel>(form, "ClientNameLabel")->text(), QStringLiteral("Alder Partners"));

    QString caption;
    cancelNextDialog(caption);
    click(form, "NewBtn");
    QCOMPARE(caption, QStringLiteral("Add New Project"));
    QVERIFY(!t.projects.isEditing());

    // Another client's code is refused; a free one proposes the current client and today.
    QStringList typed{ QStringLiteral("merger"), QStringLiteral("audit") };
    form.askCode = [&typed] { return typed.isEmpty() ? QString() : typed.takeFirst(); };
    click(form, "NewBtn");
    QCOMPARE(t.messages.texts(),
        QStringList{ QStringLiteral("The selected Project Code is already in use.") });
    QCOMPARE(t.projects.state(), ui::Dataset::State::Insert);
    QVERIFY(enabled(form, "PJ_CLIENTCombo"));
    auto *client = child<QComboBox>(form, "PJ_CLIENTCombo");
    QCOMPARE(client->currentText(), QStringLiteral("1002"));
    QCOMPARE(child<QLabel>(form, "ClientNameLabel")->text(), QStringLiteral("Birch & Co"));
    QCOMPARE(child<QLineEdit>(form, "PJ_ESTDATEEdit")->text(), QStringLiteral("03/14/2026"));
    QCOMPARE(child<QLineEdit>(form, "PJ_STARTDTEdit")->text(), QStringLiteral("03/14/2026"));

    // Two-digit years: 49 is 2049, 50 is 1950.
    typeInto(form, "PJ_ESTDATEEdit", QStringLiteral("12/31/49"));
    typeInto(form, "PJ_DONEDTEdit", QStringLiteral("1/2/50"));
    QCOMPARE(t.projects.value(QStringLiteral("PJ_ESTDATE")).toDate(), QDate(2049, 12, 31));
    QCOMPARE(t.projects.value(QStringLiteral("PJ_DONEDT")).toDate(), QDate(1950, 1, 2));
    typeInto(form, "PJ_DESCEdit", QStringLiteral("Annual audit"));
    typeInto(form, "PJ_ESTHOUREdit", QStringLiteral("12.5"));

    // Cleared client: the warning, the project stays unsaved, the focus on the client box.
    t.messages.clear();
    client->setFocus();
    client->lineEdit()->selectAll();
    QTest::keyClick(client->lineEdit(), Qt::Key_Delete);
    QCOMPARE(child<QLabel>(form, "ClientNameLabel")->text(), QString());
    child<QLineEdit>(form, "PJ_DESCEdit")->setFocus();
    click(form, "SaveBtn");
    QCOMPARE(t.messages.texts(),
        QStringList{ QStringLiteral("Projects must be assigned a client.  Please select the "
                                    "client to be assigned to this project.") });
    QCOMPARE(t.projects.state(), ui::Dataset::State::Insert);
    QVERIFY(form.focusWidget() == client || form.focusWidget() == client->lineEdit());
    QCOMPARE(column(t.dir, "TWPROJCT", QStringLiteral("PJ_Code"), QStringLiteral("PJ_CODE")),
        QStringList{ QStringLiteral("MERGER") });

    QTest::keyClicks(client->lineEdit(), QStringLiteral("1001"));
    QCOMPARE(child<QLabel>(form, "ClientNameLabel")->text(), QStringLiteral("Alder Partners"));
    click(form, "SaveBtn");
    QCOMPARE(t.projects.state(), ui::Dataset::State::Browse);
    QVERIFY(!enabled(form, "PJ_CLIENTCombo"));
    {
        ui::Dataset stored;
        t.dir.open(stored, "TWPROJCT", QStringLiteral("PJ_Code"));
        QVERIFY(stored.findKey({ QStringLiteral("AUDIT") }));
        QCOMPARE(stored.text(QStringLiteral("PJ_CLIENT")), QStringLiteral("1001"));
        QCOMPARE(stored.text(QStringLiteral("PJ_DESC")), QStringLiteral("Annual audit"));
        QCOMPARE(stored.value(QStringLiteral("PJ_ESTDATE")).toDate(), QDate(2049, 12, 31));
        QCOMPARE(stored.value(QStringLiteral("PJ_STARTDT")).toDate(), QDate(2026, 3, 14));
        QCOMPARE(stored.value(QStringLiteral("PJ_DONEDT")).toDate(), QDate(1950, 1, 2));
        QCOMPARE(stored.value(QStringLiteral("PJ_ESTHOUR")).toDouble(), 12.5);
    }
    shot(form, QStringLiteral("projects"));

    // Editing a saved project leaves its client box disabled.
    QTest::keyClicks(child<QLineEdit>(form, "PJ_DESCEdit"), QStringLiteral("s"));
    QVERIFY(t.projects.isEditing());
    QVERIFY(!enabled(form, "PJ_CLIENTCombo"));
    click(form, "CancelBtn");
    QCOMPARE(t.projects.text(QStringLiteral("PJ_DESC")), QStringLiteral("Annual audit"));
}

void ActivityProjectFormsTest::projectDeleteSearchAndOpening()
{
    Tables t;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    addRow(t.projects, { { "PJ_CLIENT", "1002" }, { "PJ_CODE", "BUSY" }, { "PJ_DESC", "Busy" } });
    addRow(
        t.projects, { { "PJ_CLIENT", "1001" }, { "PJ_CODE", "IDLE" }, { "PJ_DESC", "Idle work" } });
    addRow(t.slips,
        { { "SL_NUMBER", 1 }, { "SL_CLIENT", "1002" }, { "SL_PROJECT", "BUSY" }, { "SL_BILLED", 1 },
            { "SL_INVOICE", 4 } });
    t.projects.setRange({ QStringLiteral("1002") }, { QStringLiteral("1002") });

    {
        TProjectForm form(t.projects, t.clients, t.slips, t.messages, t.clock);
        form.placement()->setIniFileName({});
        QCOMPARE(t.projects.recordCount(), std::size_t(2)); // the range is lifted
        PickListSeen seen;
        answer(seen, 0, QStringLiteral("project-listing"));
        click(form, "SearchBtn");
        QCOMPARE(seen.caption, QStringLiteral("Project Listing"));
        QCOMPARE(seen.titles, (QStringList{ "Project Code", "Description", "Client" }));
        QCOMPARE(seen.codes, (QStringList{ "IDLE", "BUSY" })); // client order
        QCOMPARE(t.projects.text(QStringLiteral("PJ_CODE")), QStringLiteral("IDLE"));
        t.messages.enqueue(ui::MessageAnswer::Cancel);
        click(form, "DeleteBtn");
        QCOMPARE(t.messages.lastText(), QStringLiteral("Delete Idle work?"));
        QCOMPARE(t.projects.recordCount(), std::size_t(2));

        form.pickProject = [](ui::Dataset &listing) {
            listing.last();
            return true;
        };
        click(form, "SearchBtn");
        QCOMPARE(t.projects.text(QStringLiteral("PJ_CODE")), QStringLiteral("BUSY"));
        click(form, "DeleteBtn");
        QCOMPARE(t.messages.lastText(),
            QStringLiteral(
                "This Project cannot be deleted.  Time Slips exist that use this project."));
        QCOMPARE(t.projects.recordCount(), std::size_t(2));
    }

    // The one-call opening: the window runs modally, and afterwards the caller's hook runs once
    // with the project dataset back in client-and-code order.
    int after = 0;
    QTimer::singleShot(200, [] {
        if (QWidget *w = QApplication::activeModalWidget())
            QTest::mouseClick(
                w->findChild<QPushButton *>(QStringLiteral("CloseBtn")), Qt::LeftButton);
    });
    t.projects.setTag(QStringLiteral("PJ_Code"));
    reference::openProjects(
        t.projects, t.clients, t.slips, t.messages, t.clock, nullptr, [&after] { ++after; });
    QCOMPARE(after, 1);
    QCOMPARE(t.projects.tag().toUpper(), QStringLiteral("CLIENT_COD"));
}

QTEST_MAIN(ActivityProjectFormsTest)
#include "activity_project_forms_test.moc"
