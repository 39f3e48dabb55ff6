#pragma once

#include <QLineEdit>

#include "ui/field_format.h"
#include "ui/field_link.h"

namespace ui {

// A box for a numeric field: digits, one decimal point and a leading minus. The number is
// written when the box is left, on Return, and before the dataset posts; a blank box writes a
// blank (null) number. A money box shows "$1,234.50" while it is not being typed in.
class DbNumberEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit DbNumberEdit(QWidget *parent = nullptr, DisplayFormat format = DisplayFormat::Default);
    void bind(Dataset *dataset, const QString &field);
    FieldLink *link() const { return m_link; }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showValue();
    void commit();
    QString plainText() const;

    FieldLink *m_link;
    DisplayFormat m_format;
    bool m_dirty = false;
};

// A number box that shows money in the currency format.
class DbMoneyEdit : public DbNumberEdit
{
    Q_OBJECT
public:
    explicit DbMoneyEdit(QWidget *parent = nullptr)
        : DbNumberEdit(parent, DisplayFormat::Money)
    {
    }
};

} // namespace ui
