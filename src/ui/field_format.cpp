#include "ui/field_format.h"

#include <cmath>

#include <QDate>
#include <QLocale>

#include "ui/date_text.h"

namespace ui {

QString formatMoney(double amount)
{
    static const QLocale c(QLocale::English, QLocale::UnitedStates);
    const double rounded = std::round(std::abs(amount) * 100.0) / 100.0;
    const QString digits = c.toString(rounded, 'f', 2);
    return (amount < 0 && rounded != 0.0 ? QStringLiteral("-$") : QStringLiteral("$")) + digits;
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
