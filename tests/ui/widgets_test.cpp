// The data-aware widgets against a dataset: typing starts an edit only with auto-edit on, values
// reach the field in the field's type, and every widget shows the record the dataset moves to.
#include <QAbstractItemView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "memory_cursor.h"
#include "ui/dataset.h"
#include "ui/db_check_box.h"
#include "ui/db_combo_box.h"
#include "ui/db_date_edit.h"
#include "ui/db_edit.h"
#include "ui/db_grid.h"
#include "ui/db_lookup_combo.h"
#include "ui/db_memo.h"
#include "ui/db_navigator.h"
#include "ui/db_number_edit.h"
#include "ui/db_radio_group.h"
#include "ui/pick_list_dialog.h"
#include "ui/scripted_messages.h"

using namespace ui;
using testing_ui::MemoryCursor;
using testing_ui::MemoryTable;

namespace {

std::shared_ptr<MemoryTable> clients()
{
    auto t = std::make_shared<MemoryTable>(std::vector<dbf::FieldDef>{
        { "NUMBER", dbf::FieldType::Character, 6, 0 },
        { "NAME", dbf::FieldType::Character, 12, 0 },
        { "BALANCE", dbf::FieldType::Numeric, 10, 2 },
        { "TAXABLE", dbf::FieldType::Character, 1, 0 },
        { "ACTIVE", dbf::FieldType::Numeric, 1, 0 },
        { "CYCLE", dbf::FieldType::Character, 1, 0 },
        { "OPENED", dbf::FieldType::Date, 8, 0 },
        { "NOTES", dbf::FieldType::Memo, 10, 0 },
        { "STAFF", dbf::FieldType::Character, 4, 0 },
    });
    t->add({ "1001", "Baker", 150.25, "Y", 1.0, "M", QDate(2026, 1, 15), "first", "AB" });
    t->add({ "1002", "Adams", QVariant(), "N", 0.0, "Q", QDate(), "", "CD" });
    return t;
}

// Types text into a widget as a user would (the widget has the focus).
void typeInto(QWidget *w, const QString &text)
{
    w->setFocus();
    QTest::keyClicks(w, text);
}

} // namespace

class WidgetsTest : public QObject
{
    Q_OBJECT
private slots:
    void textBoxStartsAnEditOnlyWithAutoEdit();
    void textBoxCutsToTheWidthAndTurnsToUpperCase();
    void numberBoxWritesWhenLeftOrBeforePost();
    void checkBoxWritesTheFieldsOwnFlagValues();
    void radioGroupAndDropDownListStoreTheirValues();
    void typedComboWritesAsTyped();
    void dateBox_data();
    void dateBox();
    void dateBoxRefusesTextThatIsNoDate();
    void memoBoxWritesEachChange();
    void gridFollowsTheDatasetAndMovesIt();
    void pickListAndLookupCombo();
    void navigatorFollowsTheStateAndReportsFailures();
};

void WidgetsTest::textBoxStartsAnEditOnlyWithAutoEdit()
{
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    QWidget window;
    auto *name = new DbEdit(&window);
    name->bind(&d, "NAME");
    window.show();
    QCOMPARE(name->text(), QString("Baker"));

    d.setAutoEdit(false);
    name->setCursorPosition(5);
    typeInto(name, "s");
    QCOMPARE(d.state(), Dataset::State::Browse);
    QCOMPARE(name->text(), QString("Baker"));

    d.setAutoEdit(true);
    name->setCursorPosition(5);
    typeInto(name, "s");
    QCOMPARE(d.state(), Dataset::State::Edit);
    QCOMPARE(d.value("NAME").toString(), QString("Bakers"));
    d.cancel();
    QCOMPARE(name->text(), QString("Baker"));

    d.next();
    QCOMPARE(name->text(), QString("Adams"));
    // A value set by the program shows at once.
    d.setValue("NAME", QStringLiteral("Adamson"));
    QCOMPARE(name->text(), QString("Adamson"));
}

