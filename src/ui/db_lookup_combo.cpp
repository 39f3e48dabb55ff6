#include "ui/db_lookup_combo.h"

#include "ui/db_radio_group.h"
#include "ui/pick_list_dialog.h"

namespace ui {

DbLookupCombo::DbLookupCombo(QWidget *parent)
    : DbComboBox(Kind::Typed, parent)
{
}

void DbLookupCombo::setLookup(Dataset *lookup, const QString &keyField,
    const QList<GridColumn> &columns, const QString &caption)
{
    m_lookup = lookup;
    m_keyField = keyField;
    m_columns = columns;
    m_caption = caption;
}

bool DbLookupCombo::choose()
{
    if (!m_lookup || !m_lookup->isOpen() || m_lookup->bookmark().recNo == 0)
        return false;
    const bool written = link()->write(m_lookup->value(m_keyField));
    link()->show(); // the link leaves the widget's own writes unshown; this one came from the list
    return written;
}

bool DbLookupCombo::findCurrent()
{
    if (!m_lookup || !m_lookup->isOpen())
        return false;
    const QVariant code = link()->value();
    if (code.isNull() || code.toString().trimmed().isEmpty())
        return false;
    // The look-up tables are small code lists; walking them keeps this independent of tags.
    const Dataset::Bookmark start = m_lookup->bookmark();
    for (m_lookup->first(); !m_lookup->eof() && m_lookup->bookmark().isValid(); m_lookup->next())
        if (sameStoredValue(m_lookup->value(m_keyField), code))
            return true;
    m_lookup->gotoBookmark(start);
    return false;
}

void DbLookupCombo::showPopup()
{
    if (!m_lookup || !m_lookup->isOpen())
        return;
    try {
        findCurrent();
        PickListDialog dialog(m_lookup, m_columns, m_caption, this);
        if (dialog.exec() == QDialog::Accepted)
            choose();
    } catch (const std::exception &e) {
        emit link()->failed(QString::fromLocal8Bit(e.what()));
    }
}

} // namespace ui
