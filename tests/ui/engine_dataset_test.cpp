// Datasets, widgets' value conversions, master-detail links and the grid model over real table
// files in a temporary directory.
#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QTest>

#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/table.h"
#include "ui/cursor_scope.h"
#include "ui/dataset.h"
#include "ui/dataset_table_model.h"
#include "ui/db_edit.h"
#include "ui/engine_cursor.h"

using namespace ui;

namespace {

std::shared_ptr<dbf::Table> openTable(const QTemporaryDir &dir, const char *name)
{
    return dbf::Table::open(
        std::filesystem::path(dir.path().toStdString()) / name, dbf::OpenMode::Shared);
}

// TWCLIENT-like and TWSLIP-like tables: 3 clients, 6 slips over them.
void makeTables(const QTemporaryDir &dir)
{
    const std::filesystem::path root(dir.path().toStdString());
    dbf::Table::create(root / "CLIENTS.DBF",
        {
            { "NUMBER", dbf::FieldType::Character, 6, 0 },
            { "NAME", dbf::FieldType::Character, 20, 0 },
            { "RATE", dbf::FieldType::Numeric, 8, 2 },
            { "OPENED", dbf::FieldType::Date, 8, 0 },
            { "TAXABLE", dbf::FieldType::Logical, 1, 0 },
            { "NOTES", dbf::FieldType::Memo, 10, 0 },
        });
    dbf::Table::create(root / "SLIPS.DBF",
        {
            { "SL_NUMBER", dbf::FieldType::Numeric, 8, 0 },
            { "SL_CLIENT", dbf::FieldType::Character, 6, 0 },
            { "SL_HOURS", dbf::FieldType::Numeric, 6, 2 },
        });
    auto clients = dbf::Table::open(root / "CLIENTS.DBF", dbf::OpenMode::Shared);
    {
        dbf::Cursor c(*clients);
        const char *rows[][2] = { { "1001", "Baker" }, { "1002", "Adams" }, { "1003", "Carter" } };
        for (auto &row : rows) {
            c.append();
            c.setText("NUMBER", row[0]);
            c.setText("NAME", row[1]);
            c.setNumber("RATE", 95.5);
            c.post();
        }
    }
    {
        auto slips = dbf::Table::open(root / "SLIPS.DBF", dbf::OpenMode::Shared);
        dbf::Cursor s(*slips);
        const char *owners[] = { "1002", "1001", "1002", "1003", "1002", "1001" };
        for (int i = 0; i < 6; ++i) {
            s.append();
            s.setInteger("SL_NUMBER", i + 1);
            s.setText("SL_CLIENT", owners[i]);
            s.setNumber("SL_HOURS", 0.25 * (i + 1));
            s.post();
        }
    }
    clients.reset();
    auto exclusive = dbf::Table::open(root / "CLIENTS.DBF", dbf::OpenMode::Exclusive);
    exclusive->addTag("NAME", "NAME");
    exclusive->addTag("RATE", "RATE");
    exclusive = dbf::Table::open(root / "SLIPS.DBF", dbf::OpenMode::Exclusive);
    exclusive->addTag("CLIENT", "SL_CLIENT");
}

QStringList events(Dataset &d, QStringList *log)
{
    QObject::connect(&d, &Dataset::stateChanged, [log](Dataset::State s) {
        const char *names[] = { "inactive", "browse", "edit", "insert" };
        *log << QStringLiteral("state:") + names[int(s)];
    });
    QObject::connect(&d, &Dataset::aboutToPost, [log] { *log << "aboutToPost"; });
    QObject::connect(&d, &Dataset::afterPost, [log] { *log << "afterPost"; });
    QObject::connect(&d, &Dataset::afterCancel, [log] { *log << "afterCancel"; });
    QObject::connect(&d, &Dataset::afterScroll, [log] { *log << "afterScroll"; });
    d.BeforePost = [log](Dataset &) { *log << "beforePost"; };
    return *log;
}

QString nameOnDisk(const QTemporaryDir &dir, dbf::RecNo recNo)
{
    auto t = openTable(dir, "CLIENTS.DBF");
    dbf::Cursor c(*t);
    c.gotoRecNo(recNo);
    return QString::fromStdString(c.text("NAME"));
}

} // namespace

class EngineDatasetTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void autoEditPostAndCancelReachTheFile();
    void autoEditOffRefusesTyping();
    void lockedRecordAndRefusedNumberKeepTheState();
    void valuesOfEveryFieldType();
    void editShowsWhatAnotherProgramWrote();
    void indexTagOrdersFindsAndRanges();
    void detailFollowsItsMaster_data();
    void detailFollowsItsMaster();
    void groupShowsAnotherDatasetsPost();
    void gridModelOverATable();
    void cursorScopeRestoresOnEveryPath_data();
    void cursorScopeRestoresOnEveryPath();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void EngineDatasetTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    makeTables(*m_dir);
}

void EngineDatasetTest::autoEditPostAndCancelReachTheFile()
{
    Dataset d("clients");
    d.open(std::make_unique<EngineCursor>(openTable(*m_dir, "CLIENTS.DBF")));
    QStringList log;
    events(d, &log);
    QCOMPARE(d.recordCount(), std::size_t(3));
    QCOMPARE(d.text("NAME"), QString("Baker"));

    QVERIFY(d.canModify());
    d.setValue("NAME", QStringLiteral("Baxter"));
    QCOMPARE(d.state(), Dataset::State::Edit);
    QCOMPARE(nameOnDisk(*m_dir, 1), QString("Baker"));
    d.post();
    QCOMPARE(log,
        QStringList({ "state:edit", "aboutToPost", "beforePost", "state:browse", "afterPost" }));
    QCOMPARE(nameOnDisk(*m_dir, 1), QString("Baxter"));

    log.clear();
    d.next();
    d.setValue("NAME", QStringLiteral("Abbott"));
    d.cancel();
    QCOMPARE(log, QStringList({ "afterScroll", "state:edit", "state:browse", "afterCancel" }));
    QCOMPARE(d.text("NAME"), QString("Adams"));
    QCOMPARE(nameOnDisk(*m_dir, 2), QString("Adams"));

    // An insert posts a new record; moving away from a changed record posts it.
    d.insert();
    d.setValue("NUMBER", QStringLiteral("1004"));
    d.setValue("NAME", QStringLiteral("Dunn"));
    d.first();
    QCOMPARE(d.state(), Dataset::State::Browse);
    QCOMPARE(d.recordCount(), std::size_t(4));
    QCOMPARE(nameOnDisk(*m_dir, 4), QString("Dunn"));
}

void EngineDatasetTest::autoEditOffRefusesTyping()
{
    Dataset d("clients");
    d.open(std::make_unique<EngineCursor>(openTable(*m_dir, "CLIENTS.DBF")));
    d.setAutoEdit(false);
    QVERIFY(!d.canModify());
    d.edit();
    QVERIFY(d.canModify());
    d.setValue("NAME", QStringLiteral("Bakerly"));
    d.post();
    QCOMPARE(nameOnDisk(*m_dir, 1), QString("Bakerly"));
    QVERIFY(!d.canModify());
}

void EngineDatasetTest::lockedRecordAndRefusedNumberKeepTheState()
{
    // Another program (here: another Table object) holds record 1.
    auto other = openTable(*m_dir, "CLIENTS.DBF");
    dbf::Cursor holder(*other);
    holder.edit();

    Dataset d("clients");
    d.open(std::make_unique<EngineCursor>(openTable(*m_dir, "CLIENTS.DBF")));
    QVERIFY_THROWS_EXCEPTION(dbf::RecordLocked, d.edit());
    QCOMPARE(d.state(), Dataset::State::Browse);
    holder.cancel();
    d.edit();
    QCOMPARE(d.state(), Dataset::State::Edit);

    // A number too wide for its field is refused and the field keeps its value.
    QVERIFY_THROWS_EXCEPTION(dbf::Error, d.setValue("RATE", 123456789.0));
    QVERIFY_THROWS_EXCEPTION(dbf::Error, d.setValue("RATE", QStringLiteral("12x")));
    QCOMPARE(d.value("RATE").toDouble(), 95.5);
    QCOMPARE(d.state(), Dataset::State::Edit);
    d.cancel();
    // The lock is released: another program can edit now.
    holder.edit();
    holder.cancel();
}