void WidgetsTest::textBoxCutsToTheWidthAndTurnsToUpperCase()
{
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    QWidget window;
    auto *number = new DbEdit(&window);
    number->bind(&d, "NUMBER");
    number->setUpperCase(true);
    auto *name = new DbEdit(&window);
    name->bind(&d, "NAME", 8);
    window.show();
    QCOMPARE(number->maxLength(), 6);
    QCOMPARE(name->maxLength(), 8);

    number->clear();
    typeInto(number, "ab12cdef");
    QCOMPARE(number->text(), QString("AB12CD"));
    QCOMPARE(d.value("NUMBER").toString(), QString("AB12CD"));
    name->selectAll();
    typeInto(name, "Montgomery-Smith");
    QCOMPARE(d.value("NAME").toString(), QString("Montgome"));
}

void WidgetsTest::numberBoxWritesWhenLeftOrBeforePost()
{
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    QWidget window;
    auto *balance = new DbMoneyEdit(&window);
    balance->bind(&d, "BALANCE");
    auto *other = new DbEdit(&window);
    other->bind(&d, "NAME");
    window.show();
    QApplication::setActiveWindow(&window);
    other->setFocus();
    QCOMPARE(balance->text(), QString("$150.25"));

    // Typing shows the plain number; leaving the box writes it and shows money again.
    balance->setFocus();
    QCOMPARE(balance->text(), QString("150.25"));
    balance->selectAll();
    QTest::keyClicks(balance, "1234.5x");
    QCOMPARE(balance->text(), QString("1234.5")); // the letter is refused
    QCOMPARE(d.value("BALANCE").toDouble(), 150.25); // not yet written
    other->setFocus();
    QCOMPARE(d.value("BALANCE").toDouble(), 1234.5);
    QCOMPARE(balance->text(), QString("$1,234.50"));
    d.post();

    // A post while the box still has the focus takes the typed number first.
    balance->setFocus();
    balance->selectAll();
    QTest::keyClicks(balance, "-7");
    d.post();
    QCOMPARE(d.value("BALANCE").toDouble(), -7.0);

    // A blank box writes a blank number.
    balance->selectAll();
    QTest::keyClick(balance, Qt::Key_Delete);
    QTest::keyClick(balance, Qt::Key_Return);
    QVERIFY(d.value("BALANCE").isNull());
    d.cancel();
    QCOMPARE(d.value("BALANCE").toDouble(), -7.0);

    // With auto-edit off typing changes nothing.
    d.setAutoEdit(false);
    balance->selectAll();
    QTest::keyClicks(balance, "99");
    other->setFocus();
    QCOMPARE(d.state(), Dataset::State::Browse);
    QCOMPARE(d.value("BALANCE").toDouble(), -7.0);
}

void WidgetsTest::checkBoxWritesTheFieldsOwnFlagValues()
{
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    QWidget window;
    auto *taxable = new DbCheckBox("Taxable", &window);
    taxable->bind(&d, "TAXABLE");
    auto *active = new DbCheckBox("Active", &window);
    active->bind(&d, "ACTIVE");
    auto *custom = new DbCheckBox("Monthly", &window);
    custom->bind(&d, "CYCLE", QStringLiteral("M"), QStringLiteral("Q"));
    window.show();
    QVERIFY(taxable->isChecked());
    QVERIFY(active->isChecked());
    QVERIFY(custom->isChecked());

    taxable->click();
    active->click();
    custom->click();
    QCOMPARE(d.value("TAXABLE").toString(), QString("N"));
    QCOMPARE(d.value("ACTIVE").toDouble(), 0.0);
    QCOMPARE(d.value("CYCLE").toString(), QString("Q"));
    d.post();
    d.next();
    QVERIFY(!taxable->isChecked());
    taxable->click();
    QCOMPARE(d.value("TAXABLE").toString(), QString("Y"));
    active->click();
    QCOMPARE(d.value("ACTIVE").toDouble(), 1.0);
    d.cancel();
    QVERIFY(!taxable->isChecked());

    d.setAutoEdit(false);
    taxable->click();
    QVERIFY(!taxable->isChecked());
    QCOMPARE(d.state(), Dataset::State::Browse);
}

