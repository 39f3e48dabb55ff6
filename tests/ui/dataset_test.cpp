// The dataset state machine, events, master-detail links and shared-table refresh, over an
// in-memory cursor that can refuse edits (locks) and posts (unique key).
#include <QSignalSpy>
#include <QTest>

#include "memory_cursor.h"
#include "ui/action.h"
#include "ui/dataset.h"
#include "ui/scripted_messages.h"

using namespace ui;
using testing_ui::MemoryCursor;
using testing_ui::MemoryTable;

namespace {

std::shared_ptr<MemoryTable> clients()
{
    auto t = std::make_shared<MemoryTable>(std::vector<dbf::FieldDef>{
        { "NUMBER", dbf::FieldType::Character, 6, 0 },
        { "NAME", dbf::FieldType::Character, 30, 0 },
        { "CYCLE", dbf::FieldType::Numeric, 2, 0 },
    });
    t->add({ "1001", "Baker", 1.0 });
    t->add({ "1002", "Adams", 2.0 });
    t->add({ "1003", "Carter", 1.0 });
    t->uniqueField = 0;
    return t;
}

std::shared_ptr<MemoryTable> slips()
{
    auto t = std::make_shared<MemoryTable>(std::vector<dbf::FieldDef>{
        { "SL_NUMBER", dbf::FieldType::Numeric, 8, 0 },
        { "SL_CLIENT", dbf::FieldType::Character, 6, 0 },
    });
    t->add({ 1.0, "1002" });
    t->add({ 2.0, "1001" });
    t->add({ 3.0, "1002" });
    t->add({ 4.0, "1003" });
    t->add({ 5.0, "1002" });
    return t;
}

// Records the dataset's events as short words, in the order they come.
struct EventLog
{
    QStringList events;
    explicit EventLog(Dataset &d)
    {
        QObject::connect(&d, &Dataset::stateChanged, [this](Dataset::State s) {
            const char *names[] = { "inactive", "browse", "edit", "insert" };
            events << QStringLiteral("state:") + names[int(s)];
        });
        QObject::connect(&d, &Dataset::aboutToPost, [this] { events << "aboutToPost"; });
        QObject::connect(&d, &Dataset::afterPost, [this] { events << "afterPost"; });
        QObject::connect(&d, &Dataset::afterCancel, [this] { events << "afterCancel"; });
        QObject::connect(&d, &Dataset::afterScroll, [this] { events << "afterScroll"; });
        QObject::connect(
            &d, &Dataset::dataChanged, [this](const QString &f) { events << "data:" + f; });
        d.BeforePost = [this](Dataset &) { events << "beforePost"; };
    }
};

} // namespace

class DatasetTest : public QObject
{
    Q_OBJECT
private slots:
    void autoEditPostAndCancelSendEventsInOrder();
    void autoEditOffLeavesBrowseUntilEdit();
    void refusedPostKeepsTheEdit();
    void movingWhileEditingPostsOrCancels();
    void lockedRecordStaysInBrowse();
    void removeStandsOnTheFollowingRecord();
    void freezeHoldsDisplaySignalsUntilThaw();
    void detailFollowsItsMaster();
    void groupRereadsOtherDatasetsOfTheSameTable();
    void bookmarksAndEmptyTable();
};

