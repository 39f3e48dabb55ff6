#include "ui/counter_taker.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "dbf/errors.h"
#include "ui/data_cursor.h"
#include "ui/dataset.h"

namespace ui {

namespace {

// About two seconds of retries: a copy holds the counter only from its edit to its post.
constexpr int kLockAttempts = 100;
constexpr auto kLockPause = std::chrono::milliseconds(20);

bool isRecordLocked(const std::exception &e)
{
    return std::strncmp(e.what(), "Record locked", 13) == 0;
}

// Puts the counter record into edit (insert when the table has no record), retrying while
// another copy holds it.
void lockCounter(Dataset &track)
{
    for (int attempt = 1;; ++attempt) {
        try {
            if (track.isEmpty())
                track.insert();
            else
                track.edit(); // locks and re-reads the record as the file holds it now
            return;
        } catch (const dbf::Error &e) {
            if (!isRecordLocked(e) || attempt >= kLockAttempts)
                throw;
            std::this_thread::sleep_for(kLockPause);
        }
    }
}

} // namespace

double takeNextCounter(Dataset &track, const QString &field, double floor)
{
    lockCounter(track);
    try {
        const QVariant stored = track.value(field);
        double number = stored.isNull() ? 1.0 : stored.toDouble();
        number = std::max({ number, 1.0, floor + 1 });
        track.setValue(field, number + 1);
        track.post();
        return number;
    } catch (...) {
        if (track.isEditing())
            track.cancel();
        throw;
    }
}

void setCounter(Dataset &track, const QString &field, double value)
{
    lockCounter(track);
    try {
        track.setValue(field, value);
        track.post();
    } catch (...) {
        if (track.isEditing())
            track.cancel();
        throw;
    }
}

double highestOnFile(const Dataset &rows, const QString &tag, const QString &field)
{
    const int index = rows.fieldIndex(field);
    if (index < 0 || !rows.cursor())
        return 0;
    std::unique_ptr<DataCursor> reader = rows.cursor()->reader();
    reader->cancelRange();
    reader->setTag(tag);
    if (!reader->last())
        return 0;
    return reader->value(static_cast<std::size_t>(index)).toDouble();
}

} // namespace ui