void WidgetsTest::radioGroupAndDropDownListStoreTheirValues()
{
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    QWidget window;
    auto *cycle = new DbRadioGroup("Cycle", &window);
    cycle->addItem("&Monthly", "M");
    cycle->addItem("&Quarterly", "Q");
    cycle->addItem("&Yearly", "Y");
    cycle->bind(&d, "CYCLE");
    auto *list = new DbComboBox(DbComboBox::Kind::DropDownList, &window);
    list->addValue("Monthly", "M");
    list->addValue("Quarterly", "Q");
    list->bind(&d, "CYCLE");
    auto *active = new DbRadioGroup("Active", &window);
    active->addItem("Yes", 1);
    active->addItem("No", 0);
    active->bind(&d, "ACTIVE");
    window.show();
    QCOMPARE(cycle->itemIndex(), 0);
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(active->itemIndex(), 0);

    cycle->button(2)->click();
    QCOMPARE(d.value("CYCLE").toString(), QString("Y"));
    // "Y" is not in the drop-down list: it shows no item.
    QCOMPARE(list->currentIndex(), -1);
    active->button(1)->click();
    QCOMPARE(d.value("ACTIVE").toDouble(), 0.0);

    list->setFocus();
    list->showPopup();
    QTest::keyClick(list->view(), Qt::Key_Down);
    QTest::keyClick(list->view(), Qt::Key_Return);
    QCOMPARE(d.value("CYCLE").toString(), QString("Q"));
    QCOMPARE(cycle->itemIndex(), 1);

    d.next();
    QCOMPARE(cycle->itemIndex(), 1);
    QCOMPARE(active->itemIndex(), 1);
    d.setValue("CYCLE", QStringLiteral("X"));
    QCOMPARE(cycle->itemIndex(), -1);
    QCOMPARE(list->currentIndex(), -1);
}

void WidgetsTest::typedComboWritesAsTyped()
{
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    QWidget window;
    auto *staff = new DbComboBox(DbComboBox::Kind::Typed, &window);
    staff->addValue("AB");
    staff->addValue("CD");
    staff->setUpperCase(true);
    staff->bind(&d, "STAFF");
    window.show();
    QCOMPARE(staff->currentText(), QString("AB"));
    QCOMPARE(staff->lineEdit()->maxLength(), 4);
    staff->lineEdit()->selectAll();
    typeInto(staff->lineEdit(), "xyzzy");
    QCOMPARE(d.value("STAFF").toString(), QString("XYZZ"));
    staff->showPopup();
    QTest::keyClick(staff->view(), Qt::Key_Down);
    QTest::keyClick(staff->view(), Qt::Key_Return);
    QCOMPARE(d.value("STAFF").toString(), QString("CD"));
}

void WidgetsTest::dateBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("full") << "12/31/1999" << QDate(1999, 12, 31) << "12/31/1999";
    QTest::newRow("50 is 1950") << "1/2/50" << QDate(1950, 1, 2) << "01/02/1950";
    QTest::newRow("99 is 1999") << "7-4-99" << QDate(1999, 7, 4) << "07/04/1999";
    QTest::newRow("00 is 2000") << "2/29/00" << QDate(2000, 2, 29) << "02/29/2000";
    QTest::newRow("49 is 2049") << "030449" << QDate(2049, 3, 4) << "03/04/2049";
    QTest::newRow("blank") << "   " << QDate() << "";
}

void WidgetsTest::dateBox()
{
    QFETCH(QString, typed);
    QFETCH(QDate, stored);
    QFETCH(QString, shown);
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    QWidget window;
    auto *opened = new DbDateEdit(&window);
    opened->bind(&d, "OPENED");
    auto *other = new DbEdit(&window);
    other->bind(&d, "NAME");
    window.show();
    QApplication::setActiveWindow(&window);
    QCOMPARE(opened->text(), QString("01/15/2026"));
    opened->setFocus();
    opened->selectAll();
    QTest::keyClicks(opened, typed);
    QCOMPARE(d.state(), Dataset::State::Edit);
    other->setFocus();
    QCOMPARE(d.value("OPENED").toDate(), stored);
    QCOMPARE(opened->text(), shown);
}

void WidgetsTest::dateBoxRefusesTextThatIsNoDate()
{
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    QWidget window;
    auto *opened = new DbDateEdit(&window);
    opened->bind(&d, "OPENED");
    window.show();
    QSignalSpy failures(opened->link(), &FieldLink::failed);
    opened->setFocus();
    opened->selectAll();
    QTest::keyClicks(opened, "2/30/2026");
    d.post(); // the pending text is taken before the post and refused
    QCOMPARE(failures.count(), 1);
    QCOMPARE(failures.first().first().toString(), QString("2/30/2026 is not a valid date."));
    QCOMPARE(d.value("OPENED").toDate(), QDate(2026, 1, 15));
    QCOMPARE(opened->text(), QString("01/15/2026"));
}

