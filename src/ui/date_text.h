#pragma once

#include <QDate>
#include <QString>

namespace ui {

// Dates as the user types and reads them: month/day/year, shown as "MM/dd/yyyy".
//
// Typed input accepts '/', '-' or '.' between the parts, one or two digits for month and day,
// and a year of one, two or four digits; six or eight digits without separators read as MMDDYY
// and MMDDYYYY. A year of one or two digits reads 50..99 as 1950..1999 and 00..49 as
// 2000..2049. Blank text (only blanks) is a blank date.
class DateText
{
public:
    enum class Status { Blank, Valid, Invalid };
    struct Parsed
    {
        Status status = Status::Invalid;
        QDate date; // valid only when status is Valid
    };

    static QString format(const QDate &date); // a null date gives ""
    static Parsed parse(const QString &text);
    // The four-digit year for a typed year of one or two digits (0..99).
    static int expandYear(int twoDigitYear);
};

} // namespace ui
