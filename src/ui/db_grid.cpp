#include "ui/db_grid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>

#include "ui/action.h"
#include "ui/field_format.h"

namespace ui {

DbGrid::DbGrid(QWidget *parent)
    : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    // The last column takes what is left, so no part of the grid stands empty.
    horizontalHeader()->setStretchLastSection(true);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (!index.isValid())
            return;
        rowChosen(index);
        emit rowActivated(index.row());
    });
}

void DbGrid::bind(Dataset *dataset, const QList<GridColumn> &columns)
{
    delete m_model;
    m_model = new DatasetTableModel(dataset, columns, this);
    setModel(m_model);
    sizeColumns(dataset, columns);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex &current) {
            if (!m_following)
                rowChosen(current);
        });
    connect(dataset, &Dataset::recordChanged, this, &DbGrid::showCurrent);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DbGrid::showCurrent);
    showCurrent();
}

void DbGrid::sizeColumns(const Dataset *dataset, const QList<GridColumn> &columns)
{
    const QFontMetrics text = fontMetrics();
    const QFontMetrics title = horizontalHeader()->fontMetrics();
    // Room for the cell's and the header's margins and the header's sort arrow space.
    const int margin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) + 12;
    for (int i = 0; i < columns.size(); ++i) {
        const GridColumn &c = columns[i];
        const int index = dataset && dataset->isOpen() ? dataset->fieldIndex(c.field) : -1;
        int content = 0;
        if (c.checkBox)
            content = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this);
        else if (index >= 0)
            content = text.horizontalAdvance(widestDisplayText(dataset->field(index), c.format));
        else
            content = c.width * text.horizontalAdvance(u'X');
        setColumnWidth(i, std::max(content, title.horizontalAdvance(c.title)) + margin);
    }
}

QSize DbGrid::sizeHint() const
{
    QSize hint = QTableView::sizeHint();
    if (!m_model)
        return hint;
    int width = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
    for (int i = 0; i < m_model->columnCount(); ++i)
        width += columnWidth(i);
    hint.setWidth(width);
    return hint;
}

void DbGrid::showCurrent()
{
    if (!m_model)
        return;
    const int row = m_model->currentRow();
    m_following = true;
    if (row < 0) {
        selectionModel()->clear();
    } else {
        const QModelIndex at = m_model->index(row, std::max(0, currentIndex().column()));
        selectionModel()->setCurrentIndex(
            at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(at);
    }
    m_following = false;
}

void DbGrid::rowChosen(const QModelIndex &current)
{
    if (!m_model || !current.isValid())
        return;
    if (m_model->currentRow() == current.row())
        return;
    const auto move = [&] { m_model->moveDatasetTo(current.row()); };
    if (m_messages) {
        runAction(*m_messages, move);
    } else {
        try {
            move();
        } catch (const std::exception &) {
        }
    }
    showCurrent();
}

void DbGrid::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && currentIndex().isValid()) {
        emit rowActivated(currentIndex().row());
        return;
    }
    QTableView::keyPressEvent(event);
}

} // namespace ui
