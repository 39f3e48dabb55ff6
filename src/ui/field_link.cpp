#include "ui/field_link.h"

#include <exception>

namespace ui {

FieldLink::FieldLink(QObject *parent)
    : QObject(parent)
{
}

void FieldLink::bind(Dataset *dataset, const QString &field)
{
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_dataset = dataset;
    m_field = field;
    m_index = -1;
    if (dataset) {
        // The widget writing now shows its own text already (the edit its write starts re-reads
        // the record); every other widget shows the record.
        m_connections << connect(dataset, &Dataset::recordChanged, this, [this] {
            if (!m_writing)
                refresh();
        }) << connect(dataset, &Dataset::fieldChanged, this, [this](int f) {
            if (f == m_index && !m_writing)
                refresh();
        }) << connect(dataset, &Dataset::aboutToPost, this, [this] {
            if (take && !m_writing)
                take();
        });
    }
    refresh();
}

void FieldLink::refresh()
{
    m_index = m_dataset ? m_dataset->fieldIndex(m_field) : -1;
    if (!show)
        return;
    // Runs from the dataset's signals: a field that cannot be read (a damaged memo) is reported,
    // never thrown through them.
    try {
        show();
    } catch (const std::exception &e) {
        emit failed(QString::fromLocal8Bit(e.what()));
    }
}

bool FieldLink::beginEdit()
{
    if (!canModify()) {
        refresh();
        return false;
    }
    if (m_dataset->isEditing())
        return true;
    m_writing = true;
    try {
        m_dataset->edit();
    } catch (const std::exception &e) {
        m_writing = false;
        refresh();
        emit failed(QString::fromLocal8Bit(e.what()));
        return false;
    }
    m_writing = false;
    return true;
}

bool FieldLink::write(const QVariant &value)
{
    if (!canModify()) {
        refresh();
        return false;
    }
    if (m_dataset->value(m_index) == value)
        return true;
    m_writing = true;
    try {
        m_dataset->setValue(m_index, value);
    } catch (const std::exception &e) {
        m_writing = false;
        refresh();
        emit failed(QString::fromLocal8Bit(e.what()));
        return false;
    }
    m_writing = false;
    return true;
}

} // namespace ui
