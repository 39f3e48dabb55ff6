#include "reports/selection_rules.h"

#include <limits>

namespace reports {

namespace {

// A blank date sorts before every real one, so a slip without a start date never qualifies
// and one without an end date is never "after" the range.
constexpr DayNumber kBlankDay = std::numeric_limits<DayNumber>::min();

// 3650 days: ten years either side of today for a blank picker.
constexpr DayNumber kBlankPickerSpan = 3650;

} // namespace

std::string_view trimRight(std::string_view s)
{
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

DayRange slipDateRange(std::optional<DayNumber> from, std::optional<DayNumber> to, DayNumber today)
{
    return { from.value_or(today - kBlankPickerSpan), to.value_or(today + kBlankPickerSpan) };
}

RangePlace SelectionRules::place(std::string_view key, std::string_view begin, std::string_view end)
{
    // std::string_view compares through char_traits<char>, which orders bytes as unsigned.
    key = trimRight(key);
    if (key < trimRight(begin))
        return RangePlace::Before;
    if (key > trimRight(end))
        return RangePlace::After;
    return RangePlace::Inside;
}

RangePlace SelectionRules::clientPlace(std::string_view name) const
{
    return place(name, m_o.clientBegin, m_o.clientEnd);
}

bool SelectionRules::takesClient(int cycle, std::string_view active) const
{
    if (cycle < m_o.cycleFrom || cycle > m_o.cycleTo)
        return false;
    return m_o.includeInactives || trimRight(active) == "Y";
}

RangePlace SelectionRules::activityPlace(std::string_view code) const
{
    return place(code, m_o.activityBegin, m_o.activityEnd);
}

RangePlace SelectionRules::staffPlace(std::string_view number) const
{
    return place(number, m_o.staffBegin, m_o.staffEnd);
}

RangePlace SelectionRules::projectPlace(std::string_view code) const
{
    return place(code, m_o.projectBegin, m_o.projectEnd);
}

bool SelectionRules::qualifiesSlip(const SlipFacts &slip) const
{
    if (slip.dateBegin.value_or(kBlankDay) < m_o.slipStart)
        return false;
    if (slip.dateEnd.value_or(kBlankDay) > m_o.slipEnd)
        return false;
    if (activityPlace(slip.activity) != RangePlace::Inside)
        return false;
    // A slip without staff or project passes those ranges whatever their Begin.
    const auto blankOrInside = [](std::string_view key, RangePlace p) {
        return p == RangePlace::Inside || (p == RangePlace::Before && trimRight(key).empty());
    };
    if (!blankOrInside(slip.staff, staffPlace(slip.staff)))
        return false;
    if (!blankOrInside(slip.project, projectPlace(slip.project)))
        return false;
    if (slip.billed == 0 ? !m_o.notBilled : slip.billed == 1 && !m_o.billed)
        return false;
    if (slip.done == 0 ? !m_o.pending : slip.done == 1 && !m_o.completed)
        return false;
    if (slip.expenseAmount != 0 && !m_o.includeExpenseSlips)
        return false;
    return true;
}

bool SelectionRules::withinDateRange(std::optional<DayNumber> day) const
{
    return day && *day >= m_o.slipStart && *day <= m_o.slipEnd;
}

} // namespace reports
