#pragma once
// A walk over one of the main window's cursors in the order of a tag, from the first key not
// below a Begin bound to the last key not above an End bound, taking the records a filter
// accepts. The client selection, the activity, staff and project ranges of the catalogue are
// such walks.
//
//   RecordWalk walk = clientWalk(clients, rules);
//   for (bool more = walk.first(); more; more = walk.next())
//       print(clients);                       // the cursor stands on the taken record
#include <functional>
#include <string>

#include <QString>

#include "reports/selection_rules.h"

namespace ui {
class Dataset;
}

namespace reports {

class RecordWalk
{
public:
    using Place = std::function<RangePlace(std::string_view key)>;
    using Take = std::function<bool(const ui::Dataset &)>;

    RecordWalk(ui::Dataset &dataset, QString tag, QString keyField, std::string begin, Place place,
        Take take = {});

    // Puts the cursor on its tag and the first taken record; false when there is none.
    bool first();
    // Steps to the next taken record; false when the walk is finished.
    bool next();
    bool finished() const { return m_finished; }
    ui::Dataset &dataset() const { return m_dataset; }

private:
    bool settle();

    ui::Dataset &m_dataset;
    QString m_tag;
    QString m_keyField;
    std::string m_begin;
    Place m_place;
    Take m_take;
    bool m_finished = true;
};

// Clients in NAME order within the client range, by cycle and (unless asked) active only.
RecordWalk clientWalk(ui::Dataset &clients, const SelectionRules &rules);
// Activities in ACTIVITY order within the activity range.
RecordWalk activityWalk(ui::Dataset &activities, const SelectionRules &rules);
// Staff members in EMPNUMBER order within the staff range.
RecordWalk staffWalk(ui::Dataset &staff, const SelectionRules &rules);
// Projects in PJ_CODE order within the project range.
RecordWalk projectWalk(ui::Dataset &projects, const SelectionRules &rules);

} // namespace reports
