#pragma once

#include <QDate>

namespace ui {
class Dataset;
} // namespace ui

namespace timecap {

// Takes the next slip number from the counter record of TWTRACK (NEXTSLIP) and posts the counter
// increased by one at once. The counter record is locked and re-read from the file while it is
// changed, so two program copies that number slips at the same moment never get the same number.
// A counter locked by another copy is tried again for about two seconds; after that the engine's
// error is thrown. A blank counter counts as 1.
double takeNextSlipNumber(ui::Dataset &track);

// The stored form of a slip date: a year before 1950 is moved 100 years forward (1924-03-15 is
// stored as 2024-03-15). A blank date stays blank.
QDate storedSlipDate(const QDate &date);

// Installs the BeforePost handler every slip post goes through: an inserted slip takes its
// SL_NUMBER from the counter (an existing slip keeps its number); with `fixDates` the dates are
// moved by storedSlipDate as well. Used for the slip window's own cursor (fixDates on) and for
// the main window's slip cursor (fixDates off).
void installSlipNumbering(ui::Dataset &slips, ui::Dataset &track, bool fixDates);

} // namespace timecap
