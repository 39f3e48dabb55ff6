#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>

#include "dbf/field.h"
#include "platform/money.h"
#include "ui/user_locale.h"

namespace ui {

// How a field's value is shown, in one place for grids, boxes and dialogs:
//   Default   text as stored (C, M); numbers with the field's decimals; dates as DateText
//             writes them (the user's date order); logicals "T"/"F"; null as ""
//   Money     formatMoney: "$1,234.50" under US settings, "1.234,50 €" under German ones
//   Hours     two decimals, no grouping
enum class DisplayFormat { Default, Money, Hours };

QString displayText(const QVariant &value, const dbf::FieldDef &field,
    DisplayFormat format = DisplayFormat::Default);
// An amount in the currency format of the user's regional settings (moneyLocale()), rounded to
// two decimals: "$1,234.50" and "-$1,234.50" for en_US, "1.234,50 €" for de_DE. An amount that
// rounds to zero never shows a minus sign. The "%8.2m" of printed documents is this text.
QString formatMoney(double amount, const QLocale &locale = moneyLocale());
QString formatMoney(platform::Cents amount, const QLocale &locale = moneyLocale());

// The widest text `field` can show in `format`: the field's full width in capitals for text,
// its largest value for numbers and money, a date with two-digit day and month. Grids size their
// columns by it, so that no value the field holds is cut.
QString widestDisplayText(
    const dbf::FieldDef &field, DisplayFormat format = DisplayFormat::Default);

// Whether a flag value counts as set: "Y"/"y"/"T"/"t", a non-zero number, or true.
bool isFlagSet(const QVariant &value);

} // namespace ui