void WidgetsTest::memoBoxWritesEachChange()
{
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    QWidget window;
    auto *notes = new DbMemo(&window);
    notes->bind(&d, "NOTES");
    window.show();
    QCOMPARE(notes->toPlainText(), QString("first"));
    notes->moveCursor(QTextCursor::End);
    typeInto(notes, " line");
    QTest::keyClick(notes, Qt::Key_Return);
    QTest::keyClicks(notes, "second");
    QCOMPARE(d.value("NOTES").toString(), QString("first line\nsecond"));
    d.cancel();
    QCOMPARE(notes->toPlainText(), QString("first"));
    d.setAutoEdit(false);
    typeInto(notes, "x");
    QCOMPARE(notes->toPlainText(), QString("first"));
    QCOMPARE(d.state(), Dataset::State::Browse);
}

void WidgetsTest::gridFollowsTheDatasetAndMovesIt()
{
    auto table = clients();
    for (int i = 3; i <= 40; ++i)
        table->add({ QString::number(1000 + i), QStringLiteral("Client %1").arg(i), QVariant(), "N",
            0.0, "M", QDate(), "", "" });
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(table));
    DbGrid grid;
    grid.bind(&d,
        { { "NUMBER", "Number", 6, false, DisplayFormat::Default },
            { "NAME", "Name", 20, false, DisplayFormat::Default },
            { "TAXABLE", "Tax", 3, true, DisplayFormat::Default } });
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QCOMPARE(grid.currentIndex().row(), 0);
    QCOMPARE(grid.selectionBehavior(), QAbstractItemView::SelectRows);

    d.last();
    QCOMPARE(grid.currentIndex().row(), 39);
    QCOMPARE(grid.selectionModel()->selectedRows().size(), 1);

    QSignalSpy activated(&grid, &DbGrid::rowActivated);
    grid.scrollToTop();
    const QRect cell = grid.visualRect(grid.model()->index(2, 1));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(d.value("NUMBER").toString(), QString("1003"));
    QCOMPARE(activated.count(), 0);
    const QRect other = grid.visualRect(grid.model()->index(4, 0));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, other.center());
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, other.center());
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated.first().first().toInt(), 4);
    QCOMPARE(d.value("NUMBER").toString(), QString("1005"));
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(d.value("NUMBER").toString(), QString("1006"));
}

void WidgetsTest::pickListAndLookupCombo()
{
    auto staffTable = std::make_shared<MemoryTable>(std::vector<dbf::FieldDef>{
        { "INITIALS", dbf::FieldType::Character, 4, 0 },
        { "NAME", dbf::FieldType::Character, 20, 0 },
    });
    staffTable->add({ "AB", "Ann Brown" });
    staffTable->add({ "CD", "Carl Dean" });
    staffTable->add({ "EF", "Eve Fox" });
    Dataset staff("staff");
    staff.open(std::make_unique<MemoryCursor>(staffTable));
    const QList<GridColumn> columns{ { "INITIALS", "Initials", 4, false, DisplayFormat::Default },
        { "NAME", "Name", 20, false, DisplayFormat::Default } };

    // Cancel brings the dataset back to where it was; OK leaves it on the chosen row.
    {
        PickListDialog dialog(&staff, columns, "Staff");
        QCOMPARE(dialog.windowTitle(), QString("Staff"));
        QCOMPARE(dialog.okButton()->text(), QString("OK"));
        dialog.grid()->gridModel()->moveDatasetTo(2);
        QCOMPARE(staff.value("INITIALS").toString(), QString("EF"));
        dialog.reject();
        QCOMPARE(staff.value("INITIALS").toString(), QString("AB"));
    }
    {
        PickListDialog dialog(&staff, columns, "Staff");
        dialog.grid()->gridModel()->moveDatasetTo(1);
        dialog.accept();
        QCOMPARE(staff.value("INITIALS").toString(), QString("CD"));
    }

    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    QWidget window;
    auto *combo = new DbLookupCombo(&window);
    combo->bind(&d, "STAFF");
    combo->setLookup(&staff, "INITIALS", columns, "Staff");
    window.show();
    QVERIFY(combo->findCurrent());
    QCOMPARE(staff.value("NAME").toString(), QString("Ann Brown"));
    // The button opens the pick list; a double-click on a row chooses it.
    QTimer::singleShot(0, [&] {
        auto *dialog = window.findChild<PickListDialog *>();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->grid()->currentIndex().row(), 0);
        const QRect cell = dialog->grid()->visualRect(dialog->grid()->model()->index(2, 1));
        QTest::mouseClick(dialog->grid()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(dialog->grid()->viewport(), Qt::LeftButton, {}, cell.center());
        if (dialog->isVisible())
            dialog->reject(); // the check below then fails instead of the test hanging
    });
    combo->showPopup();
    QCOMPARE(d.value("STAFF").toString(), QString("EF"));
    QCOMPARE(combo->currentText(), QString("EF"));
    d.next();
    QCOMPARE(combo->currentText(), QString("CD"));
    QVERIFY(combo->findCurrent());
    QCOMPARE(staff.value("NAME").toString(), QString("Carl Dean"));
    d.setValue("STAFF", QStringLiteral("ZZ"));
    QVERIFY(!combo->findCurrent());
    QCOMPARE(staff.value("NAME").toString(), QString("Carl Dean"));
}

