// Slip numbering from the NEXTSLIP counter, the stored form of slip dates, and two program
// copies numbering slips at the same moment.
#include <set>
#include <thread>
#include <vector>

#include <QDate>

#include "slip_data.h"
#include "time/slip_numbering.h"
#include <gtest/gtest.h>

using timecap::installSlipNumbering;
using timecap::storedSlipDate;
using timecap::takeNextSlipNumber;

namespace {

double counterOnDisk(const DatasetDir &data)
{
    ui::Dataset track;
    data.open(track, "TWTRACK");
    return track.value(QStringLiteral("NEXTSLIP")).toDouble();
}

TEST(SlipDates, YearsBefore1950MoveACenturyForward)
{
    const struct
    {
        QDate in, out;
    } cases[] = {
        { QDate(1924, 3, 15), QDate(2024, 3, 15) },
        { QDate(1949, 12, 31), QDate(2049, 12, 31) },
        { QDate(1950, 1, 1), QDate(1950, 1, 1) },
        { QDate(1999, 7, 4), QDate(1999, 7, 4) },
        { QDate(2026, 12, 10), QDate(2026, 12, 10) },
        { QDate(1900, 2, 28), QDate(2000, 2, 28) },
        { QDate(), QDate() },
    };
    for (const auto &c : cases)
        EXPECT_EQ(storedSlipDate(c.in), c.out) << c.in.toString(Qt::ISODate).toStdString();
}

TEST(SlipNumbering, NeverRepeatsANumberOnFileWhenTheCounterFellBehind)
{
    DatasetDir data;
    ui::Dataset slips, track;
    data.open(slips, "TWSLIP", QStringLiteral("SL_Client"));
    data.open(track, "TWTRACK");
    installSlipNumbering(slips, track, true);
    // Slips 1 and 7 are on file (restored from elsewhere) while the counter still says 2.
    for (double number : { 1.0, 7.0 }) {
        ui::Dataset raw;
        data.open(raw, "TWSLIP");
        addRow(raw, { { "SL_NUMBER", number }, { "SL_CLIENT", QStringLiteral("100") } });
    }
    track.setValue(QStringLiteral("NEXTSLIP"), 2.0);
    track.post();

    EXPECT_EQ(takeNextSlipNumber(track, slips), 8.0);
    EXPECT_EQ(counterOnDisk(data), 9.0);
    // The slip cursor's range and position are not disturbed by reading the highest number.
    slips.setRange({ QStringLiteral("100") }, { QStringLiteral("100") });
    slips.last();
    const double current = slips.value(QStringLiteral("SL_NUMBER")).toDouble();
    slips.insert();
    slips.setValue(QStringLiteral("SL_CLIENT"), QStringLiteral("100"));
    slips.setValue(QStringLiteral("SL_ACT"), QStringLiteral("A"));
    slips.post();
    EXPECT_EQ(slips.value(QStringLiteral("SL_NUMBER")).toDouble(), 9.0);
    EXPECT_EQ(current, 7.0);
    EXPECT_EQ(slips.recordCount(), std::size_t(3));
}

TEST(SlipNumbering, InsertedSlipsAreNumberedOnceAndDatesFixedOnlyWhenAsked)
{
    DatasetDir data;
    ui::Dataset slips, track, listSlips;
    data.open(slips, "TWSLIP", QStringLiteral("SL_Number"));
    data.open(track, "TWTRACK");
    installSlipNumbering(slips, track, true);

    slips.insert();
    slips.setValue(QStringLiteral("SL_ACT"), QStringLiteral("CONSULT"));
    slips.setValue(QStringLiteral("SL_DATEBEG"), QDate(1924, 3, 15));
    slips.post();
    EXPECT_EQ(slips.value(QStringLiteral("SL_NUMBER")).toDouble(), 1.0);
    EXPECT_EQ(slips.value(QStringLiteral("SL_DATEBEG")).toDate(), QDate(2024, 3, 15));

    // A later save of the same slip keeps its number.
    slips.setValue(QStringLiteral("SL_HOURS"), 2.0);
    slips.post();
    EXPECT_EQ(slips.value(QStringLiteral("SL_NUMBER")).toDouble(), 1.0);
    EXPECT_EQ(counterOnDisk(data), 2.0);

    // The main window's slip cursor numbers inserts the same way but leaves dates alone.
    data.open(listSlips, "TWSLIP", QStringLiteral("SL_Client"));
    installSlipNumbering(listSlips, track, false);
    listSlips.insert();
    listSlips.setValue(QStringLiteral("SL_DATEBEG"), QDate(1930, 1, 2));
    listSlips.post();
    EXPECT_EQ(listSlips.value(QStringLiteral("SL_NUMBER")).toDouble(), 2.0);
    EXPECT_EQ(listSlips.value(QStringLiteral("SL_DATEBEG")).toDate(), QDate(1930, 1, 2));
    // Marking a slip billed is a post of an existing slip: its number stays.
    listSlips.setValue(QStringLiteral("SL_BILLED"), 1);
    listSlips.post();
    EXPECT_EQ(listSlips.value(QStringLiteral("SL_NUMBER")).toDouble(), 2.0);
    EXPECT_EQ(counterOnDisk(data), 3.0);
}

TEST(SlipNumbering, TwoCopiesSavingAtTheSameMomentNeverShareANumber)
{
    DatasetDir data;
    constexpr int kPerCopy = 40;
    std::vector<double> numbers[2];
    auto copy = [&data](std::vector<double> &out) {
        // Each copy opens the tables on its own, as a separate program does.
        ui::Dataset slips, track;
        data.open(slips, "TWSLIP");
        data.open(track, "TWTRACK");
        installSlipNumbering(slips, track, true);
        for (int i = 0; i < kPerCopy; ++i) {
            slips.insert();
            slips.setValue(QStringLiteral("SL_ACT"), QStringLiteral("A"));
            slips.post();
            out.push_back(slips.value(QStringLiteral("SL_NUMBER")).toDouble());
        }
    };
    std::thread a([&] { copy(numbers[0]); });
    std::thread b([&] { copy(numbers[1]); });
    a.join();
    b.join();

    std::set<double> all(numbers[0].begin(), numbers[0].end());
    all.insert(numbers[1].begin(), numbers[1].end());
    EXPECT_EQ(all.size(), std::size_t(2 * kPerCopy));
    EXPECT_EQ(*all.begin(), 1.0);
    EXPECT_EQ(*all.rbegin(), double(2 * kPerCopy));
    EXPECT_EQ(counterOnDisk(data), double(2 * kPerCopy + 1));

    // And the numbers are on disk, one slip each.
    ui::Dataset check;
    data.open(check, "TWSLIP");
    std::set<double> stored;
    for (check.first(); !check.eof(); check.next())
        stored.insert(check.value(QStringLiteral("SL_NUMBER")).toDouble());
    EXPECT_EQ(stored, all);
}

} // namespace
