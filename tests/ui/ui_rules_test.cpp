// Rules of the UI layer that need no display: placement values, typed dates, locate matching,
// the scripted message double and the action runner.
#include <stdexcept>

#include <QTest>

#include "dbf/errors.h"
#include "ui/action.h"
#include "ui/date_text.h"
#include "ui/input_dialog_mode.h"
#include "ui/locate_match.h"
#include "ui/placement_record.h"
#include "ui/scripted_messages.h"

using namespace ui;

class UiRulesTest : public QObject
{
    Q_OBJECT
private slots:
    void placementParse_data();
    void placementParse();
    void placementFormatCutsToFortyAndReadsBack();
    void dateParse_data();
    void dateParse();
    void locate_data();
    void locate();
    void scriptedMessagesRecordAndAnswer();
    void runActionShowsTheEngineMessage();
    void inputDialogModes();
};

void UiRulesTest::placementParse_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QList<int>>("numbers");

    QTest::newRow("typical") << "0,1,-1,-1,-1,-1,156,96,791,544" << true
                             << QList<int>{ 0, 1, -1, -1, -1, -1, 156, 96, 791, 544 };
    QTest::newRow("maximised") << "0,3,-1,-1,-1,-1,10,20,610,420" << true
                               << QList<int>{ 0, 3, -1, -1, -1, -1, 10, 20, 610, 420 };
    // 44 characters: only the first 40 count, so the last number reads "1"
    QTest::newRow("cut at forty") << "2,2,-32000,-32000,-1,-1,-1200,-800,100,1080" << true
                                  << QList<int>{ 2, 2, -32000, -32000, -1, -1, -1200, -800, 100,
                                         1 };
    QTest::newRow("tenth cut to ten characters")
        << "0,1,0,0,0,0,1,1,2,12345678901" << true
        << QList<int>{ 0, 1, 0, 0, 0, 0, 1, 1, 2, 1234567890 };
    QTest::newRow("blanks around numbers") << "0, 1,-1,-1,-1,-1, 5,5,50 ,50" << true
                                           << QList<int>{ 0, 1, -1, -1, -1, -1, 5, 5, 50, 50 };
    QTest::newRow("empty") << "" << false << QList<int>{};
    QTest::newRow("empty rectangle") << "0,1,-1,-1,-1,-1,100,96,100,544" << false << QList<int>{};
    QTest::newRow("inverted rectangle")
        << "0,1,-1,-1,-1,-1,791,96,156,544" << false << QList<int>{};
    QTest::newRow("inverted vertically")
        << "0,1,-1,-1,-1,-1,156,544,791,96" << false << QList<int>{};
    QTest::newRow("not a number") << "0,1,-1,-1,-1,-1,abc,96,791,544" << false << QList<int>{};
    QTest::newRow("number with junk") << "0,1,-1,-1,-1,-1,15x,96,791,544" << false << QList<int>{};
    QTest::newRow("too few numbers") << "0,1,156,96,791,544" << false << QList<int>{};
    QTest::newRow("cut after the ninth comma")
        << "0,1,-100000,-100000,-1,-1,1000,1000,99999,5" << false << QList<int>{};
}

void UiRulesTest::placementParse()
{
    QFETCH(QString, stored);
    QFETCH(bool, accepted);
    QFETCH(QList<int>, numbers);
    const auto r = PlacementRecord::parse(stored.toStdString());
    QCOMPARE(r.has_value(), accepted);
    if (r) {
        const QList<int> got{ r->flags, r->showState, r->minX, r->minY, r->maxX, r->maxY, r->left,
            r->top, r->right, r->bottom };
        QCOMPARE(got, numbers);
    }
}

