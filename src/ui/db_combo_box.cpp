#include "ui/db_combo_box.h"

#include <QLineEdit>

#include "ui/db_radio_group.h"

namespace ui {

DbComboBox::DbComboBox(Kind kind, QWidget *parent)
    : QComboBox(parent)
    , m_link(new FieldLink(this))
    , m_kind(kind)
{
    m_link->show = [this] { showValue(); };
    if (kind == Kind::Typed) {
        setEditable(true);
        setInsertPolicy(QComboBox::NoInsert);
        connect(lineEdit(), &QLineEdit::textEdited, this, &DbComboBox::typed);
    }
    connect(this, &QComboBox::activated, this, &DbComboBox::activatedByUser);
}

void DbComboBox::addValue(const QString &caption, const QVariant &value)
{
    m_showing = true;
    addItem(caption, value.isValid() ? value : QVariant(caption));
    m_showing = false;
    showValue();
}

void DbComboBox::bind(Dataset *dataset, const QString &field)
{
    m_link->bind(dataset, field);
}

void DbComboBox::showValue()
{
    m_showing = true;
    const QVariant v = m_link->value();
    if (m_kind == Kind::Typed) {
        if (m_link->isBound() && m_link->fieldDef().type == dbf::FieldType::Character)
            lineEdit()->setMaxLength(m_link->fieldDef().width);
        const QString text = v.toString();
        if (lineEdit()->text() != text)
            lineEdit()->setText(text);
    } else {
        int found = -1;
        for (int i = 0; i < count(); ++i)
            if (sameStoredValue(v, itemData(i))) {
                found = i;
                break;
            }
        setCurrentIndex(found);
    }
    m_showing = false;
}

void DbComboBox::activatedByUser(int index)
{
    if (m_showing || index < 0)
        return;
    const QVariant value = m_kind == Kind::Typed ? QVariant(itemText(index)) : itemData(index);
    if (!m_link->write(value))
        showValue();
}

void DbComboBox::typed(const QString &typedText)
{
    QString text = typedText;
    if (m_upperCase && text != text.toUpper()) {
        const int pos = lineEdit()->cursorPosition();
        text = text.toUpper();
        lineEdit()->setText(text);
        lineEdit()->setCursorPosition(pos);
    }
    m_link->write(text);
}

} // namespace ui
