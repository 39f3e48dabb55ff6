#pragma once

#include <QLineEdit>

#include "ui/field_link.h"

namespace ui {

// A box for a date field, shown "MM/dd/yyyy". Typed text is read by DateText (two-digit years
// 50..99 are 1950..1999, 00..49 are 2000..2049; blank text is a blank date) and written when
// the box is left, on Return and before the dataset posts. Text that is no date is not written:
// the box shows the stored date again and the link reports `failed` with the message.
class DbDateEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit DbDateEdit(QWidget *parent = nullptr);
    void bind(Dataset *dataset, const QString &field);
    FieldLink *link() const { return m_link; }
    // Writes the typed text now; false when it is no date.
    bool commit();

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showValue();

    FieldLink *m_link;
    bool m_dirty = false;
};

} // namespace ui
