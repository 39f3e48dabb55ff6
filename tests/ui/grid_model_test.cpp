// The read-only grid model over a dataset: Qt's model checker, rows read on demand into a
// bounded cache, check-box columns, display formats, and following the dataset's changes.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include "memory_cursor.h"
#include "ui/dataset.h"
#include "ui/dataset_table_model.h"
#include "ui/field_format.h"

using namespace ui;
using testing_ui::MemoryCursor;
using testing_ui::MemoryTable;

namespace {

std::shared_ptr<MemoryTable> staff(int rows)
{
    auto t = std::make_shared<MemoryTable>(std::vector<dbf::FieldDef>{
        { "INITIALS", dbf::FieldType::Character, 4, 0 },
        { "NAME", dbf::FieldType::Character, 30, 0 },
        { "RATE", dbf::FieldType::Numeric, 8, 2 },
        { "ACTIVE", dbf::FieldType::Character, 1, 0 },
    });
    for (int i = 1; i <= rows; ++i)
        t->add({ QStringLiteral("S%1").arg(i, 3, 10, QLatin1Char('0')),
            QStringLiteral("Person %1").arg(i), 10.0 * i + 0.5,
            i % 2 ? QStringLiteral("Y") : QStringLiteral("N") });
    return t;
}

QList<GridColumn> columns()
{
    return {
        { "INITIALS", "Initials", 6, false, DisplayFormat::Default },
        { "NAME", "Name", 20, false, DisplayFormat::Default },
        { "RATE", "Rate", 10, false, DisplayFormat::Money },
        { "ACTIVE", "Active", 5, true, DisplayFormat::Default },
    };
}

} // namespace

class GridModelTest : public QObject
{
    Q_OBJECT
private slots:
    void passesTheModelChecker();
    void showsTitlesTextsMoneyAndTicks();
    void readsOnlyTheRowsAskedForAndKeepsTheCacheBounded();
    void currentRowAndMovingTheDataset();
    void followsPostsRangesAndFreeze();
    void displayTexts_data();
    void displayTexts();
};

void GridModelTest::passesTheModelChecker()
{
    Dataset d("staff");
    d.open(std::make_unique<MemoryCursor>(staff(40)));
    DatasetTableModel model(&d, columns(), nullptr, 16);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int r = 0; r < model.rowCount(); ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            model.data(model.index(r, c), Qt::DisplayRole);
    // Changes of the dataset while the checker watches.
    d.last();
    d.setValue("NAME", QStringLiteral("Changed"));
    d.post();
    d.insert();
    d.setValue("INITIALS", QStringLiteral("NEW"));
    d.post();
    d.remove();
    d.setTag("NAME");
    QCOMPARE(model.rowCount(), 40);
}