void WidgetsTest::navigatorFollowsTheStateAndReportsFailures()
{
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    ScriptedMessages messages;
    DbNavigator nav;
    nav.bind(&d, &messages);
    nav.setVisibleButtons(
        DbNavigator::Prior | DbNavigator::Next | DbNavigator::Post | DbNavigator::Cancel);
    nav.show();
    QVERIFY(nav.button(DbNavigator::Next)->isVisible());
    QVERIFY(!nav.button(DbNavigator::First)->isVisible());
    const auto enabled = [&nav] {
        QStringList on;
        for (auto b : { DbNavigator::Prior, DbNavigator::Next, DbNavigator::Delete,
                 DbNavigator::Post, DbNavigator::Cancel })
            if (nav.button(b)->isEnabled())
                on << nav.button(b)->text();
        return on;
    };
    QCOMPARE(enabled(), QStringList({ "Next", "Delete" }));
    nav.button(DbNavigator::Next)->click();
    QCOMPARE(d.value("NUMBER").toString(), QString("1002"));
    // The end shows once a move finds nothing more, as the dataset's eof() does.
    QCOMPARE(enabled(), QStringList({ "Prior", "Next", "Delete" }));
    nav.button(DbNavigator::Next)->click();
    QCOMPARE(d.value("NUMBER").toString(), QString("1002"));
    QCOMPARE(enabled(), QStringList({ "Prior", "Delete" }));

    d.setValue("NAME", QStringLiteral("Adamson"));
    QCOMPARE(enabled(), QStringList({ "Post", "Cancel" }));
    // A refused post shows the engine's message and keeps the edit.
    d.BeforePost = [](Dataset &) { throw dbf::Error("Name already used."); };
    nav.button(DbNavigator::Post)->click();
    QCOMPARE(messages.texts(), QStringList{ "Name already used." });
    QCOMPARE(d.state(), Dataset::State::Edit);
    d.BeforePost = nullptr;
    nav.button(DbNavigator::Post)->click();
    QCOMPARE(d.state(), Dataset::State::Browse);
    QCOMPARE(d.value("NAME").toString(), QString("Adamson"));

    // Delete asks first when told to; Cancel keeps the record.
    messages.clear();
    nav.setDeleteConfirmation("Delete this client?");
    messages.enqueue(MessageAnswer::Cancel);
    nav.click(DbNavigator::Delete);
    QCOMPARE(messages.texts(), QStringList{ "Delete this client?" });
    QCOMPARE(d.recordCount(), std::size_t(2));
    messages.enqueue(MessageAnswer::Ok);
    nav.click(DbNavigator::Delete);
    QCOMPARE(d.recordCount(), std::size_t(1));
    QCOMPARE(d.value("NUMBER").toString(), QString("1001"));
}

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
