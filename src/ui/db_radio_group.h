#pragma once

#include <QGroupBox>
#include <QList>

#include "ui/field_link.h"

class QButtonGroup;
class QRadioButton;
class QVBoxLayout;

namespace ui {

// A group of radio buttons bound to one field; each button stands for one stored value. A value
// that no button stands for (or a blank field) shows no button chosen.
class DbRadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    explicit DbRadioGroup(const QString &title = {}, QWidget *parent = nullptr);
    void addItem(const QString &caption, const QVariant &value);
    void bind(Dataset *dataset, const QString &field);
    FieldLink *link() const { return m_link; }
    // The index of the chosen button, -1 when none.
    int itemIndex() const;
    QRadioButton *button(int index) const { return m_buttons.value(index); }

private:
    void showValue();
    void chosen(int index);

    FieldLink *m_link;
    QButtonGroup *m_group;
    QVBoxLayout *m_layout;
    QList<QRadioButton *> m_buttons;
    QList<QVariant> m_values;
};

// Whether a stored value stands for an item's value: numbers by number, text without trailing
// blanks, case-sensitive.
bool sameStoredValue(const QVariant &stored, const QVariant &item);

} // namespace ui
