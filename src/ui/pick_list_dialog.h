#pragma once

#include <QDialog>

#include "ui/db_grid.h"

class QPushButton;

namespace ui {

// A list of the rows of a dataset to choose one from: the grid with its columns, "OK" and
// "Cancel". A double-click or Return on a row is OK. On Accepted the dataset stands on the
// chosen row; on Cancel it is back where it was.
class PickListDialog : public QDialog
{
    Q_OBJECT
public:
    PickListDialog(Dataset *dataset, const QList<GridColumn> &columns, const QString &caption,
        QWidget *parent = nullptr);
    DbGrid *grid() const { return m_grid; }
    QPushButton *okButton() const { return m_ok; }

    void done(int result) override;

private:
    Dataset *m_dataset;
    Dataset::Bookmark m_start;
    DbGrid *m_grid;
    QPushButton *m_ok;
};

} // namespace ui
