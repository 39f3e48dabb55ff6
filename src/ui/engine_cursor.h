#pragma once

#include <map>
#include <memory>
#include <vector>

#include "dbf/cursor.h"
#include "dbf/table.h"
#include "ui/data_cursor.h"

namespace ui {

// The Dataset's cursor over a real table: a dbf::Cursor plus the conversions between field
// bytes and QVariant (see DataCursor). Text is read and written as code page 1252's Latin-1
// part, which is what the tables hold.
//
// Orders and ranges. Record order is the default (tag ""). A tag of the table's production
// index gives its order, ranges and key searches (keys made from one value per key part;
// fewer values make a partial key matching every key that begins with them). When the table
// has no tag of that name (its index file is missing, or a test table has none), a tag names
// key fields instead: a tag defined with defineTag(), or one field of the same name, or field
// names joined by '+'. Such a key-field tag keeps record order, and its range walks the table
// keeping the rows whose leading key fields lie between the low and high keys; findKey and
// findNearest look at the rows of the range in that order.
//
// Key comparison of key-field tags: C fields by their text without trailing blanks (dBASE pads
// keys with blanks, so the two agree), case-sensitive; N and F by number (blank as 0); D by date
// (blank first); L false before true.
//
// Ownership: shares the Table, so that cursors and readers keep it open as long as they live.
class EngineCursor : public DataCursor
{
public:
    explicit EngineCursor(std::shared_ptr<dbf::Table> table);
    // Opens table `name` (no extension, any case) of a data directory, shared with other
    // programs, and a cursor on it:
    //   clients.open(ui::EngineCursor::open(dataDir, "TWCLIENT"));
    static std::unique_ptr<EngineCursor> open(
        const std::filesystem::path &directory, std::string_view name);
    ~EngineCursor() override;

    // Names a tag for this cursor and its readers: its key fields, by name.
    void defineTag(const QString &tag, const QStringList &fields);
    dbf::Cursor &engine() { return *m_cursor; }
    dbf::Table &table() { return *m_table; }

    const dbf::RecordLayout &layout() const override;
    std::string tableIdentity() const override;
    std::size_t recordCount() override;
    bool first() override;
    bool last() override;
    bool next() override;
    bool prior() override;
    dbf::RecNo recNo() const override;
    bool gotoRecNo(dbf::RecNo recNo) override;
    void reread() override;
    QVariant value(std::size_t field) const override;
    void setValue(std::size_t field, const QVariant &value) override;
    void edit() override;
    void append() override;
    void post() override;
    void cancel() override;
    void remove() override;
    void flush() override;
    void setTag(const QString &tag) override;
    QString tag() const override { return m_tag; }
    void setRange(const QVariantList &low, const QVariantList &high) override;
    void cancelRange() override;
    bool findKey(const QVariantList &key) override;
    void findNearest(const QVariantList &key) override;
    std::unique_ptr<DataCursor> reader() const override;

    // How a key value compares with a field of a record image: <0, 0, >0. Exposed for tests.
    static int compareField(
        const dbf::FieldDef &field, const std::uint8_t *fieldBytes, const QVariant &key);

private:
    std::vector<std::size_t> keyFieldsOf(const QString &tag) const;
    bool tableHasTag(const QString &tag) const;
    std::string indexKey(const QVariantList &values);
    void applyOrder();
    int compareKey(const std::uint8_t *image, const QVariantList &key) const;

    std::shared_ptr<dbf::Table> m_table;
    std::unique_ptr<dbf::Cursor> m_cursor;
    std::map<QString, QStringList> m_tags; // upper-case name -> key fields
    QString m_tag;
    bool m_indexTag = false; // m_tag is a tag of the production index
    std::string m_lowKey, m_highKey; // its range, when m_hasIndexRange
    bool m_hasIndexRange = false;
    std::vector<std::size_t> m_keyFields;
    QVariantList m_low, m_high;
};

} // namespace ui
