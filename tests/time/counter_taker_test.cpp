// The counter taker every numbering goes through: the counters of the one TWTRACK record, the
// floor of numbers already on file, a counter held by another copy, and a copy whose view of
// the record is stale.
#include <QVariant>

#include "dataset_dir.h"
#include "ui/counter_taker.h"
#include "ui/dataset.h"
#include "ui/engine_cursor.h"
#include <gtest/gtest.h>

namespace {

const QString kSlip = QStringLiteral("NEXTSLIP");
const QString kInv = QStringLiteral("NEXTINV");
const QString kClient = QStringLiteral("NEXTCLIENT");

double onDisk(const DatasetDir &data, const QString &field)
{
    ui::Dataset track;
    data.open(track, "TWTRACK");
    return track.value(field).toDouble();
}

void setCounter(ui::Dataset &track, const QString &field, const QVariant &value)
{
    track.setValue(field, value);
    track.post();
}

TEST(CounterTaker, TakesFromTheNamedCounterAboveTheFloor)
{
    const struct
    {
        const char *what;
        QVariant stored;
        double floor;
        double taken;
    } cases[] = {
        { "counter as stored", 41.0, 0, 41 },
        { "floor below the counter", 41.0, 12, 41 },
        { "floor equal to the counter", 41.0, 41, 42 },
        { "floor above the counter", 41.0, 99, 100 },
        { "blank counter", QVariant(), 0, 1 },
        { "blank counter with floor", QVariant(), 5, 6 },
        { "zero counter", 0.0, 0, 1 },
        { "negative counter", -3.0, 0, 1 },
    };
    for (const auto &c : cases) {
        for (const QString &field : { kSlip, kInv, kClient }) {
            SCOPED_TRACE(std::string(c.what) + " " + field.toStdString());
            DatasetDir data;
            ui::Dataset track;
            data.open(track, "TWTRACK");
            setCounter(track, field, c.stored);
            const double others[] = { onDisk(data, kSlip), onDisk(data, kInv), onDisk(data, kClient) };

            EXPECT_EQ(ui::takeNextCounter(track, field, c.floor), c.taken);
            EXPECT_FALSE(track.isEditing());
            EXPECT_EQ(onDisk(data, field), c.taken + 1);
            // The other two counters of the record stay as they were.
            const QString all[] = { kSlip, kInv, kClient };
            for (int i = 0; i < 3; ++i) {
                if (all[i] == field)
                    continue;
                EXPECT_EQ(onDisk(data, all[i]), others[i]) << all[i].toStdString();
            }
        }
    }
}

TEST(CounterTaker, SecondCopyTakesTheNumberTheFileHoldsNow)
{
    DatasetDir data;
    ui::Dataset first, second;
    data.open(first, "TWTRACK");
    data.open(second, "TWTRACK");
    EXPECT_EQ(ui::takeNextCounter(first, kSlip), 1.0);
    EXPECT_EQ(ui::takeNextCounter(second, kSlip), 2.0); // not the stale 1 it showed when opened
    EXPECT_EQ(ui::takeNextCounter(second, kClient), 1001.0);
    EXPECT_EQ(ui::takeNextCounter(first, kClient), 1002.0);
    EXPECT_EQ(ui::takeNextCounter(first, kSlip), 3.0);
    EXPECT_EQ(onDisk(data, kSlip), 4.0);
    EXPECT_EQ(onDisk(data, kClient), 1003.0);
}

TEST(CounterTaker, CounterHeldByAnotherCopyFailsWithTheLockMessageAndLeavesNothingChanged)
{
    DatasetDir data;
    ui::Dataset holder, taker;
    data.open(holder, "TWTRACK");
    data.open(taker, "TWTRACK");
    holder.edit(); // another copy is in the middle of taking a number
    try {
        ui::takeNextCounter(taker, kInv);
        FAIL() << "a held counter was taken";
    } catch (const std::exception &e) {
        EXPECT_EQ(std::string(e.what()).rfind("Record locked", 0), 0u) << e.what();
    }
    EXPECT_FALSE(taker.isEditing());
    holder.cancel();
    EXPECT_EQ(ui::takeNextCounter(taker, kInv), 1.0);
}

TEST(CounterTaker, HighestOnFileReadsTheTagsLastKeyWithoutMovingTheRows)
{
    DatasetDir data;
    ui::Dataset slips;
    data.open(slips, "TWSLIP", QStringLiteral("SL_Client"));
    EXPECT_EQ(ui::highestOnFile(slips, QStringLiteral("SL_Number"), QStringLiteral("SL_NUMBER")),
        0.0);
    for (const auto &[number, client] :
        { std::pair{ 12.0, "200" }, { 40.0, "100" }, { 3.0, "300" }, { 25.0, "200" } }) {
        slips.insert();
        slips.setValue(QStringLiteral("SL_NUMBER"), number);
        slips.setValue(QStringLiteral("SL_CLIENT"), QString::fromLatin1(client));
        slips.post();
    }
    slips.setRange({ QStringLiteral("200") }, { QStringLiteral("200") });
    slips.last();
    EXPECT_EQ(ui::highestOnFile(slips, QStringLiteral("SL_Number"), QStringLiteral("SL_NUMBER")),
        40.0);
    EXPECT_EQ(slips.recordCount(), std::size_t(2));
    EXPECT_EQ(slips.value(QStringLiteral("SL_NUMBER")).toDouble(), 25.0);
    EXPECT_EQ(slips.tag(), QStringLiteral("SL_Client"));
}

} // namespace
