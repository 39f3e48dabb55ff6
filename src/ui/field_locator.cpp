#include "ui/field_locator.h"

#include <stdexcept>

#include "ui/field_format.h"

namespace ui {

namespace {

bool search(Dataset &dataset, const LocateRequest &request, bool fromCurrent)
{
    if (!dataset.isOpen())
        return false;
    const int field = dataset.fieldIndex(request.field);
    if (field < 0)
        throw std::invalid_argument("Field " + request.field.toStdString() + " not found.");
    const dbf::FieldDef &def = dataset.field(field);
    // A pending edit is posted (or dropped when unchanged) before looking, as any move does.
    if (dataset.isEditing()) {
        if (dataset.isModified())
            dataset.post();
        else
            dataset.cancel();
    }
    std::unique_ptr<DataCursor> reader = dataset.cursor()->reader();
    bool on = reader->first();
    const dbf::RecNo current = dataset.bookmark().recNo;
    if (fromCurrent && current != 0)
        on = reader->gotoRecNo(current) && reader->next();
    for (; on; on = reader->next()) {
        const QString text = displayText(reader->value(std::size_t(field)), def);
        if (locateMatches(text, request.value, request.type, request.caseSensitive))
            return dataset.gotoBookmark({ reader->recNo() });
    }
    return false;
}

} // namespace

bool locateFirst(Dataset &dataset, const LocateRequest &request)
{
    return search(dataset, request, false);
}

bool locateNext(Dataset &dataset, const LocateRequest &request)
{
    return search(dataset, request, true);
}

} // namespace ui