void EngineDatasetTest::editShowsWhatAnotherProgramWrote()
{
    Dataset d("clients");
    d.open(std::make_unique<EngineCursor>(openTable(*m_dir, "CLIENTS.DBF")));
    QWidget window;
    auto *number = new DbEdit(&window);
    number->bind(&d, "NUMBER");
    auto *name = new DbEdit(&window);
    name->bind(&d, "NAME");
    window.show();

    // Another program changes the record shown, then the user types into the name.
    auto other = openTable(*m_dir, "CLIENTS.DBF");
    {
        dbf::Cursor c(*other);
        c.edit();
        c.setText("NUMBER", "1101");
        c.post();
    }
    QCOMPARE(number->text(), QString("1001"));
    name->setFocus();
    name->end(false);
    QTest::keyClicks(name, "s");
    QCOMPARE(number->text(), QString("1101"));
    QCOMPARE(name->text(), QString("Bakers"));
    d.post();
    QCOMPARE(nameOnDisk(*m_dir, 1), QString("Bakers"));
    QCOMPARE(d.text("NUMBER"), QString("1101"));

    // Another program deletes the record shown: the edit is refused and the dataset and its
    // widgets stand on the following record.
    d.next();
    {
        dbf::Cursor c(*other);
        QVERIFY(c.gotoRecNo(2));
        c.remove();
    }
    QCOMPARE(number->text(), QString("1002"));
    QVERIFY_THROWS_EXCEPTION(dbf::Error, d.edit());
    QCOMPARE(d.state(), Dataset::State::Browse);
    QCOMPARE(number->text(), QString("1003"));
    QCOMPARE(name->text(), QString("Carter"));
}

void EngineDatasetTest::valuesOfEveryFieldType()
{
    Dataset d("clients");
    d.open(std::make_unique<EngineCursor>(openTable(*m_dir, "CLIENTS.DBF")));
    // Blank fields read as the documented nulls.
    QVERIFY(d.value("OPENED").toDate().isNull());
    QVERIFY(d.value("TAXABLE").isNull());
    QCOMPARE(d.value("NOTES").toString(), QString());

    d.setValue("OPENED", QDate(1999, 12, 31));
    d.setValue("TAXABLE", QStringLiteral("Y"));
    d.setValue("NOTES", QStringLiteral("Long memo text, caf\u00e9 included"));
    d.setValue("NAME", QStringLiteral("M\u00fcller"));
    d.setValue("RATE", QStringLiteral(" "));
    d.post();

    auto t = openTable(*m_dir, "CLIENTS.DBF");
    dbf::Cursor c(*t);
    QCOMPARE(c.date("OPENED"), dbf::Date(1999, 12, 31));
    QVERIFY(c.logical("TAXABLE"));
    QVERIFY(c.isBlank("RATE"));
    QCOMPARE(c.memo("NOTES"), std::string("Long memo text, caf\xe9 included"));

    d.refresh();
    QCOMPARE(d.value("OPENED").toDate(), QDate(1999, 12, 31));
    QCOMPARE(d.value("TAXABLE").toBool(), true);
    QVERIFY(d.value("RATE").isNull());
    QCOMPARE(d.text("NAME"), QString("M\u00fcller"));
    QCOMPARE(d.text("NOTES"), QString("Long memo text, caf\u00e9 included"));

    d.setValue("OPENED", QDate());
    d.setValue("TAXABLE", false);
    d.post();
    QVERIFY(d.value("OPENED").toDate().isNull());
    QCOMPARE(d.value("TAXABLE").toBool(), false);
    QVERIFY(!d.value("TAXABLE").isNull());
}

void EngineDatasetTest::indexTagOrdersFindsAndRanges()
{
    Dataset d("clients");
    d.open(std::make_unique<EngineCursor>(openTable(*m_dir, "CLIENTS.DBF")));
    d.setTag("name");
    QCOMPARE(d.text("NAME"), QString("Adams"));
    DatasetTableModel model(&d, { { "NAME", "Name", 20, false, DisplayFormat::Default } });
    QCOMPARE(model.index(1, 0).data().toString(), QString("Baker"));
    QCOMPARE(model.index(2, 0).data().toString(), QString("Carter"));

    QVERIFY(d.findKey({ QStringLiteral("Carter") }));
    QCOMPARE(model.currentRow(), 2);
    QVERIFY(!d.findKey({ QStringLiteral("Bakerly") }));
    QCOMPARE(d.text("NAME"), QString("Carter"));
    d.findNearest({ QStringLiteral("Bb") });
    QCOMPARE(d.text("NAME"), QString("Carter"));

    // An edit moves the record in the order; the grid follows.
    d.findKey({ QStringLiteral("Adams") });
    d.setValue("NAME", QStringLiteral("Zimmer"));
    d.post();
    QCOMPARE(model.index(2, 0).data().toString(), QString("Zimmer"));
    QCOMPARE(model.currentRow(), 2);

    d.setRange({ QStringLiteral("Baker") }, { QStringLiteral("Carter") });
    QCOMPARE(d.recordCount(), std::size_t(2));
    QCOMPARE(model.rowCount(), 2);
    d.cancelRange();
    QCOMPARE(d.recordCount(), std::size_t(3));

    // A numeric tag takes numbers as keys.
    d.first();
    d.setValue("RATE", 120.0);
    d.post();
    d.setTag("RATE");
    QCOMPARE(d.text("NAME"), QString("Zimmer")); // 95.50 twice, in record order, then 120.00
    QVERIFY(d.findKey({ 120.0 }));
    QCOMPARE(d.text("NAME"), QString("Baker"));
}

