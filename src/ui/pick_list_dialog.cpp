#include "ui/pick_list_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

PickListDialog::PickListDialog(
    Dataset *dataset, const QList<GridColumn> &columns, const QString &caption, QWidget *parent)
    : QDialog(parent)
    , m_dataset(dataset)
    , m_start(dataset->bookmark())
    , m_grid(new DbGrid(this))
{
    setWindowTitle(caption);
    m_grid->bind(dataset, columns);
    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_grid, &DbGrid::rowActivated, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addWidget(buttons);
    int width = 0;
    for (int i = 0; i < columns.size(); ++i)
        width += m_grid->columnWidth(i);
    resize(std::max(width + 40, 240), 320);
}

void PickListDialog::done(int result)
{
    if (result != QDialog::Accepted && m_start.isValid()) {
        try {
            m_dataset->gotoBookmark(m_start);
        } catch (const std::exception &) {
            // The dataset stays where the user left it.
        }
    }
    QDialog::done(result);
}

} // namespace ui
