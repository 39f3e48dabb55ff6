#include "reports/report_format.h"

#include <cstdio>

#include <QLocale>

#include "platform/money.h"
#include "ui/date_text.h"

namespace reports {

namespace {

std::string padLeft(std::string s, std::size_t width)
{
    if (s.size() < width)
        s.insert(0, width - s.size(), ' ');
    return s;
}

} // namespace

std::string moneyText(double amount)
{
    const double cents = platform::Cents::fromDouble(amount).toDouble();
    const QLocale locale;
    return padLeft(latin1(locale.toCurrencyString(cents, locale.currencySymbol(), 2)), 8);
}

std::string hoursText(double hours)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%8.2f", hours);
    return buf;
}

std::string generalText(double value, int digits)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%8.*g", digits, value);
    return buf;
}

std::string dateText(const QDate &date)
{
    return latin1(ui::DateText::format(date));
}

std::string latin1(const QString &text)
{
    return text.toLatin1().toStdString();
}

std::string plainMoney(double amount)
{
    return platform::Cents::fromDouble(amount).toPlainString();
}

std::string plainNumber(double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    return buf;
}

std::string isoDate(const QDate &date)
{
    return date.isValid() ? date.toString(Qt::ISODate).toStdString() : std::string();
}

} // namespace reports