void UiRulesTest::placementFormatCutsToFortyAndReadsBack()
{
    PlacementRecord typical{ 0, 1, -1, -1, -1, -1, 156, 96, 791, 544 };
    QCOMPARE(typical.format(), std::string("0,1,-1,-1,-1,-1,156,96,791,544"));
    QCOMPARE(PlacementRecord::parse(typical.format()), std::optional(typical));

    PlacementRecord wide{ 2, 2, -32000, -32000, -1, -1, -1200, -800, 100, 1080 };
    const std::string stored = wide.format();
    QCOMPARE(stored.size(), std::size_t(40));
    QCOMPARE(stored, std::string("2,2,-32000,-32000,-1,-1,-1200,-800,100,1"));
    PlacementRecord cut = wide;
    cut.bottom = 1;
    QCOMPARE(PlacementRecord::parse(stored), std::optional(cut));
}

void UiRulesTest::dateParse_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("status");
    QTest::addColumn<QDate>("date");
    const int blank = int(DateText::Status::Blank), valid = int(DateText::Status::Valid),
              invalid = int(DateText::Status::Invalid);
    QTest::newRow("four-digit year") << "12/31/1999" << valid << QDate(1999, 12, 31);
    QTest::newRow("49 is 2049") << "1/2/49" << valid << QDate(2049, 1, 2);
    QTest::newRow("50 is 1950") << "1/2/50" << valid << QDate(1950, 1, 2);
    QTest::newRow("99 is 1999") << "03-04-99" << valid << QDate(1999, 3, 4);
    QTest::newRow("00 is 2000") << "2.29.00" << valid << QDate(2000, 2, 29);
    QTest::newRow("one-digit year") << "7/4/5" << valid << QDate(2005, 7, 4);
    QTest::newRow("six digits") << "070476" << valid << QDate(1976, 7, 4);
    QTest::newRow("eight digits") << "07041776" << valid << QDate(1776, 7, 4);
    QTest::newRow("blanks around") << "  7/4/2024 " << valid << QDate(2024, 7, 4);
    QTest::newRow("blank") << "   " << blank << QDate();
    QTest::newRow("empty") << "" << blank << QDate();
    QTest::newRow("no leap day") << "2/29/1900" << invalid << QDate();
    QTest::newRow("month 13") << "13/1/2020" << invalid << QDate();
    QTest::newRow("day 0") << "1/0/2020" << invalid << QDate();
    QTest::newRow("three-digit year") << "1/1/202" << invalid << QDate();
    QTest::newRow("letters") << "Jan/1/2020" << invalid << QDate();
    QTest::newRow("two parts") << "1/2" << invalid << QDate();
    QTest::newRow("seven digits") << "1234567" << invalid << QDate();
}

void UiRulesTest::dateParse()
{
    QFETCH(QString, typed);
    QFETCH(int, status);
    QFETCH(QDate, date);
    const DateText::Parsed p = DateText::parse(typed);
    QCOMPARE(int(p.status), status);
    QCOMPARE(p.date, date);
    if (p.status == DateText::Status::Valid)
        QCOMPARE(DateText::parse(DateText::format(p.date)).date, date);
}

void UiRulesTest::locate_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<bool>("matches");
    const int exact = int(LocateSearchType::ExactMatch),
              begin = int(LocateSearchType::PartialAtBeginning),
              anywhere = int(LocateSearchType::PartialAnywhere);
    QTest::newRow("exact, padded field") << "Smith & Co    "
                                         << "smith & co" << exact << false << true;
    QTest::newRow("exact, case-sensitive") << "Smith & Co"
                                           << "smith & co" << exact << true << false;
    QTest::newRow("exact is not a prefix") << "Smithers"
                                           << "Smith" << exact << false << false;
    QTest::newRow("beginning") << "Smithers"
                               << "smi" << begin << false << true;
    QTest::newRow("beginning, case-sensitive miss") << "Smithers"
                                                    << "smi" << begin << true << false;
    QTest::newRow("beginning is not anywhere") << "Goldsmith"
                                               << "smith" << begin << false << false;
    QTest::newRow("anywhere") << "Goldsmith"
                              << "SMITH" << anywhere << false << true;
    QTest::newRow("anywhere, case-sensitive") << "Goldsmith"
                                              << "Smith" << anywhere << true << false;
    QTest::newRow("leading blank of value kept") << "Gold smith"
                                                 << " smith" << anywhere << false << true;
    QTest::newRow("empty value, exact on blank") << "   "
                                                 << "" << exact << false << true;
    QTest::newRow("empty value, exact on text") << "A"
                                                << "" << exact << false << false;
    QTest::newRow("empty value, beginning") << "A"
                                            << "" << begin << false << true;
}

