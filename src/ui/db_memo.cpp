#include "ui/db_memo.h"

namespace ui {

DbMemo::DbMemo(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_link(new FieldLink(this))
{
    m_link->show = [this] { showValue(); };
    connect(this, &QPlainTextEdit::textChanged, this, &DbMemo::changed);
}

void DbMemo::bind(Dataset *dataset, const QString &field)
{
    m_link->bind(dataset, field);
}

void DbMemo::showValue()
{
    const QString text = m_link->value().toString();
    if (text == toPlainText())
        return;
    m_showing = true;
    setPlainText(text);
    m_showing = false;
}

void DbMemo::changed()
{
    if (m_showing)
        return;
    QString text = toPlainText();
    // A character field holds one line of at most its width.
    if (m_link->isBound() && m_link->fieldDef().type == dbf::FieldType::Character)
        text = text.left(m_link->fieldDef().width);
    const QTextCursor at = textCursor();
    if (!m_link->write(text))
        return; // the link has shown the stored text again
    if (text != toPlainText()) {
        showValue();
        setTextCursor(at);
    }
}

} // namespace ui