void DatasetTest::autoEditPostAndCancelSendEventsInOrder()
{
    auto table = clients();
    Dataset d(QStringLiteral("ClientTable"));
    d.open(std::make_unique<MemoryCursor>(table));
    EventLog log(d);
    QVERIFY(d.canModify());
    d.setValue(QStringLiteral("name"), QStringLiteral("Baker & Sons"));
    QCOMPARE(d.state(), Dataset::State::Edit);
    QVERIFY(d.isModified());
    d.post();
    QCOMPARE(log.events,
        (QStringList{ "state:edit", "data:NAME", "aboutToPost", "beforePost", "state:browse",
            "afterPost", "data:" }));
    QCOMPARE(table->rows[0].values[1].toString(), QStringLiteral("Baker & Sons"));
    QCOMPARE(table->flushes, 1);
    QVERIFY(table->locked.empty());

    log.events.clear();
    d.setValue(QStringLiteral("NAME"), QStringLiteral("Wrong"));
    d.cancel();
    QCOMPARE(d.text(QStringLiteral("NAME")), QStringLiteral("Baker & Sons"));
    QCOMPARE(log.events,
        (QStringList{ "state:edit", "data:NAME", "state:browse", "afterCancel", "data:" }));
    QVERIFY(table->locked.empty());

    log.events.clear();
    d.OnNewRecord = [](Dataset &ds) { ds.setValue(QStringLiteral("CYCLE"), 1.0); };
    d.insert();
    QCOMPARE(d.state(), Dataset::State::Insert);
    QCOMPARE(d.value(QStringLiteral("CYCLE")).toDouble(), 1.0);
    d.setValue(QStringLiteral("NUMBER"), QStringLiteral("1004"));
    d.post();
    QCOMPARE(d.recordCount(), std::size_t(4));
    QCOMPARE(d.text(QStringLiteral("NUMBER")), QStringLiteral("1004"));
    QCOMPARE(log.events.first(), QStringLiteral("state:insert"));
}

void DatasetTest::autoEditOffLeavesBrowseUntilEdit()
{
    Dataset d;
    d.open(std::make_unique<MemoryCursor>(clients()));
    d.setAutoEdit(false);
    QVERIFY(!d.canModify());
    d.edit();
    QVERIFY(d.canModify());
    QCOMPARE(d.state(), Dataset::State::Edit);
    d.cancel();
    d.setAutoEdit(true);
    QVERIFY(d.canModify());
}

void DatasetTest::refusedPostKeepsTheEdit()
{
    auto table = clients();
    Dataset d;
    d.open(std::make_unique<MemoryCursor>(table));
    ScriptedMessages messages;

    // The engine refuses a duplicate key: the insert stays open with its values.
    d.insert();
    d.setValue(QStringLiteral("NUMBER"), QStringLiteral("1002"));
    QVERIFY(!runAction(messages, [&] { d.post(); }));
    QCOMPARE(messages.lastText(), QStringLiteral("Key violation."));
    QCOMPARE(d.state(), Dataset::State::Insert);
    QCOMPARE(d.text(QStringLiteral("NUMBER")), QStringLiteral("1002"));
    d.setValue(QStringLiteral("NUMBER"), QStringLiteral("2000"));
    d.post();
    QCOMPARE(table->rows.size(), std::size_t(4));

    // BeforePost refuses silently.
    d.BeforePost = [](Dataset &ds) {
        if (ds.text(QStringLiteral("NAME")).isEmpty())
            throw AbortAction();
    };
    d.first();
    d.setValue(QStringLiteral("NAME"), QString());
    messages.clear();
    QVERIFY(!runAction(messages, [&] { d.post(); }));
    QVERIFY(messages.shown().isEmpty());
    QCOMPARE(d.state(), Dataset::State::Edit);
    QVERIFY(d.isModified());
    QCOMPARE(table->rows[0].values[1].toString(), QStringLiteral("Baker"));
}

void DatasetTest::movingWhileEditingPostsOrCancels()
{
    auto table = clients();
    Dataset d;
    d.open(std::make_unique<MemoryCursor>(table));
    d.edit(); // nothing changed: moving cancels
    d.next();
    QCOMPARE(d.state(), Dataset::State::Browse);
    QVERIFY(table->locked.empty());
    QCOMPARE(d.text(QStringLiteral("NUMBER")), QStringLiteral("1002"));
    d.setValue(QStringLiteral("NAME"), QStringLiteral("Adams Ltd"));
    d.next(); // changed: moving posts
    QCOMPARE(table->rows[1].values[1].toString(), QStringLiteral("Adams Ltd"));
    QCOMPARE(d.text(QStringLiteral("NUMBER")), QStringLiteral("1003"));
    d.next();
    QVERIFY(d.eof());
    QCOMPARE(d.text(QStringLiteral("NUMBER")), QStringLiteral("1003"));
    d.first();
    d.prior();
    QVERIFY(d.bof());
}

