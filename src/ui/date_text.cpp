#include "ui/date_text.h"

#include <QRegularExpression>
#include <QStringList>

namespace ui {

namespace {

enum class Part { Day, Month, Year };

struct Order
{
    Part parts[3] = { Part::Month, Part::Day, Part::Year };
    QString separator = QStringLiteral("/");
};

// The order of day, month and year in the locale's short date format, and the text between the
// first two of them ("dd.MM.yy" gives day, month, year and ".").
Order orderOf(const QLocale &locale)
{
    const QString f = locale.dateFormat(QLocale::ShortFormat);
    Order order;
    int found = 0;
    QString separator;
    for (int i = 0; i < f.size() && found < 3;) {
        const QChar c = f[i];
        if (c == u'd' || c == u'M' || c == u'y') {
            const Part p = c == u'd' ? Part::Day : c == u'M' ? Part::Month : Part::Year;
            order.parts[found++] = p;
            while (i < f.size() && f[i] == c)
                ++i;
        } else {
            if (found == 1)
                separator += c;
            ++i;
        }
    }
    // A format without all three parts (none in CLDR) keeps month, day, year.
    if (found < 3)
        return {};
    separator = separator.trimmed().isEmpty() ? separator : separator.trimmed();
    order.separator = separator.isEmpty() ? QStringLiteral("/") : separator;
    return order;
}

} // namespace

QString DateText::pattern(const QLocale &locale)
{
    const Order order = orderOf(locale);
    QStringList parts;
    for (Part p : order.parts)
        parts << (p == Part::Day   ? QStringLiteral("dd")
                : p == Part::Month ? QStringLiteral("MM")
                                   : QStringLiteral("yyyy"));
    return parts.join(order.separator);
}

QString DateText::format(const QDate &date, const QLocale &locale)
{
    return date.isValid() ? date.toString(pattern(locale)) : QString();
}

int DateText::expandYear(int twoDigitYear)
{
    return twoDigitYear >= 50 ? 1900 + twoDigitYear : 2000 + twoDigitYear;
}

DateText::Parsed DateText::parse(const QString &text, const QLocale &locale)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return { Status::Blank, {} };
    // "10.12.2026." as some regions write it.
    while (t.endsWith(u'.'))
        t.chop(1);

    const Order order = orderOf(locale);
    QString month, day, year;
    const auto assign = [&](const QString *texts) {
        for (int i = 0; i < 3; ++i)
            (order.parts[i] == Part::Day            ? day
                    : order.parts[i] == Part::Month ? month
                                                    : year) = texts[i].trimmed();
    };
    const QStringList parts = t.split(QRegularExpression(QStringLiteral("[/.\\-]")));
    if (parts.size() == 3) {
        assign(parts.constData());
    } else if (parts.size() == 1 && (t.size() == 6 || t.size() == 8)) {
        // Without separators the year has the rest of the digits, wherever it stands.
        const int yearWidth = int(t.size()) - 4;
        QString texts[3];
        int at = 0;
        for (int i = 0; i < 3; ++i) {
            const int width = order.parts[i] == Part::Year ? yearWidth : 2;
            texts[i] = t.mid(at, width);
            at += width;
        }
        assign(texts);
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
