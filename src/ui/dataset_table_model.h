#pragma once

#include <list>
#include <memory>
#include <unordered_map>

#include <QAbstractTableModel>
#include <QPointer>

#include "ui/dataset.h"
#include "ui/field_format.h"

namespace ui {

// One column of a grid over a dataset.
struct GridColumn
{
    QString field;
    QString title;
    int width = 10; // in characters
    bool checkBox = false; // shows a tick for a set flag ("Y", 1, true) instead of text
    DisplayFormat format = DisplayFormat::Default;
};

// A read-only table model over a dataset, in the dataset's order and range. Rows are read on
// demand through a second cursor of the dataset (so painting never moves the dataset) and kept
// in a bounded cache keyed by row; the model never reads a whole table for painting. Finding
// the row of the dataset's current record, when it is not cached, walks from it towards both
// ends of the order until one is reached.
//
// The model resets when the dataset's rows change (post, delete, tag, range, master moved) and
// repaints when its current record changes; while the dataset's display is frozen it does
// neither.
class DatasetTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    DatasetTableModel(Dataset *dataset, QList<GridColumn> columns, QObject *parent = nullptr,
        int cacheRows = 512);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const QList<GridColumn> &columns() const { return m_columns; }
    Dataset *dataset() const { return m_dataset; }
    // The row showing the dataset's current record, -1 when there is none.
    int currentRow() const;
    // Moves the dataset to the record of a row; false when the row no longer exists.
    bool moveDatasetTo(int row);
    // Rows read from the table since the last reset (for tests of the cache).
    int rowsRead() const { return m_rowsRead; }
    int cachedRows() const { return int(m_cache.size()); }

private:
    struct Row
    {
        dbf::RecNo recNo = 0;
        QList<QVariant> values;
    };
    void reset();
    const Row *row(int index) const;
    void positionReader(int index) const;
    Row readRow() const;
    void remember(int index, Row row) const;
    void currentRecordChanged();

    QPointer<Dataset> m_dataset;
    QList<GridColumn> m_columns;
    QList<int> m_fieldIndex;
    int m_capacity;
    int m_rowCount = 0;
    mutable std::unique_ptr<DataCursor> m_reader;
    mutable int m_readerRow = -1;
    mutable std::unordered_map<int, Row> m_cache;
    mutable std::list<int> m_lru; // most recently used first
    mutable int m_rowsRead = 0;
};

} // namespace ui