void DatasetTest::lockedRecordStaysInBrowse()
{
    auto table = clients();
    Dataset a, b;
    a.open(std::make_unique<MemoryCursor>(table));
    b.open(std::make_unique<MemoryCursor>(table));
    a.edit();
    ScriptedMessages messages;
    QVERIFY(!runAction(messages, [&] { b.setValue(QStringLiteral("NAME"), QStringLiteral("X")); }));
    QVERIFY(messages.lastText().startsWith(QStringLiteral("Record locked")));
    QCOMPARE(b.state(), Dataset::State::Browse);
    a.cancel();
    b.setValue(QStringLiteral("NAME"), QStringLiteral("X"));
    QCOMPARE(b.state(), Dataset::State::Edit);
}

void DatasetTest::removeStandsOnTheFollowingRecord()
{
    auto table = clients();
    Dataset d;
    d.open(std::make_unique<MemoryCursor>(table));
    d.cursor()->setTag(QStringLiteral("NAME")); // Adams, Baker, Carter
    d.first();
    d.next();
    QSignalSpy rows(&d, &Dataset::rowsChanged);
    d.remove();
    QCOMPARE(d.text(QStringLiteral("NAME")), QStringLiteral("Carter"));
    QCOMPARE(d.recordCount(), std::size_t(2));
    QCOMPARE(rows.count(), 1);
    d.remove(); // the last one: stands on the one before
    QCOMPARE(d.text(QStringLiteral("NAME")), QStringLiteral("Adams"));
    d.insert();
    d.remove(); // an insert is only cancelled
    QCOMPARE(d.recordCount(), std::size_t(1));
}

void DatasetTest::freezeHoldsDisplaySignalsUntilThaw()
{
    Dataset d;
    d.open(std::make_unique<MemoryCursor>(clients()));
    QSignalSpy record(&d, &Dataset::recordChanged);
    QSignalSpy rows(&d, &Dataset::rowsChanged);
    QSignalSpy scroll(&d, &Dataset::afterScroll);
    d.disableControls();
    d.disableControls();
    d.next();
    d.setRange({ QStringLiteral("1002") }, { QStringLiteral("1003") });
    d.last();
    QCOMPARE(scroll.count(), 3);
    QCOMPARE(record.count(), 0);
    d.enableControls();
    QCOMPARE(record.count(), 0);
    d.enableControls();
    QCOMPARE(record.count(), 1);
    QCOMPARE(rows.count(), 1);
    d.enableControls(); // unbalanced: ignored
    QCOMPARE(record.count(), 1);
}

