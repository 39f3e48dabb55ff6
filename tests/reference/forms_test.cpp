// The staff and company setup windows driven as a user would, over template tables. With
// TARNW_SHOT_DIR set, each window (both setup pages) is also saved there as a picture.
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "dataset_dir.h"
#include "form_controls.h"
#include "reference/employee_form.h"
#include "reference/setup_form.h"
#include "ui/placement.h"
#include "ui/scripted_messages.h"

using reference::TEmployeeform;
using reference::TSetupForm;

namespace {

QString storedText(const DatasetDir &dir, const char *table, const QString &field)
{
    ui::Dataset check;
    dir.open(check, table);
    return check.text(field);
}

} // namespace

class FormsTest : public QObject
{
    Q_OBJECT
private slots:
    void staffNewSaveAndButtons();
    void staffCloseDiscardsAndSearch();
    void setupSubtotalsBordersAndCaptions();
    void setupCloseAnsweredNo();
};

void FormsTest::staffNewSaveAndButtons()
{
    DatasetDir dir;
    ui::Dataset staff;
    dir.open(staff, "TWEMPLOY", QStringLiteral("EMPNUMBER"));
    ui::ScriptedMessages messages;
    TEmployeeform form(staff, messages);
    form.placement()->setIniFileName({});
    QCOMPARE(form.windowTitle(), QStringLiteral("Staff"));
    QCOMPARE(form.placement()->Entry(), QStringLiteral("EmployeeForm"));

    // Empty table: typing starts no edit.
    QTest::keyClicks(child<QLineEdit>(form, "EMPNAMEEdit"), QStringLiteral("x"));
    QVERIFY(!staff.isEditing());

    QStringList typed{ QStringLiteral("ab") };
    form.askCode = [&typed] { return typed.isEmpty() ? QString() : typed.takeFirst(); };
    click(form, "NewBtn");
    QCOMPARE(staff.state(), ui::Dataset::State::Insert);
    QCOMPARE(child<QLineEdit>(form, "EMPNUMBEREdit")->text(), QStringLiteral("AB"));
    QVERIFY(!child<QPushButton>(form, "NewBtn")->isEnabled());
    QVERIFY(!child<QPushButton>(form, "DeleteBtn")->isEnabled());
    QVERIFY(!child<QPushButton>(form, "SearchBtn")->isEnabled());
    QVERIFY(child<QPushButton>(form, "SaveBtn")->isEnabled());
    QTest::keyClicks(child<QLineEdit>(form, "EMPNAMEEdit"), QStringLiteral("Al Bright"));
    QTest::keyClicks(child<QLineEdit>(form, "EMTRATE5DEdit"), QStringLiteral("Travel"));
    click(form, "SaveBtn");
    QCOMPARE(staff.state(), ui::Dataset::State::Browse);
    QVERIFY(child<QPushButton>(form, "NewBtn")->isEnabled());
    QVERIFY(!child<QPushButton>(form, "SaveBtn")->isEnabled());
    QCOMPARE(storedText(dir, "TWEMPLOY", QStringLiteral("EMPNAME")), QStringLiteral("Al Bright"));
    QCOMPARE(storedText(dir, "TWEMPLOY", QStringLiteral("EMTRATE5D")), QStringLiteral("Travel"));

    // The same code again: the message, then the dialog once more (cancelled).
    typed = { QStringLiteral("AB"), QString() };
    click(form, "NewBtn");
    QCOMPARE(messages.texts(),
        QStringList{ QStringLiteral("The selected Employee Code is already in use.") });
    QVERIFY(typed.isEmpty());
    QCOMPARE(staff.recordCount(), std::size_t(1));

    // After a save typing edits again; the delete question names the member.
    QTest::keyClicks(child<QLineEdit>(form, "SSNEdit"), QStringLiteral("1"));
    QVERIFY(staff.isEditing());
    click(form, "CancelBtn");
    messages.clear();
    messages.enqueue(ui::MessageAnswer::Ok);
    click(form, "DeleteBtn");
    QCOMPARE(messages.texts(), QStringList{ QStringLiteral("Delete Al Bright?") });
    QCOMPARE(staff.recordCount(), std::size_t(0));
}

