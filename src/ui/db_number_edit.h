#pragma once

#include <QLineEdit>

#include "ui/field_format.h"
#include "ui/field_link.h"

namespace ui {

// A box for a numeric field: digits, one decimal point and a leading minus. The number is
// written when the box is left, on Return, and before the dataset posts; a blank box writes a
// blank (null) number. A money box shows "$1,234.50" while it is not being typed in.
//
// A keystroke or paste that would not leave a number (a letter, a second point, a decimal more
// than the field holds) is refused and reported through the link's `failed` with
// refusedText(); the box keeps what it had, so the number stored is always the one shown and
// typed. Text that is no number when the box is left (a lone ".") is refused the same way and
// the stored value shown again.
class DbNumberEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit DbNumberEdit(QWidget *parent = nullptr, DisplayFormat format = DisplayFormat::Default);
    void bind(Dataset *dataset, const QString &field);
    FieldLink *link() const { return m_link; }

    static QString refusedText(const QString &typed);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showValue();
    void commit();
    QString plainText() const;
    bool acceptsInsert(const QString &inserted);

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
