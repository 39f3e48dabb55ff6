#include "ui/db_radio_group.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace ui {

bool sameStoredValue(const QVariant &stored, const QVariant &item)
{
    if (stored.isNull() || !item.isValid())
        return false;
    const auto isNumber = [](const QVariant &v) {
        return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Int
            || v.typeId() == QMetaType::LongLong;
    };
    if (isNumber(stored) || isNumber(item)) {
        bool a = false, b = false;
        const double x = stored.toDouble(&a), y = item.toDouble(&b);
        return a && b && x == y;
    }
    QString s = stored.toString(), t = item.toString();
    while (s.endsWith(u' '))
        s.chop(1);
    while (t.endsWith(u' '))
        t.chop(1);
    return s == t;
}

DbRadioGroup::DbRadioGroup(const QString &title, QWidget *parent)
    : QGroupBox(title, parent)
    , m_link(new FieldLink(this))
    , m_group(new QButtonGroup(this))
    , m_layout(new QVBoxLayout(this))
{
    m_link->show = [this] { showValue(); };
    connect(m_group, &QButtonGroup::idClicked, this, &DbRadioGroup::chosen);
}

void DbRadioGroup::addItem(const QString &caption, const QVariant &value)
{
    auto *b = new QRadioButton(caption, this);
    m_group->addButton(b, int(m_buttons.size()));
    m_layout->addWidget(b);
    m_buttons << b;
    m_values << value;
    showValue();
}

void DbRadioGroup::bind(Dataset *dataset, const QString &field)
{
    m_link->bind(dataset, field);
}

int DbRadioGroup::itemIndex() const
{
    return m_group->checkedId();
}

void DbRadioGroup::showValue()
{
    const QVariant v = m_link->value();
    int chosenIndex = -1;
    for (int i = 0; i < m_values.size(); ++i)
        if (sameStoredValue(v, m_values[i])) {
            chosenIndex = i;
            break;
        }
    // An exclusive group cannot show no button chosen; switch exclusivity off to clear it.
    m_group->setExclusive(false);
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setChecked(i == chosenIndex);
    m_group->setExclusive(true);
}

void DbRadioGroup::chosen(int index)
{
    if (!m_link->write(m_values.value(index)))
        showValue();
}

} // namespace ui
