#pragma once

#include <QString>
#include <QVariant>

#include "dbf/field.h"

namespace ui {

// How a field's value is shown, in one place for grids, boxes and dialogs:
//   Default   text as stored (C, M); numbers with the field's decimals; dates "MM/dd/yyyy";
//             logicals "T"/"F"; null as ""
//   Money     "$1,234.50", negative "-$1,234.50"
//   Hours     two decimals, no grouping
enum class DisplayFormat { Default, Money, Hours };

QString displayText(const QVariant &value, const dbf::FieldDef &field,
    DisplayFormat format = DisplayFormat::Default);
QString formatMoney(double amount);

// Whether a flag value counts as set: "Y"/"y"/"T"/"t", a non-zero number, or true.
bool isFlagSet(const QVariant &value);

} // namespace ui
