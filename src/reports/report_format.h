#pragma once
// How the catalogue's reports write numbers, dates and texts: one place for each format.
#include <string>

#include <QDate>
#include <QString>

namespace reports {

// "%8.2m": the currency format of the user's regional settings (QLocale's default locale), two
// decimals, right-aligned in at least eight characters. The amount is rounded to whole cents
// first, halves away from zero.
std::string moneyText(double amount);
// "%8.2f": fixed, two decimals, at least eight characters.
std::string hoursText(double hours);
// "%8.3g": general, at most three significant digits, at least eight characters.
std::string generalText(double value, int digits = 3);
// The short date format, "MM/dd/yyyy"; "" for a blank date.
std::string dateText(const QDate &date);

// Report texts are single bytes: Latin-1. Characters outside it print as '?'.
std::string latin1(const QString &text);

// Plain forms for files other programs read: "-1234.50", "0.075", "2026-12-10".
std::string plainMoney(double amount);
std::string plainNumber(double value);
std::string isoDate(const QDate &date);

} // namespace reports
