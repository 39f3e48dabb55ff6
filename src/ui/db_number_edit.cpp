#include "ui/db_number_edit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QRegularExpressionValidator>

namespace ui {

DbNumberEdit::DbNumberEdit(QWidget *parent, DisplayFormat format)
    : QLineEdit(parent)
    , m_link(new FieldLink(this))
    , m_format(format)
{
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_link->show = [this] { showValue(); };
    m_link->take = [this] { commit(); };
    connect(this, &QLineEdit::textEdited, this, [this] {
        const QString typed = text();
        const int at = cursorPosition();
        if (!m_link->beginEdit())
            return;
        // Starting the edit re-reads the record under its lock and shows it; keep the typing.
        setText(typed);
        setCursorPosition(at);
        m_dirty = true;
    });
    connect(this, &QLineEdit::returnPressed, this, &DbNumberEdit::commit);
}

QString DbNumberEdit::refusedText(const QString &typed)
{
    return QStringLiteral("\"%1\" is not a valid number.  A number is typed with digits, one "
                          "decimal point and a leading minus only.")
        .arg(typed);
}

// Whether the text with `inserted` in place of the selection (or at the cursor) may still become
// a number; when not, the refusal is reported and the box left as it was.
bool DbNumberEdit::acceptsInsert(const QString &inserted)
{
    const QValidator *check = validator();
    if (!check || isReadOnly())
        return true;
    QString next = text();
    int at = cursorPosition();
    if (hasSelectedText()) {
        at = selectionStart();
        next.remove(at, selectedText().size());
    }
    next.insert(at, inserted);
    int pos = at + int(inserted.size());
    if (check->validate(next, pos) != QValidator::Invalid)
        return true;
    emit m_link->failed(refusedText(next));
    return false;
}

void DbNumberEdit::keyPressEvent(QKeyEvent *event)
{
    QString inserted;
    if (event->matches(QKeySequence::Paste)) {
        if (const QClipboard *clipboard = QGuiApplication::clipboard())
            inserted = clipboard->text();
    } else if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        const QString t = event->text();
        if (!t.isEmpty() && t.at(0).isPrint())
            inserted = t;
    }
    if (!inserted.isEmpty() && !acceptsInsert(inserted)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DbNumberEdit::bind(Dataset *dataset, const QString &field)
{
    m_link->bind(dataset, field);
    if (m_link->isBound()) {
        const dbf::FieldDef &f = m_link->fieldDef();
        const QString pattern = f.decimals > 0
            ? QStringLiteral("-?\\d{0,%1}(\\.\\d{0,%2})?").arg(f.width).arg(f.decimals)
            : QStringLiteral("-?\\d{0,%1}").arg(f.width);
        setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), this));
    }
}

QString DbNumberEdit::plainText() const
{
    const QVariant v = m_link->value();
    if (v.isNull() || !m_link->isBound())
        return {};
    return QString::number(v.toDouble(), 'f', m_link->fieldDef().decimals);
}

void DbNumberEdit::showValue()
{
    m_dirty = false;
    if (!m_link->isBound()) {
        setText({});
        return;
    }
    if (hasFocus() || m_format == DisplayFormat::Default)
        setText(plainText());
    else
        setText(ui::displayText(m_link->value(), m_link->fieldDef(), m_format));
}

void DbNumberEdit::commit()
{
    if (!m_dirty)
        return;
    m_dirty = false;
    const QString t = text().trimmed();
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (t.isEmpty() || t == QStringLiteral("-"))
        m_link->write(QVariant());
    else if (ok)
        m_link->write(v);
    else {
        emit m_link->failed(refusedText(t));
        showValue();
    }
}

void DbNumberEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (m_format != DisplayFormat::Default && !m_dirty)
        setText(plainText());
}

void DbNumberEdit::focusOutEvent(QFocusEvent *event)
{
    commit();
    QLineEdit::focusOutEvent(event);
    showValue();
}

} // namespace ui
