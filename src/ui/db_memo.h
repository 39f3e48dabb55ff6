#pragma once

#include <QPlainTextEdit>

#include "ui/field_link.h"

namespace ui {

// A multi-line box bound to a memo (or long character) field. Each change is written to the
// field; with auto-edit off and the dataset browsing, typing is undone.
class DbMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit DbMemo(QWidget *parent = nullptr);
    void bind(Dataset *dataset, const QString &field);
    FieldLink *link() const { return m_link; }

private:
    void showValue();
    void changed();

    FieldLink *m_link;
    bool m_showing = false;
};

// The name the style guide uses for this widget.
using DbMemoEdit = DbMemo;

} // namespace ui
