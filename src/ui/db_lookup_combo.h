#pragma once

#include "ui/dataset_table_model.h"
#include "ui/db_combo_box.h"

namespace ui {

// A typed combo for a code field whose values come from another dataset (staff initials,
// activity codes): the code is typed, or chosen from a pick list of the look-up dataset opened
// by the combo's button. Choosing a row writes that row's key field into the bound field.
class DbLookupCombo : public DbComboBox
{
    Q_OBJECT
public:
    explicit DbLookupCombo(QWidget *parent = nullptr);
    void setLookup(Dataset *lookup, const QString &keyField, const QList<GridColumn> &columns,
        const QString &caption);
    Dataset *lookup() const { return m_lookup; }
    // Writes the key of the look-up dataset's current row; false when refused or none.
    bool choose();
    // Moves the look-up dataset to the row whose key is the bound field's value; false when
    // there is none.
    bool findCurrent();

    void showPopup() override;

private:
    Dataset *m_lookup = nullptr;
    QString m_keyField;
    QList<GridColumn> m_columns;
    QString m_caption;
};

} // namespace ui
