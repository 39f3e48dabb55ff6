#include "reports/listings.h"

#include <array>

#include "reports/csv_writer.h"
#include "reports/report_format.h"
#include "ui/dataset.h"

namespace reports {

using report::JustifyCenter;
using report::JustifyLeft;
using report::JustifyRight;

namespace {

// Margin of every listing cell: 2 hundredths of an inch.
constexpr double kCellMargin = 0.02;

ListingValue textValue(const ui::Dataset &d, const char *field)
{
    const QString t = d.text(QString::fromLatin1(field));
    return { latin1(t), t.toStdString() };
}

ListingValue trimmedValue(const ui::Dataset &d, const char *field)
{
    const QString t = d.text(QString::fromLatin1(field)).trimmed();
    return { latin1(t), t.toStdString() };
}

double number(const ui::Dataset &d, const char *field)
{
    return d.value(QString::fromLatin1(field)).toDouble();
}

ListingValue moneyValue(const ui::Dataset &d, const char *field)
{
    const double v = number(d, field);
    return { moneyText(v), plainMoney(v) };
}

std::string heading(const std::vector<std::string> &titles)
{
    std::string h;
    for (const std::string &t : titles)
        h += "\t" + t;
    return h;
}

} // namespace

bool Listing::position()
{
    m_walk.emplace(makeWalk());
    m_found = m_walk->first();
    return m_found;
}

bool Listing::printPage(report::TBaseReport &r)
{
    if (!m_found)
        return false;
    columnHeadingBlock(r, m_context.texts.font, columns(), heading(titles()));
    while (!m_walk->finished() && r.LinesRemaining() > 0) {
        printRow(r, row());
        m_walk->next();
    }
    return !m_walk->finished();
}

void Listing::printRow(report::TBaseReport &r, const std::vector<ListingValue> &values)
{
    const std::span<const Column> cols = columns();
    std::vector<double> starts(cols.size());
    double x = kAreaLeft;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        starts[i] = x;
        x += cols[i].width;
    }
    for (std::size_t i = 0; i < values.size() && i < cols.size(); ++i) {
        std::string text = values[i].printed;
        if (!text.empty()) {
            // Left text may use the empty cells after it up to the next cell that prints text
            // (the last cell's end when none does); centred and right text keep to their own
            // cell.
            double room = cols[i].width - 2 * kCellMargin;
            if (cols[i].justify == JustifyLeft) {
                double end = x; // the end of the last cell
                for (std::size_t j = i + 1; j < values.size() && j < cols.size(); ++j)
                    if (!values[j].printed.empty()) {
                        end = starts[j];
                        break;
                    }
                room = end - starts[i] - kCellMargin;
            }
            text = clipToWidth(r, text, room);
        }
        if (i + 1 < values.size())
            r.EmitText("\t" + text);
        else
            r.EmitLine("\t" + text);
    }
}

bool Listing::writeCsv(std::ostream &out)
{
    CsvWriter csv(out);
    csv.writeRow(titles());
    m_walk.emplace(makeWalk());
    for (bool more = m_walk->first(); more; more = m_walk->next()) {
        std::vector<std::string> fields;
        for (const ListingValue &v : row())
            fields.push_back(v.plain);
        csv.writeRow(fields);
    }
    return true;
}

// ---- Client Listing --------------------------------------------------------------------------

std::span<const Column> ClientListing::columns() const
{
    static constexpr std::array<Column, 5> kCells = { { { JustifyLeft, 2.5 }, { JustifyLeft, 0.8 },
        { JustifyLeft, 2.0 }, { JustifyLeft, 1.2 }, { JustifyLeft, 1.2 } } };
    return kCells;
}

std::vector<std::string> ClientListing::titles() const
{
    return { "Client", "Number", "Contact", "Phone", "Fax" };
}

std::vector<ListingValue> ClientListing::row() const
{
    const ui::Dataset &d = m_context.data.clients;
    return { textValue(d, "NAME"), textValue(d, "NUMBER"), textValue(d, "CONTACT"),
        trimmedValue(d, "PHONE"), trimmedValue(d, "FAX") };
}

RecordWalk ClientListing::makeWalk() const
{
    return clientWalk(m_context.data.clients, m_context.rules);
}

// ---- Activity Listing ------------------------------------------------------------------------

std::span<const Column> ActivityListing::columns() const
{
    static constexpr std::array<Column, 7> kCells = { { { JustifyLeft, 1.0 },
        { JustifyLeft, 2.0 }, { JustifyCenter, 0.8 }, { JustifyRight, 0.8 }, { JustifyLeft, 0.8 },
        { JustifyRight, 1.0 }, { JustifyRight, 1.0 } } };
    return kCells;
}

std::vector<std::string> ActivityListing::titles() const
{
    return { "Activity", "Description", "Taxable", "Tax Rate", "Type", "Rate 1", "Flat Amt." };
}

std::vector<ListingValue> ActivityListing::row() const
{
    const ui::Dataset &d = m_context.data.activities;
    const double taxRate = number(d, "TAXRATE");
    const std::string type =
        d.text(QStringLiteral("ACTTYPE")).trimmed() == QLatin1String("B") ? "Billing" : "Expense";
    return { textValue(d, "ACTIVITY"), textValue(d, "DESC"), textValue(d, "TAXABLE"),
        { generalText(taxRate), plainNumber(taxRate) }, { type, type },
        moneyValue(d, "ACTRATE1"), moneyValue(d, "FLATAMOUNT") };
}

RecordWalk ActivityListing::makeWalk() const
{
    return activityWalk(m_context.data.activities, m_context.rules);
}

// ---- Staff Listing ---------------------------------------------------------------------------

std::span<const Column> StaffListing::columns() const
{
    static constexpr std::array<Column, 4> kCells = { { { JustifyLeft, 0.8 }, { JustifyLeft, 2.0 },
        { JustifyLeft, 1.0 }, { JustifyRight, 0.8 } } };
    return kCells;
}

std::vector<std::string> StaffListing::titles() const
{
    return { "Staff", "Name", "S.S.N.", "Rate 1" };
}

std::vector<ListingValue> StaffListing::row() const
{
    const ui::Dataset &d = m_context.data.staff;
    return { textValue(d, "EMPNUMBER"), textValue(d, "EMPNAME"), textValue(d, "SSN"),
        moneyValue(d, "EMPRATE1") };
}

RecordWalk StaffListing::makeWalk() const
{
    return staffWalk(m_context.data.staff, m_context.rules);
}

// ---- Project Listing -------------------------------------------------------------------------

std::span<const Column> ProjectListing::columns() const
{
    static constexpr std::array<Column, 3> kCells = { { { JustifyLeft, 1.0 }, { JustifyLeft, 2.0 },
        { JustifyLeft, 1.0 } } };
    return kCells;
}

std::vector<std::string> ProjectListing::titles() const
{
    return { "Project", "Description", "Client" };
}

std::vector<ListingValue> ProjectListing::row() const
{
    const ui::Dataset &d = m_context.data.projects;
    return { textValue(d, "PJ_CODE"), textValue(d, "PJ_DESC"), textValue(d, "PJ_CLIENT") };
}

RecordWalk ProjectListing::makeWalk() const
{
    return projectWalk(m_context.data.projects, m_context.rules);
}

} // namespace reports