void GridModelTest::showsTitlesTextsMoneyAndTicks()
{
    Dataset d("staff");
    d.open(std::make_unique<MemoryCursor>(staff(3)));
    DatasetTableModel model(&d, columns());
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Name"));
    QCOMPARE(model.index(1, 0).data().toString(), QString("S002"));
    QCOMPARE(model.index(1, 2).data().toString(), QString("$20.50"));
    QCOMPARE(model.index(0, 3).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(model.index(1, 3).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(model.index(1, 3).data(Qt::DisplayRole).isNull());
    QVERIFY(model.index(1, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
}

void GridModelTest::readsOnlyTheRowsAskedForAndKeepsTheCacheBounded()
{
    Dataset d("staff");
    d.open(std::make_unique<MemoryCursor>(staff(1000)));
    DatasetTableModel model(&d, columns(), nullptr, 50);
    QCOMPARE(model.rowCount(), 1000);
    QCOMPARE(model.rowsRead(), 0);
    // A screenful near the end is read from the nearer end, without the rest of the table.
    for (int r = 990; r < 1000; ++r)
        QCOMPARE(model.index(r, 0).data().toString(),
            QStringLiteral("S%1").arg(r + 1, 3, 10, QLatin1Char('0')));
    QCOMPARE(model.rowsRead(), 10);
    // The same rows again come from the cache.
    for (int r = 990; r < 1000; ++r)
        model.index(r, 1).data();
    QCOMPARE(model.rowsRead(), 10);
    // Scrolling through everything never holds more than the cache's size.
    for (int r = 0; r < 1000; ++r)
        model.index(r, 0).data();
    QVERIFY(model.cachedRows() <= 50);
    QCOMPARE(model.index(500, 1).data().toString(), QString("Person 501"));
    // Painting never moves the dataset.
    QCOMPARE(d.value("INITIALS").toString(), QString("S001"));
    // The row of a current record that is not cached, near either end and in the middle.
    for (int row : { 1, 998, 999, 0, 503 }) {
        QVERIFY(d.gotoBookmark({ dbf::RecNo(row + 1) }));
        QCOMPARE(model.currentRow(), row);
    }
}

void GridModelTest::currentRowAndMovingTheDataset()
{
    Dataset d("staff");
    d.open(std::make_unique<MemoryCursor>(staff(30)));
    DatasetTableModel model(&d, columns(), nullptr, 8);
    QCOMPARE(model.currentRow(), 0);
    QVERIFY(model.moveDatasetTo(17));
    QCOMPARE(d.value("INITIALS").toString(), QString("S018"));
    QCOMPARE(model.currentRow(), 17);
    d.setTag("NAME");
    // "Person 1", "Person 10".."Person 19", "Person 2", ... in name order.
    QCOMPARE(model.index(1, 1).data().toString(), QString("Person 10"));
    QVERIFY(model.moveDatasetTo(2));
    QCOMPARE(d.value("NAME").toString(), QString("Person 11"));
    QCOMPARE(model.currentRow(), 2);
    QVERIFY(!model.moveDatasetTo(30));
}

void GridModelTest::followsPostsRangesAndFreeze()
{
    Dataset d("staff");
    d.open(std::make_unique<MemoryCursor>(staff(10)));
    DatasetTableModel model(&d, columns());
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);

    QCOMPARE(model.index(0, 1).data().toString(), QString("Person 1"));
    d.setValue("NAME", QStringLiteral("Renamed"));
    d.post();
    QCOMPARE(model.index(0, 1).data().toString(), QString("Renamed"));
    QVERIFY(resets.count() >= 1);

    d.setTag("INITIALS");
    d.setRange({ QStringLiteral("S003") }, { QStringLiteral("S005") });
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(2, 0).data().toString(), QString("S005"));

    // While frozen the grid keeps its rows; thawing brings the whole change at once.
    resets.clear();
    d.disableControls();
    d.cancelRange();
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(resets.count(), 0);
    d.enableControls();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(model.rowCount(), 10);
    Q_UNUSED(changes);
}

void GridModelTest::displayTexts_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<char>("type");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("expected");
    const int dflt = int(DisplayFormat::Default), money = int(DisplayFormat::Money),
              hours = int(DisplayFormat::Hours);
    QTest::newRow("text") << QVariant("Baker") << 'C' << 0 << dflt << "Baker";
    QTest::newRow("null") << QVariant() << 'N' << 2 << money << "";
    QTest::newRow("decimals") << QVariant(3.14159) << 'N' << 2 << dflt << "3.14";
    QTest::newRow("whole") << QVariant(42.0) << 'N' << 0 << dflt << "42";
    QTest::newRow("money") << QVariant(1234.5) << 'N' << 2 << money << "$1,234.50";
    QTest::newRow("money negative") << QVariant(-1234.5) << 'N' << 2 << money << "-$1,234.50";
    QTest::newRow("money rounds") << QVariant(0.005) << 'N' << 2 << money << "$0.01";
    QTest::newRow("money no negative zero") << QVariant(-0.001) << 'N' << 2 << money << "$0.00";
    QTest::newRow("money millions")
        << QVariant(1234567.891) << 'N' << 2 << money << "$1,234,567.89";
    QTest::newRow("hours") << QVariant(1234.5) << 'N' << 2 << hours << "1234.50";
    QTest::newRow("date") << QVariant(QDate(2026, 3, 7)) << 'D' << 0 << dflt << "03/07/2026";
    QTest::newRow("blank date") << QVariant(QDate()) << 'D' << 0 << dflt << "";
    QTest::newRow("logical") << QVariant(true) << 'L' << 0 << dflt << "T";
}

void GridModelTest::displayTexts()
{
    QFETCH(QVariant, value);
    QFETCH(char, type);
    QFETCH(int, decimals);
    QFETCH(int, format);
    QFETCH(QString, expected);
    const dbf::FieldDef f{ "F", dbf::FieldType(type), 10, std::uint8_t(decimals) };
    QCOMPARE(displayText(value, f, DisplayFormat(format)), expected);
}

QTEST_MAIN(GridModelTest)
#include "grid_model_test.moc"
