// The field-value locate dialog over a dataset: its fields and presets, the three search types
// and the case option finding the right rows first and next, and the box when nothing matches.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "memory_cursor.h"
#include "ui/locate_dialog.h"
#include "ui/scripted_messages.h"

using namespace ui;
using testing_ui::MemoryCursor;
using testing_ui::MemoryTable;

namespace {

std::shared_ptr<MemoryTable> clients()
{
    auto t = std::make_shared<MemoryTable>(std::vector<dbf::FieldDef>{
        { "NUMBER", dbf::FieldType::Character, 6, 0 },
        { "NAME", dbf::FieldType::Character, 20, 0 },
        { "CITY", dbf::FieldType::Character, 15, 0 },
        { "BALANCE", dbf::FieldType::Numeric, 9, 2 },
    });
    t->add({ "1001", "Baker & Sons", "Boston", 10.0 });
    t->add({ "1002", "Adams", "Salem", 0.0 });
    t->add({ "1003", "baker", "boston", 12.5 });
    t->add({ "1004", "Shoemaker", "Lowell", 10.0 });
    t->add({ "1005", "Baker", "Boston", 0.0 });
    return t;
}

} // namespace

class LocateDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void showsSortedFieldsAndPresets();
    void findsFirstAndNext_data();
    void findsFirstAndNext();
    void searchesInTheDatasetsOrderAndStaysOnMiss();
};

void LocateDialogTest::showsSortedFieldsAndPresets()
{
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    ScriptedMessages messages;
    LocateDialog dialog(&d, messages, "Locate Client", "NAME");
    QCOMPARE(dialog.windowTitle(), QString("Locate Client"));
    QStringList names;
    for (int i = 0; i < dialog.fieldList()->count(); ++i)
        names << dialog.fieldList()->item(i)->text();
    QCOMPARE(names, QStringList({ "BALANCE", "CITY", "NAME", "NUMBER" }));
    QCOMPARE(dialog.fieldList()->currentItem()->text(), QString("NAME"));
    const LocateRequest r = dialog.request();
    QCOMPARE(int(r.type), int(LocateSearchType::PartialAtBeginning));
    QVERIFY(!r.caseSensitive);
    QVERIFY(dialog.nextButton()->isDefault());
    QCOMPARE(dialog.firstButton()->text(), QString("Fi&rst"));
    QCOMPARE(dialog.nextButton()->text(), QString("&Next"));
    QCOMPARE(dialog.cancelButton()->text(), QString("Cancel"));
    QStringList captions;
    for (auto *b : dialog.findChildren<QRadioButton *>())
        captions << b->text();
    QCOMPARE(captions,
        QStringList({ "&Exact Match", "&Partial Match at Beginning", "Partial Match &Anywhere" }));
    QCOMPARE(dialog.findChild<QCheckBox *>()->text(), QString("&Case-sensitive"));
}

void LocateDialogTest::findsFirstAndNext_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("caseSensitive");
    // Numbers of the rows found by First and then by Next until nothing more matches.
    QTest::addColumn<QStringList>("found");
    const int exact = int(LocateSearchType::ExactMatch),
              begin = int(LocateSearchType::PartialAtBeginning),
              anywhere = int(LocateSearchType::PartialAnywhere);
    QTest::newRow("beginning, any case")
        << "NAME"
        << "baker" << begin << false << QStringList{ "1001", "1003", "1005" };
    QTest::newRow("beginning, case") << "NAME"
                                     << "Baker" << begin << true << QStringList{ "1001", "1005" };
    QTest::newRow("exact, any case") << "NAME"
                                     << "BAKER" << exact << false << QStringList{ "1003", "1005" };
    QTest::newRow("exact, case") << "NAME"
                                 << "baker" << exact << true << QStringList{ "1003" };
    QTest::newRow("anywhere, any case")
        << "NAME"
        << "AKER" << anywhere << false << QStringList{ "1001", "1003", "1004", "1005" };
    QTest::newRow("anywhere, case") << "NAME"
                                    << "maker" << anywhere << true << QStringList{ "1004" };
    QTest::newRow("other field") << "CITY"
                                 << "Boston" << exact << true << QStringList{ "1001", "1005" };
    QTest::newRow("number as shown") << "BALANCE"
                                     << "10.00" << exact << false << QStringList{ "1001", "1004" };
    QTest::newRow("nothing") << "NAME"
                             << "Zed" << anywhere << false << QStringList{};
}

void LocateDialogTest::findsFirstAndNext()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(int, type);
    QFETCH(bool, caseSensitive);
    QFETCH(QStringList, found);

    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    d.last();
    ScriptedMessages messages;
    LocateDialog dialog(&d, messages, "Locate Client", "NAME");
    dialog.setRequest({ field, value, LocateSearchType(type), caseSensitive });
    QCOMPARE(dialog.request().field, field);

    QStringList seen;
    dialog.firstButton()->click();
    while (messages.shown().isEmpty() && seen.size() <= found.size()) {
        seen << d.value("NUMBER").toString();
        dialog.nextButton()->click();
    }
    QCOMPARE(seen, found);
    QCOMPARE(messages.texts(), QStringList{ LocateDialog::kNotFound });
    QCOMPARE(messages.shown().first().caption, QString("Locate Client"));
    // After the last match the dataset stays on it (or where it was when nothing matched).
    QCOMPARE(d.value("NUMBER").toString(), found.isEmpty() ? QString("1005") : found.last());
    // First again finds the first match.
    messages.clear();
    dialog.firstButton()->click();
    if (!found.isEmpty())
        QCOMPARE(d.value("NUMBER").toString(), found.first());
}

void LocateDialogTest::searchesInTheDatasetsOrderAndStaysOnMiss()
{
    Dataset d("clients");
    d.open(std::make_unique<MemoryCursor>(clients()));
    d.setTag("NAME");
    ScriptedMessages messages;
    LocateDialog dialog(&d, messages, "Locate Time Slip", "NAME");
    dialog.setRequest({ "CITY", "bos", LocateSearchType::PartialAtBeginning, false });
    // Name order: Adams, Baker, Baker & Sons, Shoemaker, baker.
    dialog.firstButton()->click();
    QCOMPARE(d.value("NUMBER").toString(), QString("1005"));
    dialog.nextButton()->click();
    QCOMPARE(d.value("NUMBER").toString(), QString("1001"));
    dialog.nextButton()->click();
    QCOMPARE(d.value("NUMBER").toString(), QString("1003"));
    dialog.nextButton()->click();
    QCOMPARE(d.value("NUMBER").toString(), QString("1003"));
    QCOMPARE(messages.texts(), QStringList{ LocateDialog::kNotFound });

    // A pending change is posted before searching; typing into the value box and pressing
    // Return runs the default button.
    d.first();
    d.setValue("CITY", QStringLiteral("Bostonia"));
    messages.clear();
    dialog.show();
    dialog.valueBox()->setFocus();
    dialog.setRequest({ "CITY", "bostonia", LocateSearchType::ExactMatch, false });
    QTest::keyClick(dialog.valueBox(), Qt::Key_Return);
    QCOMPARE(d.state(), Dataset::State::Browse);
    QCOMPARE(messages.texts(), QStringList{ LocateDialog::kNotFound });
    dialog.firstButton()->click();
    QCOMPARE(d.value("NUMBER").toString(), QString("1002"));
}

QTEST_MAIN(LocateDialogTest)
#include "locate_dialog_test.moc"
