#include "ui/db_date_edit.h"

#include <QDate>

#include "ui/date_text.h"

namespace ui {

DbDateEdit::DbDateEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_link(new FieldLink(this))
{
    setMaxLength(10);
    setPlaceholderText(QStringLiteral("MM/DD/YYYY"));
    m_link->show = [this] { showValue(); };
    m_link->take = [this] { commit(); };
    connect(this, &QLineEdit::textEdited, this, [this] {
        const QString typed = text();
        const int at = cursorPosition();
        if (!m_link->beginEdit())
            return;
        setText(typed);
        setCursorPosition(at);
        m_dirty = true;
    });
    connect(this, &QLineEdit::returnPressed, this, &DbDateEdit::commit);
}

void DbDateEdit::bind(Dataset *dataset, const QString &field)
{
    m_link->bind(dataset, field);
}

void DbDateEdit::showValue()
{
    m_dirty = false;
    setText(DateText::format(m_link->value().toDate()));
}

bool DbDateEdit::commit()
{
    if (!m_dirty)
        return true;
    m_dirty = false;
    const DateText::Parsed parsed = DateText::parse(text());
    switch (parsed.status) {
    case DateText::Status::Blank:
        m_link->write(QDate());
        break;
    case DateText::Status::Valid:
        m_link->write(parsed.date);
        break;
    case DateText::Status::Invalid: {
        const QString typed = text();
        showValue();
        emit m_link->failed(QStringLiteral("%1 is not a valid date.").arg(typed.trimmed()));
        return false;
    }
    }
    showValue();
    return true;
}

void DbDateEdit::focusOutEvent(QFocusEvent *event)
{
    commit();
    QLineEdit::focusOutEvent(event);
}

} // namespace ui
