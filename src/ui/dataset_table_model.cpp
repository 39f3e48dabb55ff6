#include "ui/dataset_table_model.h"

#include <cstdlib>

namespace ui {

DatasetTableModel::DatasetTableModel(
    Dataset *dataset, QList<GridColumn> columns, QObject *parent, int cacheRows)
    : QAbstractTableModel(parent)
    , m_dataset(dataset)
    , m_columns(std::move(columns))
    , m_capacity(std::max(cacheRows, 1))
{
    connect(dataset, &Dataset::rowsChanged, this, &DatasetTableModel::reset);
    connect(dataset, &Dataset::recordChanged, this, &DatasetTableModel::currentRecordChanged);
    reset();
}

void DatasetTableModel::reset()
{
    beginResetModel();
    m_cache.clear();
    m_lru.clear();
    m_reader.reset();
    m_readerRow = -1;
    m_rowsRead = 0;
    m_fieldIndex.clear();
    m_rowCount = 0;
    if (m_dataset && m_dataset->isOpen()) {
        for (const GridColumn &c : m_columns)
            m_fieldIndex << m_dataset->fieldIndex(c.field);
        try {
            m_rowCount = int(m_dataset->recordCount());
        } catch (const std::exception &) {
            // A table that cannot be counted now (damaged, or busy) shows no rows until the
            // next change of the dataset; the dataset's own operations report the failure.
            m_rowCount = 0;
        }
    }
    endResetModel();
}

int DatasetTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int DatasetTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

Qt::ItemFlags DatasetTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QVariant DatasetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return m_columns[section].title;
    return {};
}

QVariant DatasetTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rowCount || index.column() >= m_columns.size())
        return {};
    if (role != Qt::DisplayRole && role != Qt::CheckStateRole && role != Qt::TextAlignmentRole)
        return {};
    const GridColumn &column = m_columns[index.column()];
    const int fieldIndex = m_fieldIndex.value(index.column(), -1);
    if (fieldIndex < 0)
        return {};
    const dbf::FieldDef &field = m_dataset->field(fieldIndex);
    if (role == Qt::TextAlignmentRole) {
        const bool number =
            field.type == dbf::FieldType::Numeric || field.type == dbf::FieldType::Float;
        if (column.checkBox)
            return int(Qt::AlignCenter);
        return int((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    const Row *r = row(index.row());
    if (!r)
        return {};
    const QVariant &value = r->values[index.column()];
    if (column.checkBox) {
        if (role == Qt::CheckStateRole)
            return int(isFlagSet(value) ? Qt::Checked : Qt::Unchecked);
        return {};
    }
    if (role == Qt::CheckStateRole)
        return {};
    return displayText(value, field, column.format);
}

void DatasetTableModel::positionReader(int index) const
{
    if (!m_reader) {
        m_reader = m_dataset->cursor()->reader();
        m_readerRow = -1;
    }
    int fromHere = m_readerRow >= 0 ? std::abs(index - m_readerRow) : m_rowCount;
    const int fromFirst = index;
    const int fromLast = m_rowCount - 1 - index;
    if (fromFirst < fromHere && fromFirst <= fromLast) {
        m_readerRow = m_reader->first() ? 0 : -1;
        fromHere = index;
    } else if (fromLast < fromHere) {
        m_readerRow = m_reader->last() ? m_rowCount - 1 : -1;
        fromHere = fromLast;
    }
    while (m_readerRow >= 0 && m_readerRow < index) {
        if (!m_reader->next()) {
            m_readerRow = -1;
            return;
        }
        ++m_readerRow;
    }
    while (m_readerRow > index) {
        if (!m_reader->prior()) {
            m_readerRow = -1;
            return;
        }
        --m_readerRow;
    }
}

DatasetTableModel::Row DatasetTableModel::readRow() const
{
    Row r;
    r.recNo = m_reader->recNo();
    for (int f : std::as_const(m_fieldIndex))
        r.values << (f >= 0 ? m_reader->value(std::size_t(f)) : QVariant());
    ++m_rowsRead;
    return r;
}

void DatasetTableModel::remember(int index, Row row) const
{
    m_cache[index] = std::move(row);
    m_lru.push_front(index);
    while (int(m_cache.size()) > m_capacity) {
        m_cache.erase(m_lru.back());
        m_lru.pop_back();
    }
}

const DatasetTableModel::Row *DatasetTableModel::row(int index) const
{
    if (!m_dataset || !m_dataset->isOpen() || index < 0 || index >= m_rowCount)
        return nullptr;
    auto it = m_cache.find(index);
    if (it != m_cache.end()) {
        m_lru.remove(index);
        m_lru.push_front(index);
        return &it->second;
    }
    try {
        positionReader(index);
        if (m_readerRow != index)
            return nullptr;
        remember(index, readRow());
    } catch (const std::exception &) {
        // A row that cannot be read (locked file, another program's change) shows empty; the
        // next reset reads it again. Painting never throws.
        return nullptr;
    }
    return &m_cache[index];
}

int DatasetTableModel::currentRow() const
{
    if (!m_dataset || !m_dataset->isOpen())
        return -1;
    const dbf::RecNo current = m_dataset->bookmark().recNo;
    if (current == 0)
        return -1;
    for (const auto &[index, r] : m_cache)
        if (r.recNo == current)
            return index;
    // Two readers walk from the current record towards both ends at once; the first to reach
    // its end tells the row, after twice the distance to the nearer end.
    try {
        std::unique_ptr<DataCursor> back = m_dataset->cursor()->reader();
        std::unique_ptr<DataCursor> ahead = m_dataset->cursor()->reader();
        if (!back->gotoRecNo(current) || !ahead->gotoRecNo(current))
            return -1;
        for (int steps = 0; steps < m_rowCount; ++steps) {
            if (!back->prior())
                return steps;
            if (!ahead->next())
                return m_rowCount - 1 - steps;
        }
    } catch (const std::exception &) {
    }
    return -1;
}

bool DatasetTableModel::moveDatasetTo(int index)
{
    const Row *r = row(index);
    return r && m_dataset->gotoBookmark({ r->recNo });
}

void DatasetTableModel::currentRecordChanged()
{
    if (!m_dataset || !m_dataset->isOpen())
        return;
    const dbf::RecNo current = m_dataset->bookmark().recNo;
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it)
        if (it->second.recNo == current) {
            const int index = it->first;
            m_lru.remove(index);
            m_cache.erase(it);
            emit dataChanged(this->index(index, 0), this->index(index, columnCount() - 1));
            return;
        }
}

} // namespace ui
