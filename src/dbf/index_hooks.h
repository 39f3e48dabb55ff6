#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "dbf/field.h"

namespace dbf {

class Table;

// The seam between the record layer and the index layer.
//
// How the index layer attaches:
//  - Table::open() calls openProductionIndex() when header byte 28 says a production index
//    belongs to the table. It returns the object that keeps the table's tags in step (or null
//    when there is none); the Table owns it and calls it around every record write.
//  - A Cursor walks a RecordOrder. Natural order (record number order) is the default; a tag
//    order, optionally restricted to a key range, is another RecordOrder handed to
//    Cursor::setOrder().
//
// Record images are the raw bytes of a record as stored, the deletion byte at offset 0 included;
// their length is the table's RecordLayout::recordLength().

// Called by Table around each record write, always from inside the write's critical section
// (record lock held for an edit or delete, append lock held for an append).
class IndexHooks
{
public:
    virtual ~IndexHooks() = default;

    // Before anything of the record is written. oldImage is null for an append. May throw
    // (KeyViolation for a unique tag that already holds the new key): then nothing at all is
    // written and the caller's cursor stays in its edit or insert state.
    // Memo fields of newImage may still hold the previous block numbers here, because memo text
    // is placed after this check; keys never contain memo fields.
    virtual void beforeWrite(
        RecNo recNo, const std::uint8_t *oldImage, const std::uint8_t *newImage) = 0;

    // After the record (and its memo text) reached the file. Both images are final. A throw here
    // leaves the record written and the tags needing a reindex; the error reaches the caller.
    virtual void afterWrite(
        RecNo recNo, const std::uint8_t *oldImage, const std::uint8_t *newImage) = 0;

    // The write announced by beforeWrite() failed after it (memo or record I/O): afterWrite()
    // will not come. Releases what beforeWrite() took.
    virtual void abandonWrite() noexcept { }

    // Table::flush(): pending index writes to disk.
    virtual void flush() = 0;

    // Table::pack() asks for the index of the packed table before it switches files: the
    // builder is given each record the new table will hold, in order, and writes the whole
    // index to `target` when finished (synced). Null when the layer keeps no file of its own;
    // afterPack() then rebuilds.
    class PackBuilder
    {
    public:
        virtual ~PackBuilder() = default;
        virtual void add(RecNo recNo, const std::uint8_t *image) = 0;
        virtual void finish() = 0;
    };
    virtual std::unique_ptr<PackBuilder> beginPack(const std::filesystem::path & /*target*/)
    {
        return nullptr;
    }
    // The file a pack's index goes to (empty: none); beginPack() writes it beside, under
    // another name, and pack puts it in place.
    virtual std::filesystem::path packedFile() const { return {}; }

    // Table::pack() rewrote the table: every record number changed and the deleted records are
    // gone. With `switched` the file a PackBuilder wrote is in place and is opened anew;
    // without, every tag must be rebuilt from the records. Called with the table held
    // exclusively.
    virtual void afterPack(bool /*switched*/) { }
};

// Defined by the index layer (mdx_index.cpp). Returns null when the index file is missing (the
// table then works without tags until they are added again). Requires: the table's header and
// layout are read. Throws like Table::open on a damaged index file.
std::unique_ptr<IndexHooks> openProductionIndex(Table &table);

// An order in which a Cursor visits record numbers, holding its own position. Implementations
// report candidates only: the Cursor reads each record and skips the deleted ones itself.
// An order never outlives the Table it was made for.
//
// Each move returns the record number it stands on afterwards, or 0 when there is no such
// record (then the position is unchanged, except first()/last() on an empty order).
class RecordOrder
{
public:
    virtual ~RecordOrder() = default;

    virtual RecNo first() = 0;
    virtual RecNo last() = 0;
    virtual RecNo next() = 0;
    virtual RecNo prior() = 0;
    // The record the order stands on, 0 before the first move or on an empty order.
    virtual RecNo current() const = 0;
    // Stands on record `recNo`, whose present image is `image` (a tag order takes the key from
    // it). False, position unchanged, when the record is not part of this order (outside a range
    // or beyond the end of the table).
    virtual bool seek(RecNo recNo, const std::uint8_t *image) = 0;
    // An independent order over the same records standing at the same place.
    virtual std::unique_ptr<RecordOrder> clone() const = 0;
    // True when next() visits ascending record numbers one by one; the Cursor then reads records
    // in large blocks ahead of the position.
    virtual bool isNaturalOrder() const { return false; }
};

} // namespace dbf
