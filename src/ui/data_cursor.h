#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include <QString>
#include <QVariant>
#include <QVariantList>

#include "dbf/field.h"

namespace ui {

// What a Dataset needs from a table cursor, in Qt terms. One implementation wraps the engine's
// cursor (EngineCursor); tests may supply others. Every operation may throw dbf::Error with the
// engine's message; a throwing edit, post or delete leaves the cursor where it was.
//
// Field values as QVariant, by field type:
//   C, M   QString, trailing blanks removed
//   N, F   double; a blank field is a null QVariant
//   D      QDate; a blank date is a null QDate
//   L      bool; a blank field is a null QVariant
//
// State diagram of the record under the cursor:
//   browse --edit()--> edit --post()/cancel()--> browse
//   browse --append()--> insert --post()/cancel()--> browse
// edit() locks the record (or throws "Record locked ..."); post() and cancel() release it.
class DataCursor
{
public:
    virtual ~DataCursor() = default;

    virtual const dbf::RecordLayout &layout() const = 0;
    // The file this cursor reads, so that datasets over the same table can find each other.
    virtual std::string tableIdentity() const = 0;

    // Rows visible in the current order and range.
    virtual std::size_t recordCount() = 0;
    // Each returns false, and leaves the position as it was, when there is no such row.
    virtual bool first() = 0;
    virtual bool last() = 0;
    virtual bool next() = 0;
    virtual bool prior() = 0;
    // The physical record number under the cursor, 0 when there is none (empty range).
    virtual dbf::RecNo recNo() const = 0;
    // Moves to a record; false when it is gone or outside the current range.
    virtual bool gotoRecNo(dbf::RecNo recNo) = 0;
    // Reads the current record from the file again (another cursor or program may have written
    // it); when it has gone, moves to a neighbour.
    virtual void reread() = 0;

    virtual QVariant value(std::size_t field) const = 0;
    virtual void setValue(std::size_t field, const QVariant &value) = 0;

    virtual void edit() = 0;
    virtual void append() = 0; // a blank new record, not yet in the file
    virtual void post() = 0;
    virtual void cancel() = 0;
    virtual void remove() = 0; // marks the current record deleted; stands on the following one
    virtual void flush() = 0; // pending changes of the table to disk

    // Index order and ranges. tag() is empty in record order.
    virtual void setTag(const QString &tag) = 0;
    virtual QString tag() const = 0;
    // Keys hold one value per key field (a one-field tag takes one value).
    virtual void setRange(const QVariantList &low, const QVariantList &high) = 0;
    virtual void cancelRange() = 0;
    virtual bool findKey(const QVariantList &key) = 0;
    virtual void findNearest(const QVariantList &key) = 0;

    // A second, read-only cursor on the same table in the same order and range, for grids that
    // read rows without moving this cursor.
    virtual std::unique_ptr<DataCursor> reader() const = 0;
};

} // namespace ui
