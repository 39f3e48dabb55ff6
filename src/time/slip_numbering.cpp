#include "time/slip_numbering.h"

#include "ui/counter_taker.h"
#include "ui/dataset.h"

namespace timecap {

double takeNextSlipNumber(ui::Dataset &track, const ui::Dataset &slips)
{
    const double highest
        = ui::highestOnFile(slips, QStringLiteral("SL_Number"), QStringLiteral("SL_NUMBER"));
    return ui::takeNextCounter(track, QStringLiteral("NEXTSLIP"), highest);
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
            slip.setValue(QStringLiteral("SL_NUMBER"), takeNextSlipNumber(track, slip));
    };
}

} // namespace timecap
