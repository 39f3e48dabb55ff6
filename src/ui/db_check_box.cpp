#include "ui/db_check_box.h"

#include "ui/field_format.h"

namespace ui {

DbCheckBox::DbCheckBox(const QString &text, QWidget *parent)
    : QCheckBox(text, parent)
    , m_link(new FieldLink(this))
{
    m_link->show = [this] { showValue(); };
    connect(this, &QCheckBox::clicked, this, &DbCheckBox::clickedByUser);
}

void DbCheckBox::bind(Dataset *dataset, const QString &field, const QVariant &checkedValue,
    const QVariant &uncheckedValue)
{
    m_checked = checkedValue;
    m_unchecked = uncheckedValue;
    m_link->bind(dataset, field);
}

QVariant DbCheckBox::checkedValue() const
{
    if (m_checked.isValid() || !m_link->isBound())
        return m_checked;
    switch (m_link->fieldDef().type) {
    case dbf::FieldType::Numeric:
    case dbf::FieldType::Float:
        return 1.0;
    case dbf::FieldType::Logical:
        return true;
    default:
        return QStringLiteral("Y");
    }
}

QVariant DbCheckBox::uncheckedValue() const
{
    if (m_unchecked.isValid() || !m_link->isBound())
        return m_unchecked;
    switch (m_link->fieldDef().type) {
    case dbf::FieldType::Numeric:
    case dbf::FieldType::Float:
        return 0.0;
    case dbf::FieldType::Logical:
        return false;
    default:
        return QStringLiteral("N");
    }
}

void DbCheckBox::showValue()
{
    const QVariant v = m_link->value();
    bool on = isFlagSet(v);
    if (m_checked.isValid() && !v.isNull())
        on = v.toString().trimmed() == m_checked.toString().trimmed();
    setChecked(on);
}

void DbCheckBox::clickedByUser(bool checked)
{
    if (!m_link->write(checked ? checkedValue() : uncheckedValue()))
        showValue();
}

} // namespace ui