void UiRulesTest::locate()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(int, type);
    QFETCH(bool, caseSensitive);
    QFETCH(bool, matches);
    QCOMPARE(locateMatches(field, value, LocateSearchType(type), caseSensitive), matches);
}

void UiRulesTest::scriptedMessagesRecordAndAnswer()
{
    ScriptedMessages m;
    m.enqueue(MessageAnswer::No);
    QCOMPARE(
        m.confirm(QStringLiteral("Delete Smith?"), MessageButtons::OkCancel), MessageAnswer::No);
    QCOMPARE(m.unscripted(), 0);
    m.information(QStringLiteral("Saved.  Done."), QStringLiteral("Welcome to Tarnwick"));
    QCOMPARE(m.confirm(QStringLiteral("Save?"), MessageButtons::YesNoCancel), MessageAnswer::Yes);
    QCOMPARE(m.unscripted(), 2);
    QCOMPARE(m.texts(), (QStringList{ "Delete Smith?", "Saved.  Done.", "Save?" }));
    QCOMPARE(m.shown()[0].caption, QStringLiteral("Confirm"));
    QCOMPARE(m.shown()[1].caption, QStringLiteral("Welcome to Tarnwick"));
    QCOMPARE(int(m.shown()[1].kind), int(MessageKind::Information));
    QCOMPARE(int(Messages::escapeAnswer(MessageButtons::YesNo)), int(MessageAnswer::No));
    QCOMPARE(int(Messages::escapeAnswer(MessageButtons::Ok)), int(MessageAnswer::Ok));
}

void UiRulesTest::runActionShowsTheEngineMessage()
{
    ScriptedMessages m;
    bool after = false;
    QVERIFY(!runAction(m, [&] {
        throw dbf::RecordLocked("TWCLIENT");
        after = true;
    }));
    QVERIFY(!after);
    QVERIFY(!runAction(m, [] { throw std::runtime_error("disk full"); }));
    QVERIFY(!runAction(m, [] { throw 42; }));
    QVERIFY(runAction(m, [&] { after = true; }));
    QVERIFY(after);
    QCOMPARE(m.texts(),
        (QStringList{
            "Record locked by another user: TWCLIENT.", "disk full", "The operation failed." }));
    QCOMPARE(int(m.shown()[0].kind), int(MessageKind::Error));
}

void UiRulesTest::inputDialogModes()
{
    struct Case
    {
        InputDialogMode mode;
        const char *caption, *prompt;
        int maxLength;
        const char *typed, *code;
    } cases[] = {
        { InputDialogMode::Staff, "Add New Staff", "Enter Staff Initials:", 3, "abcd", "ABC" },
        { InputDialogMode::Project, "Add New Project", "Enter Project Code:", 10, "proj-1 x",
            "PROJ-1 X" },
        { InputDialogMode::Activity, "Add New Activity", "Enter Activity Code:", 10,
            "research and more", "RESEARCH A" },
    };
    for (const Case &c : cases) {
        const InputDialogLook look = inputDialogLook(c.mode);
        QCOMPARE(look.caption, QString::fromLatin1(c.caption));
        QCOMPARE(look.prompt, QString::fromLatin1(c.prompt));
        QCOMPARE(look.maxLength, c.maxLength);
        QCOMPARE(normalizeCode(QString::fromLatin1(c.typed), c.mode), QString::fromLatin1(c.code));
    }
}

QTEST_GUILESS_MAIN(UiRulesTest)
#include "ui_rules_test.moc"
