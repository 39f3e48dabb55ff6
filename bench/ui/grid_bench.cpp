// How fast the grid model over a dataset shows a large table: the first screen, the last
// screen, a jump to the middle, the row of the current record, a master-detail range through
// an index tag and a locate over every row. Run by hand:
//   tarnw-bench-grid [records, default 100000]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "dbf/cursor.h"
#include "dbf/table.h"
#include "ui/dataset.h"
#include "ui/dataset_table_model.h"
#include "ui/engine_cursor.h"
#include "ui/field_locator.h"

using namespace ui;

namespace {

double millis(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void screen(DatasetTableModel &model, int from, int rows)
{
    for (int r = from; r < from + rows && r < model.rowCount(); ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            model.data(model.index(r, c), Qt::DisplayRole);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const std::filesystem::path path =
        std::filesystem::path(dir.path().toStdString()) / "SLIPS.DBF";
    dbf::Table::create(path,
        { { "SL_NUMBER", dbf::FieldType::Numeric, 8, 0 },
            { "SL_CLIENT", dbf::FieldType::Character, 6, 0 },
            { "SL_DESC", dbf::FieldType::Character, 40, 0 },
            { "SL_HOURS", dbf::FieldType::Numeric, 8, 2 },
            { "SL_DATE", dbf::FieldType::Date, 8, 0 } });
    const double fill = millis([&] {
        auto table = dbf::Table::open(path, dbf::OpenMode::Exclusive);
        dbf::Cursor c(*table);
        for (int i = 1; i <= records; ++i) {
            c.append();
            c.setInteger("SL_NUMBER", i);
            c.setText("SL_CLIENT", std::to_string(1000 + i % 500));
            c.setText("SL_DESC", "Conference and drafting, item " + std::to_string(i));
            c.setNumber("SL_HOURS", (i % 40) * 0.25);
            c.setDate("SL_DATE", dbf::Date(2026, 1 + i % 12, 1 + i % 28));
            c.post();
        }
        table->addTag("CLIENT", "SL_CLIENT");
    });
    std::printf("records                          %d\n", records);
    std::printf("fill table and build tag         %9.1f ms\n", fill);

    auto table = std::shared_ptr<dbf::Table>(dbf::Table::open(path, dbf::OpenMode::Shared));
    Dataset slips("slips");
    slips.open(std::make_unique<EngineCursor>(table));
    const QList<GridColumn> columns{ { "SL_NUMBER", "Slip", 8, false, DisplayFormat::Default },
        { "SL_CLIENT", "Client", 6, false, DisplayFormat::Default },
        { "SL_DESC", "Description", 40, false, DisplayFormat::Default },
        { "SL_HOURS", "Hours", 8, false, DisplayFormat::Hours },
        { "SL_DATE", "Date", 10, false, DisplayFormat::Default } };
    std::unique_ptr<DatasetTableModel> model;
    const double open =
        millis([&] { model = std::make_unique<DatasetTableModel>(&slips, columns); });
    std::printf("model reset (record count)       %9.1f ms\n", open);
    std::printf(
        "first screen (40 rows)           %9.1f ms\n", millis([&] { screen(*model, 0, 40); }));
    std::printf("last screen (40 rows)            %9.1f ms\n",
        millis([&] { screen(*model, records - 40, 40); }));
    std::printf("screen in the middle             %9.1f ms\n",
        millis([&] { screen(*model, records / 2, 40); }));
    const double all = millis([&] { screen(*model, 0, records); });
    std::printf("scroll through all rows          %9.1f ms  (cache %d rows, read %d)\n", all,
        model->cachedRows(), model->rowsRead());
    slips.gotoBookmark({ dbf::RecNo(records / 3) });
    int row = -1;
    const double current = millis([&] { row = model->currentRow(); });
    std::printf("row of an uncached current rec.  %9.1f ms  (row %d)\n", current, row);

    slips.setTag("CLIENT");
    const double range = millis([&] {
        slips.setRange({ QStringLiteral("1250") }, { QStringLiteral("1250") });
        screen(*model, 0, 40);
    });
    std::printf("range of one client + screen     %9.1f ms  (%d rows)\n", range, model->rowCount());
    slips.cancelRange();
    slips.setTag(QString());

    bool found = false;
    const double locate = millis([&] {
        found = locateFirst(slips,
            { "SL_DESC", "item " + QString::number(records), LocateSearchType::PartialAnywhere,
                false });
    });
    std::printf(
        "locate in the last row (walk)    %9.1f ms  (%s)\n", locate, found ? "found" : "missing");
    return 0;
}
