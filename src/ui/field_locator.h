#pragma once

#include <QString>

#include "ui/dataset.h"
#include "ui/locate_match.h"

namespace ui {

// What the field-value locate dialog looks for.
struct LocateRequest
{
    QString field;
    QString value;
    LocateSearchType type = LocateSearchType::PartialAtBeginning;
    bool caseSensitive = false;
};

// The search behind the locate dialog, in the dataset's current order and range. A field is
// compared as it is shown (numbers with their decimals, dates "MM/dd/yyyy"). The rows are read
// through a second cursor, so the dataset moves only when a row is found, and then once.
//   locateFirst: the first matching row of the order.
//   locateNext:  the first matching row after the current one (from the start when there is
//                no current row); false at the end, the dataset staying where it is.
bool locateFirst(Dataset &dataset, const LocateRequest &request);
bool locateNext(Dataset &dataset, const LocateRequest &request);

} // namespace ui
