#pragma once

#include <QString>

namespace ui {

class Dataset;

// Takes the next number from a counter field of the one-record counter table TWTRACK
// (NEXTSLIP, NEXTINV, NEXTCLIENT) and posts the counter advanced past it at once.
//
// Guarantees:
// - The counter record is locked and re-read from the file while it changes, so two program
//   copies taking numbers at the same moment never get the same number, and a copy whose view
//   of the record is stale takes the number the file holds now.
// - The number returned is at least 1 and greater than `floor` ("never hand out a number at or
//   below floor"; callers pass the highest number already on file, so a counter that fell
//   behind the data cannot hand out a number twice). A blank counter counts as 1.
// - The counter is posted as the number returned plus one before this returns; the other
//   counters of the record are left as they are.
// - A counter record locked by another copy is tried again for about two seconds; after that
//   the engine's "Record locked" error is thrown. On any throw the counter is left unchanged
//   and not in edit.
// - A counter table without its record gets one (the other counters blank).
//
// Requires: `track` is open over TWTRACK and not being edited.
double takeNextCounter(Dataset &track, const QString &field, double floor = 0);

// Sets a counter field of TWTRACK to `value` under the same lock, re-read and retry as
// takeNextCounter (the other counters keep what the file holds now) and posts it at once. Throws
// the engine's error, counter unchanged and not in edit, when it cannot.
void setCounter(Dataset &track, const QString &field, double value);

// The highest value of `field` on file in the table under `rows`: the last key of `tag`, read
// through a separate reader so that `rows` keeps its position, order and range. 0 when the table
// holds no row. `tag` must be an index tag whose key is `field` (a numeric field).
double highestOnFile(const Dataset &rows, const QString &tag, const QString &field);

} // namespace ui
