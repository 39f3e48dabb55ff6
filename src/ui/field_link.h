#pragma once

#include <functional>

#include <QObject>
#include <QPointer>

#include "ui/dataset.h"

namespace ui {

// The tie between one data-aware widget and one field of a dataset. The widget gives the link
// two functions: `show` puts the field's value into the widget, `take` reads the widget's
// pending value (for widgets that write only when left, such as dates and numbers). The link
// calls `show` whenever the current record or that field changes, and `take` just before the
// dataset posts. `write` is the widget's only way to change the field: it refuses (and shows
// the stored value again) when the dataset cannot be modified, so that typing into a record
// with auto-edit off does nothing.
class FieldLink : public QObject
{
    Q_OBJECT
public:
    explicit FieldLink(QObject *parent);

    void bind(Dataset *dataset, const QString &field);
    Dataset *dataset() const { return m_dataset; }
    QString fieldName() const { return m_field; }
    int fieldIndex() const { return m_index; }
    // The bound field's definition; requires isBound().
    const dbf::FieldDef &fieldDef() const { return m_dataset->field(m_index); }
    bool isBound() const { return m_dataset && m_dataset->isOpen() && m_index >= 0; }
    QVariant value() const { return isBound() ? m_dataset->value(m_index) : QVariant(); }
    bool canModify() const { return isBound() && m_dataset->canModify(); }
    // Writes a value (starting the edit when needed); false when refused or failed. Engine
    // failures (a record locked by another user) are reported through `failed` and the widget
    // shows the stored value again.
    bool write(const QVariant &value);
    // For widgets that write only when left: typing starts the dataset's edit at once, so that
    // the state shows the record is being changed and a post takes the pending value. False
    // (and the stored value shown again) when refused.
    bool beginEdit();

    std::function<void()> show;
    std::function<void()> take;

signals:
    void failed(const QString &message);

private:
    void refresh();

    QPointer<Dataset> m_dataset;
    QString m_field;
    int m_index = -1;
    QList<QMetaObject::Connection> m_connections;
    bool m_writing = false;
};

} // namespace ui
