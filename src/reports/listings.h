#pragma once
// The four listings: one row per record of a master table (clients, activities, staff members,
// projects), under the column heading block on every page. Each listing is its walk, its cells,
// its heading and its row; the same rows go to the printed page and to "Save as CSV".
//
// A value longer than its cell is cut where the next cell that prints text begins (the end of
// the last cell when none does), so no value ever overprints another.
#include <ostream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "reports/record_walk.h"
#include "reports/report_layout.h"

namespace reports {

// A value of a row: as printed, and as a spreadsheet reads it (plain decimals with a point).
struct ListingValue
{
    std::string printed;
    std::string plain;
};

class Listing : public ReportLayout
{
public:
    using ReportLayout::ReportLayout;

    bool position() override;
    bool printPage(report::TBaseReport &r) override;

    virtual std::span<const Column> columns() const = 0;
    // The heading row's titles, in cell order.
    virtual std::vector<std::string> titles() const = 0;
    // The row of the record the walk stands on.
    virtual std::vector<ListingValue> row() const = 0;

    // Every selected row with the titles first, as RFC 4180 CSV in UTF-8.
    bool writeCsv(std::ostream &out) override;
    // The cursor the listing walks.
    ui::Dataset &walkDataset() const { return makeWalk().dataset(); }

protected:
    virtual RecordWalk makeWalk() const = 0;

private:
    void printRow(report::TBaseReport &r, const std::vector<ListingValue> &values);

    std::optional<RecordWalk> m_walk;
    bool m_found = false;
};

class ClientListing : public Listing
{
public:
    using Listing::Listing;
    std::span<const Column> columns() const override;
    std::vector<std::string> titles() const override;
    std::vector<ListingValue> row() const override;

protected:
    RecordWalk makeWalk() const override;
};

class ActivityListing : public Listing
{
public:
    using Listing::Listing;
    std::span<const Column> columns() const override;
    std::vector<std::string> titles() const override;
    std::vector<ListingValue> row() const override;

protected:
    RecordWalk makeWalk() const override;
};

class StaffListing : public Listing
{
public:
    using Listing::Listing;
    std::span<const Column> columns() const override;
    std::vector<std::string> titles() const override;
    std::vector<ListingValue> row() const override;

protected:
    RecordWalk makeWalk() const override;
};

class ProjectListing : public Listing
{
public:
    using Listing::Listing;
    std::span<const Column> columns() const override;
    std::vector<std::string> titles() const override;
    std::vector<ListingValue> row() const override;

protected:
    RecordWalk makeWalk() const override;
};

} // namespace reports
