#include "time/slip_numbering.h"

#include <chrono>
#include <exception>
#include <thread>

#include "ui/dataset.h"

namespace timecap {

namespace {

const QString kNextSlip = QStringLiteral("NEXTSLIP");
constexpr int kLockAttempts = 100;
constexpr auto kLockPause = std::chrono::milliseconds(20);

} // namespace

double takeNextSlipNumber(ui::Dataset &track)
{
    for (int attempt = 1;; ++attempt) {
        try {
            if (track.isEmpty()) {
                // A counter table without its record: the first number is 1.
                track.insert();
            } else {
                track.edit(); // locks and re-reads the counter as the file holds it now
            }
            break;
        } catch (const std::exception &) {
            if (attempt >= kLockAttempts)
                throw;
            std::this_thread::sleep_for(kLockPause);
        }
    }
    try {
        const QVariant stored = track.value(kNextSlip);
        const double number = stored.isNull() || stored.toDouble() < 1 ? 1.0 : stored.toDouble();
        track.setValue(kNextSlip, number + 1);
        track.post();
        return number;
    } catch (...) {
        if (track.isEditing())
            track.cancel();
        throw;
    }
}

QDate storedSlipDate(const QDate &date)
{
    if (!date.isValid() || date.year() >= 1950)
        return date;
    return date.addYears(100);
}

void installSlipNumbering(ui::Dataset &slips, ui::Dataset &track, bool fixDates)
{
    slips.BeforePost = [&track, fixDates](ui::Dataset &slip) {
        if (fixDates) {
            for (const char *name : { "SL_DATEBEG", "SL_DATEEND" }) {
                const QString field = QLatin1String(name);
                const QDate date = slip.value(field).toDate();
                const QDate stored = storedSlipDate(date);
                if (stored != date)
                    slip.setValue(field, stored);
            }
        }
        if (slip.state() == ui::Dataset::State::Insert)
            slip.setValue(QStringLiteral("SL_NUMBER"), takeNextSlipNumber(track));
    };
}

} // namespace timecap
