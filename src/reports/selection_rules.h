#pragma once
// The data selection of the catalogue's reports: which clients, activities, staff members,
// projects, slips, statements and payments a report takes, given the options window's values.
// No Qt and no table: the layouts walk their tables and ask these rules about each record.
//
// Texts compare byte by byte and case-sensitively, without the blanks that pad a stored field
// or a typed bound, so an End of "C" takes a client named "C" and stops before "Ca". Dates are
// day numbers (any continuous count, such as the Julian day); a blank date is std::nullopt.
#include <optional>
#include <string>
#include <string_view>

namespace reports {

using DayNumber = long long;

// The options window's values, as the layouts read them at print time.
struct SelectionOptions
{
    std::string clientBegin, clientEnd; // client names
    bool includeInactives = false;
    int cycleFrom = 1, cycleTo = 10;
    std::string activityBegin, activityEnd;
    std::string projectBegin, projectEnd;
    std::string staffBegin, staffEnd;
    DayNumber slipStart = 0, slipEnd = 0; // the slip date range (see slipDateRange)
    bool includeExpenseSlips = true;
    bool pending = true, completed = true, billed = true, notBilled = true;
    bool detailed = true; // the hidden "&Detailed Report" flag
};

// What the qualifying-slip rule reads of a slip.
struct SlipFacts
{
    std::optional<DayNumber> dateBegin, dateEnd; // SL_DATEBEG, SL_DATEEND
    std::string activity, staff, project; // SL_ACT, SL_EMPLOY, SL_PROJECT
    int billed = 0; // SL_BILLED
    int done = 0; // SL_DONE
    double expenseAmount = 0; // SL_EXPAMT
};

struct DayRange
{
    DayNumber start, end;
};

// Blank "from" is today - 3650 days, blank "to" today + 3650 days.
DayRange slipDateRange(std::optional<DayNumber> from, std::optional<DayNumber> to, DayNumber today);

// Where a key stands against a Begin..End range.
enum class RangePlace { Before, Inside, After };

class SelectionRules
{
public:
    explicit SelectionRules(const SelectionOptions &options) : m_o(options) {}
    const SelectionOptions &options() const { return m_o; }

    static RangePlace place(std::string_view key, std::string_view begin, std::string_view end);

    // Client selection: clients in name order from the first name not below Begin; the walk
    // ends at the first name above End. Within, a client is taken by its cycle and ACTIVE.
    RangePlace clientPlace(std::string_view name) const;
    bool takesClient(int cycle, std::string_view active) const;

    RangePlace activityPlace(std::string_view code) const;
    RangePlace staffPlace(std::string_view number) const;
    RangePlace projectPlace(std::string_view code) const;

    bool qualifiesSlip(const SlipFacts &slip) const;
    // Statements and payments of a client count when dated within the slip date range.
    bool withinDateRange(std::optional<DayNumber> day) const;

private:
    const SelectionOptions &m_o;
};

// The text without the blanks that pad it on the right.
std::string_view trimRight(std::string_view s);

} // namespace reports
