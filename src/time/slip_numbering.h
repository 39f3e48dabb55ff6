#pragma once

#include <QDate>

namespace ui {
class Dataset;
} // namespace ui

namespace timecap {

// Takes the next slip number from the counter NEXTSLIP of TWTRACK through ui::takeNextCounter
// (locked, re-read, retried, posted at once), never at or below the highest SL_NUMBER on file in
// the table under `slips`, so a counter that fell behind the slips cannot repeat a number.
double takeNextSlipNumber(ui::Dataset &track, const ui::Dataset &slips);

// The stored form of a slip date: a year before 1950 is moved 100 years forward (1924-03-15 is
// stored as 2024-03-15). A blank date stays blank.
QDate storedSlipDate(const QDate &date);

// Installs the BeforePost handler every slip post goes through: an inserted slip takes its
// SL_NUMBER from the counter (an existing slip keeps its number); with `fixDates` the dates are
// moved by storedSlipDate as well. Used for the slip window's own cursor (fixDates on) and for
// the main window's slip cursor (fixDates off).
void installSlipNumbering(ui::Dataset &slips, ui::Dataset &track, bool fixDates);

} // namespace timecap
