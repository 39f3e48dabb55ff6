// The data-aware widgets against a dataset: typing starts an edit only with auto-edit on, values
// reach the field in the field's type, and every widget shows the record the dataset moves to.
#include <QSignalSpy>
#include <QTest>

#include "memory_cursor.h"
#include "ui/dataset.h"
#include "ui/db_edit.h"
#include "ui/db_number_edit.h"

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

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
