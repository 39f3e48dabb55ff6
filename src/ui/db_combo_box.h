#pragma once

#include <QComboBox>

#include "ui/field_link.h"

namespace ui {

// A combo box bound to a field, in one of two kinds:
//   DropDownList  only the listed items can be chosen; each item shows a caption and stores its
//                 value (the caption itself when no value is given). A stored value not in the
//                 list shows no item.
//   Typed         the text is typed freely (cut to the field's width, upper case when asked)
//                 and the items are offered as ready-made texts; the text is written as typed.
class DbComboBox : public QComboBox
{
    Q_OBJECT
public:
    enum class Kind { DropDownList, Typed };
    explicit DbComboBox(Kind kind = Kind::DropDownList, QWidget *parent = nullptr);
    void addValue(const QString &caption, const QVariant &value = {});
    void bind(Dataset *dataset, const QString &field);
    void setUpperCase(bool on) { m_upperCase = on; }
    Kind kind() const { return m_kind; }
    FieldLink *link() const { return m_link; }

private:
    void showValue();
    void activatedByUser(int index);
    void typed(const QString &text);

    FieldLink *m_link;
    Kind m_kind;
    bool m_upperCase = false;
    bool m_showing = false;
};

} // namespace ui
