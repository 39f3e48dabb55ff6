#pragma once

#include <QDialog>

#include "ui/field_locator.h"

class QCheckBox;
class QListWidget;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ui {

class Messages;

// The field-value locate dialog ("Locate Client", "Locate Time Slip"): a field of the dataset,
// a value, the search type and the case option; "Fi&rst" finds the first matching row of the
// dataset's order, "&Next" (the default button) the next one after the current row. A row
// found becomes the dataset's current row and the dialog stays open for the next search; when
// nothing matches an information box says so. "Cancel" closes it.
class LocateDialog : public QDialog
{
    Q_OBJECT
public:
    static const QString kNotFound;

    LocateDialog(Dataset *dataset, Messages &messages, const QString &caption,
        const QString &preselectedField, QWidget *parent = nullptr);

    LocateRequest request() const;
    void setRequest(const LocateRequest &request);

    QListWidget *fieldList() const { return m_fields; }
    QLineEdit *valueBox() const { return m_value; }
    QPushButton *firstButton() const { return m_first; }
    QPushButton *nextButton() const { return m_next; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void find(bool next);

    Dataset *m_dataset;
    Messages &m_messages;
    QListWidget *m_fields;
    QLineEdit *m_value;
    QRadioButton *m_exact;
    QRadioButton *m_beginning;
    QRadioButton *m_anywhere;
    QCheckBox *m_case;
    QPushButton *m_first;
    QPushButton *m_next;
    QPushButton *m_cancel;
};

} // namespace ui