void EngineDatasetTest::detailFollowsItsMaster_data()
{
    QTest::addColumn<bool>("indexTag");
    QTest::newRow("tag of the index") << true;
    QTest::newRow("key fields without an index tag") << false;
}

void EngineDatasetTest::detailFollowsItsMaster()
{
    QFETCH(bool, indexTag);
    Dataset clients("clients");
    clients.open(std::make_unique<EngineCursor>(openTable(*m_dir, "CLIENTS.DBF")));
    auto slipCursor = std::make_unique<EngineCursor>(openTable(*m_dir, "SLIPS.DBF"));
    slipCursor->defineTag("BYCLIENT", { "SL_CLIENT" });
    Dataset slips("slips");
    slips.open(std::move(slipCursor));
    slips.setTag(indexTag ? "CLIENT" : "BYCLIENT");
    QCOMPARE(static_cast<EngineCursor *>(slips.cursor())->engine().tag(),
        std::string(indexTag ? "CLIENT" : ""));
    slips.setMaster(&clients, { "NUMBER" });

    auto numbers = [&slips] {
        QList<int> n;
        for (slips.first(); !slips.eof(); slips.next())
            n << slips.value("SL_NUMBER").toInt();
        return n;
    };
    QCOMPARE(slips.recordCount(), std::size_t(2));
    QCOMPARE(numbers(), QList<int>({ 2, 6 }));
    clients.next();
    QCOMPARE(slips.text("SL_CLIENT"), QString("1002"));
    QCOMPARE(numbers(), QList<int>({ 1, 3, 5 }));
    clients.last();
    QCOMPARE(numbers(), QList<int>({ 4 }));
    QCOMPARE(slips.value("SL_NUMBER").toInt(), 4);

    // A new slip of this client shows under it; a client without slips shows none.
    slips.insert();
    slips.setValue("SL_NUMBER", 7);
    slips.setValue("SL_CLIENT", clients.value("NUMBER"));
    slips.post();
    QCOMPARE(numbers(), QList<int>({ 4, 7 }));
    clients.insert();
    clients.setValue("NUMBER", QStringLiteral("1009"));
    QCOMPARE(slips.recordCount(), std::size_t(0));
    QVERIFY(slips.eof());
    clients.cancel();
    QCOMPARE(numbers(), QList<int>({ 4, 7 }));

    // Finding a key inside the range and outside it.
    QVERIFY(slips.findKey({ QStringLiteral("1003") }));
    QVERIFY(!slips.findKey({ QStringLiteral("1001") }));
}

void EngineDatasetTest::groupShowsAnotherDatasetsPost()
{
    auto table = openTable(*m_dir, "CLIENTS.DBF");
    DatasetGroup group;
    Dataset a("a"), b("b");
    group.add(&a);
    group.add(&b);
    a.open(std::make_unique<EngineCursor>(table));
    // The same file through its own Table, named as the program names tables.
    b.open(EngineCursor::open(m_dir->path().toStdString(), "clients"));
    a.setValue("NAME", QStringLiteral("Barker"));
    QCOMPARE(b.text("NAME"), QString("Baker"));
    a.post();
    QCOMPARE(b.text("NAME"), QString("Barker"));
}

