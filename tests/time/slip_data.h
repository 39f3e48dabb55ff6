#pragma once

#include <initializer_list>
#include <utility>

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