void DatasetTest::detailFollowsItsMaster()
{
    Dataset master, detail;
    master.open(std::make_unique<MemoryCursor>(clients()));
    auto cursor = std::make_unique<MemoryCursor>(slips());
    cursor->setTag(QStringLiteral("SL_CLIENT"));
    detail.open(std::move(cursor));
    detail.setMaster(&master, { QStringLiteral("NUMBER") });
    const auto slipNumbers = [&] {
        QList<int> n;
        for (detail.first(); !detail.eof() && detail.recordCount() > 0; detail.next())
            n << detail.value(QStringLiteral("SL_NUMBER")).toInt();
        return n;
    };
    QCOMPARE(slipNumbers(), QList<int>{ 2 });
    master.next();
    QCOMPARE(detail.recordCount(), std::size_t(3));
    QCOMPARE(slipNumbers(), (QList<int>{ 1, 3, 5 }));
    master.last();
    QCOMPARE(slipNumbers(), QList<int>{ 4 });
    master.setValue(QStringLiteral("NUMBER"), QStringLiteral("9999"));
    QCOMPARE(detail.recordCount(), std::size_t(0));
    master.cancel();
    QCOMPARE(slipNumbers(), QList<int>{ 4 });

    // A detail's pending edit is posted before its master moves; a refused post stops the move.
    master.first(); // client 1001: slip 2
    detail.setValue(QStringLiteral("SL_NUMBER"), 20);
    master.next();
    QCOMPARE(slipNumbers(), (QList<int>{ 1, 3, 5 }));
    master.prior();
    QCOMPARE(slipNumbers(), QList<int>{ 20 });
    detail.BeforePost = [](Dataset &) { throw dbf::KeyViolation(); };
    detail.setValue(QStringLiteral("SL_NUMBER"), 21);
    QVERIFY_THROWS_EXCEPTION(dbf::KeyViolation, master.next());
    QCOMPARE(master.value(QStringLiteral("NUMBER")).toString(), QString("1001"));
    QCOMPARE(detail.state(), Dataset::State::Edit);
    QCOMPARE(detail.value(QStringLiteral("SL_NUMBER")).toInt(), 21);
    // The master's key field changing under a refused detail edit: the detail stays, and says so.
    QSignalSpy failed(&detail, &Dataset::followFailed);
    master.setValue(QStringLiteral("NUMBER"), QStringLiteral("1002"));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(detail.state(), Dataset::State::Edit);
    master.cancel();
    detail.BeforePost = nullptr;
    detail.cancel();

    detail.clearMaster();
    master.first();
    QCOMPARE(slipNumbers(), QList<int>{ 20 });
}

void DatasetTest::groupRereadsOtherDatasetsOfTheSameTable()
{
    auto table = clients();
    DatasetGroup group;
    Dataset main, shadow, other;
    main.open(std::make_unique<MemoryCursor>(table));
    shadow.open(std::make_unique<MemoryCursor>(table));
    other.open(std::make_unique<MemoryCursor>(slips()));
    group.add(&main);
    group.add(&shadow);
    group.add(&other);
    QSignalSpy shadowRecord(&shadow, &Dataset::recordChanged);
    QSignalSpy otherRecord(&other, &Dataset::recordChanged);
    main.setValue(QStringLiteral("NAME"), QStringLiteral("Baker Bros"));
    QCOMPARE(shadowRecord.count(), 0);
    main.post();
    QCOMPARE(shadowRecord.count(), 1);
    QCOMPARE(otherRecord.count(), 0);
    QCOMPARE(shadow.text(QStringLiteral("NAME")), QStringLiteral("Baker Bros"));
    main.remove();
    QCOMPARE(shadow.recordCount(), std::size_t(2));
    QCOMPARE(shadow.text(QStringLiteral("NUMBER")), QStringLiteral("1002"));
}

void DatasetTest::bookmarksAndEmptyTable()
{
    auto table = clients();
    Dataset d;
    d.open(std::make_unique<MemoryCursor>(table));
    d.next();
    const Dataset::Bookmark mark = d.bookmark();
    d.last();
    QVERIFY(d.gotoBookmark(mark));
    QCOMPARE(d.text(QStringLiteral("NUMBER")), QStringLiteral("1002"));
    d.remove();
    QVERIFY(!d.gotoBookmark(mark));
    QVERIFY(!d.gotoBookmark({}));

    auto empty = std::make_shared<MemoryTable>(
        std::vector<dbf::FieldDef>{ { "NUMBER", dbf::FieldType::Character, 6, 0 } });
    Dataset e;
    e.open(std::make_unique<MemoryCursor>(empty));
    QVERIFY(e.isEmpty());
    QVERIFY(e.eof() && e.bof());
    QVERIFY(!e.canModify()); // nothing to edit: typing does not start an edit
    QVERIFY(e.value(QStringLiteral("NUMBER")).isNull());
    e.edit(); // an edit of an empty table inserts
    QCOMPARE(e.state(), Dataset::State::Insert);
    e.setValue(QStringLiteral("NUMBER"), QStringLiteral("1"));
    e.post();
    QCOMPARE(e.recordCount(), std::size_t(1));
}

QTEST_GUILESS_MAIN(DatasetTest)
#include "dataset_test.moc"
