#pragma once

#include <QString>

#include "template_dir.h"
#include "ui/dataset.h"
#include "ui/engine_cursor.h"

// A data directory made as at the program's first start, whose tables tests open in datasets.
class DatasetDir : public TemplateDir
{
public:
    // Opens `dataset` over table `name`, in the order of `tag` (record order when empty).
    void open(ui::Dataset &dataset, const char *name, const QString &tag = {}) const
    {
        dataset.open(ui::EngineCursor::open(path(), name));
        if (!tag.isEmpty())
            dataset.setTag(tag);
        dataset.first();
    }
};
