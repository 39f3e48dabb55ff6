#include "ui/date_text.h"

#include <QRegularExpression>
#include <QStringList>

namespace ui {

QString DateText::format(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("MM/dd/yyyy")) : QString();
}

int DateText::expandYear(int twoDigitYear)
{
    return twoDigitYear >= 50 ? 1900 + twoDigitYear : 2000 + twoDigitYear;
}

DateText::Parsed DateText::parse(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return { Status::Blank, {} };

    QString month, day, year;
    const QStringList parts = t.split(QRegularExpression(QStringLiteral("[/.\\-]")));
    if (parts.size() == 3) {
        month = parts[0].trimmed();
        day = parts[1].trimmed();
        year = parts[2].trimmed();
    } else if (parts.size() == 1 && (t.size() == 6 || t.size() == 8)) {
        month = t.left(2);
        day = t.mid(2, 2);
        year = t.mid(4);
    } else {
        return {};
    }
    const auto allDigits = [](const QString &s) {
        for (QChar c : s)
            if (c < u'0' || c > u'9')
                return false;
        return !s.isEmpty();
    };
    if (!allDigits(month) || !allDigits(day) || !allDigits(year) || month.size() > 2
        || day.size() > 2 || (year.size() != 1 && year.size() != 2 && year.size() != 4))
        return {};
    int y = year.toInt();
    if (year.size() <= 2)
        y = expandYear(y);
    const QDate date(y, month.toInt(), day.toInt());
    if (!date.isValid())
        return {};
    return { Status::Valid, date };
}

} // namespace ui
