#include "ui/field_format.h"

#include <algorithm>
#include <cmath>

#include <QDate>
#include <QLocale>

#include "ui/date_text.h"

namespace ui {

QString formatMoney(double amount, const QLocale &locale)
{
    return formatMoney(platform::Cents::fromDouble(amount), locale);
}

QString formatMoney(platform::Cents amount, const QLocale &locale)
{
    // Whole cents keep the text exact: 0.005 shows as 0.01 and -0.004 as 0.00 without a sign.
    // A negative amount is the locale's minus sign before the amount, as the C library's
    // monetary formats write it ("-$1,234.50"), not the accounting brackets CLDR gives en_US.
    const QString text = locale.toCurrencyString(
        double(amount.isNegative() ? -amount.cents() : amount.cents()) / 100.0,
        locale.currencySymbol(), 2);
    return amount.isNegative() ? locale.negativeSign() + text : text;
}

QString displayText(const QVariant &value, const dbf::FieldDef &field, DisplayFormat format)
{
    if (value.isNull())
        return {};
    switch (format) {
    case DisplayFormat::Money:
        return formatMoney(value.toDouble());
    case DisplayFormat::Hours:
        return QString::number(value.toDouble(), 'f', 2);
    case DisplayFormat::Default:
        break;
    }
    switch (field.type) {
    case dbf::FieldType::Numeric:
    case dbf::FieldType::Float:
        return QString::number(value.toDouble(), 'f', field.decimals);
    case dbf::FieldType::Date:
        return DateText::format(value.toDate());
    case dbf::FieldType::Logical:
        return value.toBool() ? QStringLiteral("T") : QStringLiteral("F");
    case dbf::FieldType::Character:
    case dbf::FieldType::Memo:
        break;
    }
    return value.toString();
}

QString widestDisplayText(const dbf::FieldDef &field, DisplayFormat format)
{
    switch (field.type) {
    case dbf::FieldType::Numeric:
    case dbf::FieldType::Float: {
        // The largest value of the field's width: a sign, the integer digits, the point and the
        // decimals share it.
        const int decimals = field.decimals;
        const int integerDigits =
            std::max(1, int(field.width) - 1 - (decimals > 0 ? decimals + 1 : 0));
        const double largest = -(std::pow(10.0, integerDigits) - std::pow(10.0, -decimals));
        return displayText(largest, field, format);
    }
    case dbf::FieldType::Date:
        return displayText(QDate(2000, 12, 28), field, format);
    case dbf::FieldType::Logical:
        return QStringLiteral("F");
    case dbf::FieldType::Character:
    case dbf::FieldType::Memo:
        break;
    }
    return QString(field.width, u'X');
}

bool isFlagSet(const QVariant &value)
{
    if (value.isNull())
        return false;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QString: {
        const QString s = value.toString().trimmed().toUpper();
        return s == QStringLiteral("Y") || s == QStringLiteral("T");
    }
    default:
        return value.toDouble() != 0.0;
    }
}

} // namespace ui
