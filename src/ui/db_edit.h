#pragma once

#include <QLineEdit>

#include "ui/field_link.h"

namespace ui {

// A one-line text box bound to a character field. The longest text is the field's width unless
// set smaller; with upper case on, every letter typed is turned to upper case. Each keystroke is
// written to the field (which starts an edit when auto-edit is on, and is undone otherwise).
class DbEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit DbEdit(QWidget *parent = nullptr);
    void bind(Dataset *dataset, const QString &field, int maxLength = 0);
    void setUpperCase(bool on) { m_upperCase = on; }
    FieldLink *link() const { return m_link; }

private:
    void showValue();
    void edited(const QString &text);

    FieldLink *m_link;
    bool m_upperCase = false;
    int m_maxLength = 0;
};

// The name the style guide uses for this widget.
using DbLineEdit = DbEdit;

} // namespace ui
