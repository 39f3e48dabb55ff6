#pragma once

#include <initializer_list>
#include <utility>

#include <QString>
#include <QStringList>
#include <QVariant>

#include "dataset_dir.h"
#include "ui/dataset.h"

// Appends and posts one record holding the given field values.
inline void addRow(
    ui::Dataset &dataset, std::initializer_list<std::pair<const char *, QVariant>> values)
{
    dataset.insert();
    for (const auto &[field, value] : values)
        dataset.setValue(QLatin1String(field), value);
    dataset.post();
}

// One field of every record of a table, in the order of `tag`, read through a dataset of its
// own (so that it sees what is on disk, not what a window's dataset holds).
inline QStringList column(
    const DatasetDir &dir, const char *table, const QString &tag, const QString &field)
{
    ui::Dataset check;
    dir.open(check, table, tag);
    QStringList result;
    for (check.first(); !check.isEmpty() && !check.eof(); check.next())
        result << check.text(field);
    return result;
}