void FormsTest::staffCloseDiscardsAndSearch()
{
    DatasetDir dir;
    ui::Dataset staff;
    dir.open(staff, "TWEMPLOY", QStringLiteral("EMPNUMBER"));
    for (const auto &[code, name] :
        { std::pair{ "000", "Administrator" }, { "ZQ", "Zoe Quinn" } }) {
        staff.insert();
        staff.setValue(QStringLiteral("EMPNUMBER"), QString::fromLatin1(code));
        staff.setValue(QStringLiteral("EMPNAME"), QString::fromLatin1(name));
        staff.post();
    }
    staff.first();
    ui::ScriptedMessages messages;
    {
        TEmployeeform form(staff, messages);
        form.placement()->setIniFileName({});
        QTest::keyClicks(child<QLineEdit>(form, "EMPNAMEEdit"), QStringLiteral(" Changed"));
        QVERIFY(staff.isEditing());
        shot(form, QStringLiteral("staff"));
        click(form, "CloseBtn");
        QVERIFY(!staff.isEditing());
        QVERIFY(messages.shown().isEmpty());
        QCOMPARE(storedText(dir, "TWEMPLOY", QStringLiteral("EMPNAME")),
            QStringLiteral("Administrator"));
    }
    {
        TEmployeeform form(staff, messages);
        form.placement()->setIniFileName({});
        QStringList offered;
        form.pickStaff = [&offered](ui::Dataset &listing) {
            for (listing.first(); !listing.eof(); listing.next())
                offered << listing.text(QStringLiteral("EMPNUMBER"));
            listing.findKey({ QStringLiteral("ZQ") });
            return true;
        };
        click(form, "SearchBtn");
        QCOMPARE(offered, (QStringList{ QStringLiteral("000"), QStringLiteral("ZQ") }));
        QCOMPARE(child<QLineEdit>(form, "EMPNAMEEdit")->text(), QStringLiteral("Zoe Quinn"));
        form.reject();
    }
    {
        // A window destroyed without closing still drops the pending change and its lock.
        TEmployeeform form(staff, messages);
        form.placement()->setIniFileName({});
        QTest::keyClicks(child<QLineEdit>(form, "SSNEdit"), QStringLiteral("9"));
        QVERIFY(staff.isEditing());
    }
    QVERIFY(!staff.isEditing());
    // The member picked stays current after the window has gone.
    QCOMPARE(staff.text(QStringLiteral("EMPNUMBER")), QStringLiteral("ZQ"));
}