void EngineDatasetTest::gridModelOverATable()
{
    auto slipsTable = openTable(*m_dir, "SLIPS.DBF");
    {
        dbf::Cursor s(*slipsTable);
        for (int i = 7; i <= 3000; ++i) {
            s.append();
            s.setInteger("SL_NUMBER", i);
            s.setText("SL_CLIENT", i % 2 ? "1001" : "1003");
            s.post();
        }
    }
    auto cursor = std::make_unique<EngineCursor>(slipsTable);
    cursor->defineTag("CLIENT", { "SL_CLIENT" });
    Dataset slips("slips");
    slips.open(std::move(cursor));
    DatasetTableModel model(&slips,
        { { "SL_NUMBER", "Slip", 8, false, DisplayFormat::Default },
            { "SL_CLIENT", "Client", 6, false, DisplayFormat::Default },
            { "SL_HOURS", "Hours", 6, false, DisplayFormat::Hours } },
        nullptr, 64);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 3000);
    QCOMPARE(model.index(2999, 0).data().toString(), QString("3000"));
    QCOMPARE(model.index(2998, 0).data().toString(), QString("2999"));
    QCOMPARE(model.index(0, 2).data().toString(), QString("0.25"));
    QCOMPARE(model.rowsRead(), 3);

    slips.setTag("CLIENT");
    slips.setRange({ QStringLiteral("1003") }, { QStringLiteral("1003") });
    QCOMPARE(model.rowCount(), 1 + 1497);
    QCOMPARE(model.index(0, 0).data().toString(), QString("4"));
    QCOMPARE(model.index(1, 0).data().toString(), QString("8"));
    QVERIFY(model.moveDatasetTo(1));
    QCOMPARE(slips.value("SL_NUMBER").toInt(), 8);
    QCOMPARE(model.currentRow(), 1);
}

void EngineDatasetTest::cursorScopeRestoresOnEveryPath_data()
{
    QTest::addColumn<int>("path");
    QTest::newRow("run finished") << 0;
    QTest::newRow("engine error thrown mid-run") << 1;
    QTest::newRow("run left a record in edit") << 2;
}

// A run borrows the client and slip datasets (another tag, a range, the detail detached, a
// record held in edit) and ends one of three ways; afterwards both stand as before and the held
// record is free for another program.
void EngineDatasetTest::cursorScopeRestoresOnEveryPath()
{
    QFETCH(int, path);
    Dataset clients("clients");
    clients.open(std::make_unique<EngineCursor>(openTable(*m_dir, "CLIENTS.DBF")));
    Dataset slips("slips");
    slips.open(std::make_unique<EngineCursor>(openTable(*m_dir, "SLIPS.DBF")));
    slips.setTag("CLIENT");
    slips.setMaster(&clients, { "NUMBER" });
    clients.setTag("NAME");
    clients.setRange({ QStringLiteral("Adams") }, { QStringLiteral("Baker") });
    clients.last(); // Baker, 1001: slips 2 and 6
    slips.last();
    QCOMPARE(slips.value("SL_NUMBER").toInt(), 6);
    int recordSignals = 0;
    connect(&clients, &Dataset::recordChanged, this, [&] { ++recordSignals; });

    try {
        CursorScope slipScope(slips, CursorScope::Freeze | CursorScope::DetachMaster);
        CursorScope clientScope(clients);
        QVERIFY(!slips.master());
        clients.cancelRange();
        clients.setTag("RATE");
        clients.first();
        slips.cancelRange();
        slips.first();
        clients.edit(); // holds a client record as finalization does
        QCOMPARE(recordSignals, 0);
        if (path == 1)
            throw dbf::Error("Record locked by another program.");
        if (path == 2)
            clients.setValue("NAME", QStringLiteral("Changed"));
    } catch (const dbf::Error &) {
    }

    QVERIFY(recordSignals > 0); // thawed, views told once
    QVERIFY(!clients.isEditing());
    QCOMPARE(clients.tag(), QString("NAME"));
    QVERIFY(clients.hasRange());
    QCOMPARE(clients.recordCount(), std::size_t(2));
    QCOMPARE(clients.text("NAME"), QString("Baker"));
    QCOMPARE(slips.master(), &clients);
    QCOMPARE(slips.recordCount(), std::size_t(2));
    QCOMPARE(slips.value("SL_NUMBER").toInt(), 6);
    // Nothing of the run's edit reached the file, and its lock is gone.
    Dataset other("other");
    other.open(EngineCursor::open(m_dir->path().toStdString(), "clients"));
    for (other.first(); !other.eof(); other.next()) {
        QVERIFY(other.text("NAME") != QString("Changed"));
        other.edit(); // throws while any record is still held
        other.cancel();
    }
}

QTEST_MAIN(EngineDatasetTest)
#include "engine_dataset_test.moc"
