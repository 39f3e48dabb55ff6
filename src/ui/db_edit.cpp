#include "ui/db_edit.h"

namespace ui {

DbEdit::DbEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_link(new FieldLink(this))
{
    m_link->show = [this] { showValue(); };
    connect(this, &QLineEdit::textEdited, this, &DbEdit::edited);
}

void DbEdit::bind(Dataset *dataset, const QString &field, int maxLength)
{
    m_maxLength = maxLength;
    m_link->bind(dataset, field);
}

void DbEdit::showValue()
{
    if (m_link->isBound()) {
        const int width = m_link->fieldDef().width;
        const bool memo = m_link->fieldDef().type == dbf::FieldType::Memo;
        setMaxLength(m_maxLength > 0 ? m_maxLength : (memo ? 32767 : width));
    }
    const QString text = m_link->value().toString();
    if (text != QLineEdit::text())
        setText(text);
}

void DbEdit::edited(const QString &typed)
{
    QString text = typed;
    if (m_upperCase && text != text.toUpper()) {
        const int pos = cursorPosition();
        text = text.toUpper();
        setText(text);
        setCursorPosition(pos);
    }
    m_link->write(text);
}

} // namespace ui
