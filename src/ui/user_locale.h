#pragma once

#include <QLocale>
#include <QString>

namespace ui {

// The user's regional settings for one kind of value, named as the C library names them: LC_ALL
// when set, else the category's own variable (LC_MONETARY for money, LC_TIME for dates), else
// LANG. A setting that names no region ("C", "POSIX", empty or unknown) reads as US English,
// the program's own convention, so that a machine without regional settings shows "$" amounts
// and month/day/year dates.
QLocale moneyLocale();
QLocale dateLocale();

// The rule above for given variable values: `all` is LC_ALL, `category` the category's own
// variable and `lang` LANG.
QLocale localeFromSettings(const QString &all, const QString &category, const QString &lang);

} // namespace ui
