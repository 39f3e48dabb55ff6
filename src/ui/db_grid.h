#pragma once

#include <QTableView>

#include "ui/dataset_table_model.h"

namespace ui {

class Messages;

// A read-only grid over a dataset: whole rows are chosen, one at a time. Choosing a row moves
// the dataset to that record; the dataset moving elsewhere moves the selection. A double-click
// moves the dataset first and then sends rowActivated, as does Return.
class DbGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DbGrid(QWidget *parent = nullptr);
    // Builds the model. Each column is as wide as the widest text its field can hold, in the
    // grid's font (widestDisplayText), or as its title; a column whose field the dataset does
    // not have yet is `width` capitals wide. The last column also takes what room is left.
    void bind(Dataset *dataset, const QList<GridColumn> &columns);
    DatasetTableModel *gridModel() const { return m_model; }
    // Selects the row of the dataset's current record.
    void showCurrent();
    // Where a refused move (the dataset could not post its pending edit) is reported; without
    // it the grid just shows the dataset's row again.
    void setMessages(Messages *messages) { m_messages = messages; }
    // Wide enough for every column, its frame and a vertical scroll bar.
    QSize sizeHint() const override;

signals:
    void rowActivated(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void rowChosen(const QModelIndex &current);
    void sizeColumns(const Dataset *dataset, const QList<GridColumn> &columns);

    DatasetTableModel *m_model = nullptr;
    Messages *m_messages = nullptr;
    bool m_following = false;
};

} // namespace ui
