#pragma once

#include <QCheckBox>

#include "ui/field_link.h"

namespace ui {

// A check box bound to a flag field. The values written for ticked and clear follow the field's
// type unless given: "Y"/"N" for a character field, 1/0 for a number, true/false for a logical.
// It reads as ticked for "Y"/"T", a non-zero number or true; a blank field shows clear.
class DbCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit DbCheckBox(const QString &text = {}, QWidget *parent = nullptr);
    void bind(Dataset *dataset, const QString &field, const QVariant &checkedValue = {},
        const QVariant &uncheckedValue = {});
    FieldLink *link() const { return m_link; }
    QVariant checkedValue() const;
    QVariant uncheckedValue() const;

private:
    void showValue();
    void clickedByUser(bool checked);

    FieldLink *m_link;
    QVariant m_checked, m_unchecked;
};

} // namespace ui
