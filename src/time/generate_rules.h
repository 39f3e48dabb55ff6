#pragma once
// Auto billing generation without widgets: which slots of a client range generate, the slips they
// become, and the "Proforma Auto Entry Report" listing of them. The window "Generate Auto
// Billings" (generate_form.h) only collects the range and shows what these report.
//
// A slot n (1 to 5) of a client generates when D_ACTn names an activity on file (exact key on
// the activity tag) and lowCycle <= D_CYCLEn <= highCycle (a blank cycle counts as 0). Clients
// are walked in name order from the begin name through every client whose NAME, trailing blanks
// removed, is at most the end name: the billing run's client walk.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QDate>
#include <QString>

namespace platform {
class Clock;
}
namespace report {
class TBaseReport;
}
namespace ui {
class DataCursor;
class Dataset;
} // namespace ui

namespace timecap {

// The client and cycle range of one run, as the window's boxes hold it.
struct GenerateRange
{
    QString beginName;
    QString endName; // at most 30 characters are compared
    int lowCycle = 1;
    int highCycle = 10;
};

// A cycle box's text as a cycle bound: a whole number from 1 to 10, blanks around it allowed.
// Anything else ("1O", "", "0", "11", "2.5") is nullopt.
std::optional<int> parseCycle(const QString &text);
// The message shown for a cycle box that parseCycle refuses.
const QString &cycleRefusedText();

// The main window's cursors a run works on. The client dataset is moved (callers hold a
// ui::CursorScope on it); the slip dataset gets the new slips and must number them on insert
// (timecap::installSlipNumbering); the activity dataset is only read, through a reader of its own.
struct GenerateTables
{
    ui::Dataset &clients; // TWCLIENT
    ui::Dataset &slips; // TWSLIP
    ui::Dataset &activities; // TWACT, in ACTIVITY order
};

// One generating slot as the walk meets it.
struct GeneratingSlot
{
    int slot = 0; // 1 to 5
    QString clientNumber;
    QString clientName; // trimmed
};

// How a generation run ended.
struct GenerateResult
{
    int created = 0; // slips posted in this run
    QString lastClient; // NAME (trimmed) of the client of the last slip posted
    QString engineMessage; // set when an engine error stopped the run part-way
};

// The message after a run: complete, nothing generated, or (after the engine's own message)
// how far a run that an error stopped got.
QString generateOutcomeText(const GenerateResult &result);

class AutoBillingWalk
{
public:
    AutoBillingWalk(const GenerateTables &tables, const platform::Clock &clock);
    ~AutoBillingWalk();
    AutoBillingWalk(const AutoBillingWalk &) = delete;
    AutoBillingWalk &operator=(const AutoBillingWalk &) = delete;

    // Whether slot `slot` of the client under the client dataset generates within the cycles;
    // when it does, the activity reader stands on its activity.
    bool generates(int slot, int lowCycle, int highCycle);

    // Calls `each` for every generating slot of the range, in client name order and slot order.
    // The client dataset stands on the slot's client during the call.
    void walk(const GenerateRange &range, const std::function<void(const GeneratingSlot &)> &each);

    // Inserts and posts the slip of a generating slot (the client dataset on its client, the
    // activity reader on its activity, as generates() left them). Throws the engine's error
    // with the insert cancelled.
    void createSlip(int slot);

    // The whole run: every generating slot becomes a slip, OnCreated told after each post. An
    // engine error stops the run; the slips posted before stay and the result says how far it
    // got. Exceptions other than the engine's (std::exception) are not caught.
    GenerateResult generate(const GenerateRange &range);
    std::function<void(int created)> OnCreated;

    const GenerateTables &tables() const { return m_tables; }

private:
    GenerateTables m_tables;
    const platform::Clock &m_clock;
    std::unique_ptr<ui::DataCursor> m_activity;
};

// The "Proforma Auto Entry Report": one line per generating slot of the range under a header,
// the column heading on every page, as many pages as the lines need. Attach it to a back end
// and run the back end; it walks the tables while it prints.
class AutoEntryListing
{
public:
    AutoEntryListing(AutoBillingWalk &walk, const GenerateRange &range, const std::string &font,
        const QDate &today);

    void attach(report::TBaseReport &r);
    // Lines printed by the last run.
    int lines() const { return m_lines; }

private:
    struct Line
    {
        std::string text; // tab-separated cells
    };
    void header(report::TBaseReport &r);
    void footer(report::TBaseReport &r);
    bool page(report::TBaseReport &r);
    void columns(report::TBaseReport &r);

    AutoBillingWalk &m_walk;
    GenerateRange m_range;
    std::string m_font;
    std::string m_today;
    std::vector<Line> m_pending; // gathered at the first page, printed page by page
    std::size_t m_next = 0;
    bool m_gathered = false;
    int m_lines = 0;
};

} // namespace timecap