void FormsTest::setupSubtotalsBordersAndCaptions()
{
    DatasetDir dir;
    ui::Dataset setup;
    dir.open(setup, "TWSETUP");
    ui::ScriptedMessages messages;
    TSetupForm form(setup, messages);
    form.placement()->setIniFileName({});
    QCOMPARE(form.windowTitle(), QStringLiteral("Setup Information"));
    QCOMPARE(form.placement()->Entry(), QStringLiteral("SetupForm32"));
    QVERIFY(setup.isEditing());
    auto *pages = child<QTabWidget>(form, "PageControl");
    QCOMPARE(pages->currentIndex(), 0);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    shot(form, QStringLiteral("setup-company"));

    pages->setCurrentIndex(1); // the statement layout page
    auto *sort = child<QComboBox>(form, "INVSORTCombo");
    auto *subProj = child<QCheckBox>(form, "SUBPROJCheck");
    auto *subAct = child<QCheckBox>(form, "SUBACTCheck");
    auto choose = [sort](const char *order) {
        const int index = sort->findText(QLatin1String(order));
        QVERIFY(index >= 0);
        sort->setCurrentIndex(index);
        emit sort->activated(index);
    };
    choose("By Project & Activity");
    if (!subProj->isChecked())
        QTest::mouseClick(subProj, Qt::LeftButton);
    if (!subAct->isChecked())
        QTest::mouseClick(subAct, Qt::LeftButton);
    choose("By Entry Order");
    QVERIFY(!subProj->isEnabled() && !subAct->isEnabled());
    QVERIFY(!subProj->isChecked() && !subAct->isChecked());
    QCOMPARE(setup.text(QStringLiteral("SUBPROJ")), QStringLiteral("N"));
    QCOMPARE(setup.text(QStringLiteral("SUBACT")), QStringLiteral("N"));
    choose("By Project");
    QVERIFY(subProj->isEnabled());
    QVERIFY(!subAct->isEnabled() && !subAct->isChecked());

    auto *borders = child<QCheckBox>(form, "PRINTBOXCheck");
    auto *shade = child<QCheckBox>(form, "PRINTSHADECheck");
    if (!borders->isChecked())
        QTest::mouseClick(borders, Qt::LeftButton);
    if (!shade->isChecked())
        QTest::mouseClick(shade, Qt::LeftButton);
    QTest::mouseClick(borders, Qt::LeftButton);
    QVERIFY(!shade->isChecked());
    QVERIFY(shade->isEnabled());
    QCOMPARE(setup.text(QStringLiteral("PRINTSHADE")), QStringLiteral("N"));

    QFont big(QStringLiteral("DejaVu Sans"), 14);
    big.setBold(true);
    form.chooseFont = [&big](const QString &) { return std::optional<QString>(big.family()); };
    click(form, "FontBtn");
    QCOMPARE(setup.text(QStringLiteral("INVFONT")), QStringLiteral("DejaVu Sans"));

    int printerAsked = 0;
    form.choosePrinter = [&printerAsked] {
        ++printerAsked;
        return true;
    };
    click(form, "PrintBtn");
    QCOMPARE(printerAsked, 1);
    QVERIFY(setup.isEditing());

    shot(form, QStringLiteral("setup-layout"));
    pages->setCurrentIndex(0);
    auto *field1 = child<QLineEdit>(form, "USERFIELD1Edit");
    field1->selectAll();
    QTest::keyClicks(field1, QStringLiteral("Referral"));
    QSignalSpy captions(&form, &TSetupForm::userFieldCaptionsChanged);
    click(form, "SaveBtn");
    QCOMPARE(captions.count(), 1);
    QCOMPARE(captions.first().first().toStringList().first(), QStringLiteral("Referral"));
    QVERIFY(messages.shown().isEmpty());
    QVERIFY(!setup.isEditing());
    QCOMPARE(storedText(dir, "TWSETUP", QStringLiteral("USERFIELD1")), QStringLiteral("Referral"));
    QCOMPARE(storedText(dir, "TWSETUP", QStringLiteral("INVFONT")), QStringLiteral("DejaVu Sans"));
    QCOMPARE(storedText(dir, "TWSETUP", QStringLiteral("INVSORT")), QStringLiteral("By Project"));
}

void FormsTest::setupCloseAnsweredNo()
{
    DatasetDir dir;
    ui::Dataset setup;
    dir.open(setup, "TWSETUP");
    const QString before = storedText(dir, "TWSETUP", QStringLiteral("COMPNAME"));
    const QString caption = storedText(dir, "TWSETUP", QStringLiteral("USERFIELD2"));
    ui::ScriptedMessages messages;
    TSetupForm form(setup, messages);
    form.placement()->setIniFileName({});
    form.show();
    QTest::keyClicks(child<QLineEdit>(form, "COMPNAMEEdit"), QStringLiteral(" and Sons"));
    QTest::keyClicks(child<QLineEdit>(form, "USERFIELD2Edit"), QStringLiteral("X"));
    QSignalSpy captions(&form, &TSetupForm::userFieldCaptionsChanged);
    messages.enqueue(ui::MessageAnswer::No);
    form.close();
    QCOMPARE(messages.texts(), QStringList{ QStringLiteral("Do you want to save these changes?") });
    QVERIFY(!form.isVisible());
    QVERIFY(!setup.isEditing());
    QCOMPARE(storedText(dir, "TWSETUP", QStringLiteral("COMPNAME")), before);
    QCOMPARE(captions.count(), 1);
    QCOMPARE(captions.first().first().toStringList().at(1), caption);
}

QTEST_MAIN(FormsTest)
#include "forms_test.moc"
