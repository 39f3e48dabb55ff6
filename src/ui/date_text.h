#pragma once

#include <chrono>

#include <QDate>
#include <QLocale>
#include <QString>

#include "ui/user_locale.h"

namespace ui {

// Dates as the user types and reads them, in the order and with the separator of the short date
// format of the user's regional settings (dateLocale()), always with two-digit day and month and
// a four-digit year: "12/10/2026" under US settings, "10.12.2026" under German ones, "2026-12-10"
// under Swedish ones. The year is written in full so that a shown date read back is the same
// date whatever its century.
//
// Typed input takes the parts in that same order and accepts '/', '-' or '.' between them, one
// or two digits for month and day, and a year of one, two or four digits; six or eight digits
// without separators read in that order too (MMDDYY and MMDDYYYY for US settings). A year of
// one or two digits reads 50..99 as 1950..1999 and 00..49 as 2000..2049. Blank text (only
// blanks) is a blank date. Dates stored in tables never pass through here.
// A calendar day of the program's clock as a QDate.
inline QDate toQDate(std::chrono::year_month_day day)
{
    return QDate(int(day.year()), int(unsigned(day.month())), int(unsigned(day.day())));
}

class DateText
{
public:
    enum class Status { Blank, Valid, Invalid };
    struct Parsed
    {
        Status status = Status::Invalid;
        QDate date; // valid only when status is Valid
    };

    // A null date gives "".
    static QString format(const QDate &date, const QLocale &locale = dateLocale());
    static Parsed parse(const QString &text, const QLocale &locale = dateLocale());
    // The pattern format() uses for `locale`, such as "MM/dd/yyyy".
    static QString pattern(const QLocale &locale);
    // The four-digit year for a typed year of one or two digits (0..99).
    static int expandYear(int twoDigitYear);
};

} // namespace ui
