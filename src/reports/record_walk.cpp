#include "reports/record_walk.h"

#include "reports/report_format.h"
#include "ui/dataset.h"

namespace reports {

RecordWalk::RecordWalk(ui::Dataset &dataset, QString tag, QString keyField, std::string begin,
    Place place, Take take)
    : m_dataset(dataset)
    , m_tag(std::move(tag))
    , m_keyField(std::move(keyField))
    , m_begin(std::move(begin))
    , m_place(std::move(place))
    , m_take(std::move(take))
{
}

bool RecordWalk::first()
{
    m_finished = false;
    if (m_dataset.tag().compare(m_tag, Qt::CaseInsensitive) != 0)
        m_dataset.setTag(m_tag);
    m_dataset.cancelRange();
    m_dataset.findNearest({ QString::fromLatin1(std::string(trimRight(m_begin)).c_str()) });
    return settle();
}

bool RecordWalk::next()
{
    if (m_finished)
        return false;
    m_dataset.next();
    return settle();
}

bool RecordWalk::settle()
{
    while (!m_dataset.eof()) {
        const std::string key = latin1(m_dataset.text(m_keyField));
        const RangePlace place = m_place(key);
        if (place == RangePlace::After)
            break;
        if (place == RangePlace::Inside && (!m_take || m_take(m_dataset)))
            return true;
        m_dataset.next();
    }
    m_finished = true;
    return false;
}

RecordWalk clientWalk(ui::Dataset &clients, const SelectionRules &rules)
{
    return RecordWalk(clients, QStringLiteral("NAME"), QStringLiteral("NAME"),
        rules.options().clientBegin,
        [&rules](std::string_view k) { return rules.clientPlace(k); },
        [&rules](const ui::Dataset &d) {
            return rules.takesClient(
                d.value(QStringLiteral("CYCLE")).toInt(), latin1(d.text(QStringLiteral("ACTIVE"))));
        });
}

RecordWalk activityWalk(ui::Dataset &activities, const SelectionRules &rules)
{
    return RecordWalk(activities, QStringLiteral("ACTIVITY"), QStringLiteral("ACTIVITY"),
        rules.options().activityBegin,
        [&rules](std::string_view k) { return rules.activityPlace(k); });
}

RecordWalk staffWalk(ui::Dataset &staff, const SelectionRules &rules)
{
    return RecordWalk(staff, QStringLiteral("EMPNUMBER"), QStringLiteral("EMPNUMBER"),
        rules.options().staffBegin, [&rules](std::string_view k) { return rules.staffPlace(k); });
}

RecordWalk projectWalk(ui::Dataset &projects, const SelectionRules &rules)
{
    return RecordWalk(projects, QStringLiteral("PJ_CODE"), QStringLiteral("PJ_CODE"),
        rules.options().projectBegin,
        [&rules](std::string_view k) { return rules.projectPlace(k); });
}

} // namespace reports
