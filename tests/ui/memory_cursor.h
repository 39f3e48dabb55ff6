#pragma once

// An in-memory table and cursor behind the DataCursor interface, for tests of the dataset state
// machine, the grid model and the locate dialog that need exact control over locks and refused
// posts. Tags order by a list of fields; a range compares the leading key fields.
#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include <QDate>

#include "dbf/errors.h"
#include "ui/data_cursor.h"

namespace testing_ui {

struct MemoryTable
{
    explicit MemoryTable(std::vector<dbf::FieldDef> fields)
        : layout(std::move(fields))
    {
    }
    struct Row
    {
        std::vector<QVariant> values;
        bool deleted = false;
    };
    dbf::RecordLayout layout;
    std::vector<Row> rows; // rows[recNo - 1]
    std::set<dbf::RecNo> locked; // records held in edit by some cursor
    int uniqueField = -1; // posts that duplicate this field throw KeyViolation
    int flushes = 0;

    void add(std::vector<QVariant> values) { rows.push_back({ std::move(values), false }); }
};

class MemoryCursor : public ui::DataCursor
{
public:
    explicit MemoryCursor(std::shared_ptr<MemoryTable> table)
        : m_table(std::move(table))
    {
        first();
    }

    const dbf::RecordLayout &layout() const override { return m_table->layout; }
    std::string tableIdentity() const override
    {
        return std::to_string(reinterpret_cast<std::uintptr_t>(m_table.get()));
    }
    std::size_t recordCount() override { return visible().size(); }
    bool first() override { return moveTo(0, true); }
    bool last() override
    {
        const auto v = visible();
        return v.empty() ? moveTo(0, true) : moveTo(v.size() - 1, true);
    }
    bool next() override
    {
        const auto v = visible();
        const auto it = std::find(v.begin(), v.end(), m_recNo);
        if (it == v.end() || it + 1 == v.end())
            return false;
        m_recNo = *(it + 1);
        return true;
    }
    bool prior() override
    {
        const auto v = visible();
        const auto it = std::find(v.begin(), v.end(), m_recNo);
        if (it == v.end() || it == v.begin())
            return false;
        m_recNo = *(it - 1);
        return true;
    }
    dbf::RecNo recNo() const override { return m_mode == Mode::Insert ? 0 : m_recNo; }
    bool gotoRecNo(dbf::RecNo r) override
    {
        const auto v = visible();
        if (std::find(v.begin(), v.end(), r) == v.end())
            return false;
        m_recNo = r;
        return true;
    }
    void reread() override
    {
        const auto v = visible();
        if (std::find(v.begin(), v.end(), m_recNo) == v.end())
            m_recNo = v.empty() ? 0 : v.front();
    }
    QVariant value(std::size_t field) const override
    {
        if (m_mode != Mode::Browse)
            return m_buffer.at(field);
        return m_recNo == 0 ? QVariant() : m_table->rows[m_recNo - 1].values.at(field);
    }
    void setValue(std::size_t field, const QVariant &value) override { m_buffer.at(field) = value; }
    void edit() override
    {
        if (m_table->locked.count(m_recNo))
            throw dbf::RecordLocked("MEMORY");
        m_table->locked.insert(m_recNo);
        m_buffer = m_table->rows[m_recNo - 1].values;
        m_mode = Mode::Edit;
    }
    void append() override
    {
        m_buffer.assign(m_table->layout.fieldCount(), QVariant());
        m_mode = Mode::Insert;
    }
    void post() override
    {
        if (m_table->uniqueField >= 0) {
            const auto f = std::size_t(m_table->uniqueField);
            for (std::size_t i = 0; i < m_table->rows.size(); ++i)
                if (!m_table->rows[i].deleted && dbf::RecNo(i + 1) != recNo()
                    && m_table->rows[i].values[f] == m_buffer[f])
                    throw dbf::KeyViolation();
        }
        if (m_mode == Mode::Insert) {
            m_table->add(m_buffer);
            m_recNo = dbf::RecNo(m_table->rows.size());
        } else {
            m_table->rows[m_recNo - 1].values = m_buffer;
            m_table->locked.erase(m_recNo);
        }
        m_mode = Mode::Browse;
        reread();
    }
    void cancel() override
    {
        if (m_mode == Mode::Edit)
            m_table->locked.erase(m_recNo);
        m_mode = Mode::Browse;
    }
    void remove() override
    {
        const auto v = visible();
        auto it = std::find(v.begin(), v.end(), m_recNo);
        dbf::RecNo following = 0;
        if (it != v.end() && it + 1 != v.end())
            following = *(it + 1);
        else if (it != v.end() && it != v.begin())
            following = *(it - 1);
        m_table->rows[m_recNo - 1].deleted = true;
        m_recNo = following;
    }
    void flush() override { ++m_table->flushes; }

    void setTag(const QString &tag) override
    {
        m_tag = tag;
        m_keyFields.clear();
        for (const QString &name : tag.split(u'+', Qt::SkipEmptyParts))
            m_keyFields.push_back(*m_table->layout.indexOf(name.trimmed().toStdString()));
        m_low.clear();
        m_high.clear();
    }
    QString tag() const override { return m_tag; }
    void setRange(const QVariantList &low, const QVariantList &high) override
    {
        m_low = low;
        m_high = high;
    }
    void cancelRange() override
    {
        m_low.clear();
        m_high.clear();
    }
    bool findKey(const QVariantList &key) override
    {
        for (dbf::RecNo r : visible())
            if (compareKey(r, key) == 0) {
                m_recNo = r;
                return true;
            }
        return false;
    }
    void findNearest(const QVariantList &key) override
    {
        for (dbf::RecNo r : visible())
            if (compareKey(r, key) >= 0) {
                m_recNo = r;
                return;
            }
        last();
    }
    std::unique_ptr<ui::DataCursor> reader() const override
    {
        auto r = std::make_unique<MemoryCursor>(m_table);
        r->m_tag = m_tag;
        r->m_keyFields = m_keyFields;
        r->m_low = m_low;
        r->m_high = m_high;
        r->first();
        return r;
    }

private:
    enum class Mode { Browse, Edit, Insert };

    static int compare(const QVariant &a, const QVariant &b)
    {
        const QPartialOrdering o = QVariant::compare(
            a.isNull() ? QVariant(QString()) : a, b.isNull() ? QVariant(QString()) : b);
        if (o == QPartialOrdering::Less)
            return -1;
        if (o == QPartialOrdering::Greater)
            return 1;
        return 0;
    }
    int compareKey(dbf::RecNo r, const QVariantList &key) const
    {
        const auto &values = m_table->rows[r - 1].values;
        for (std::size_t i = 0; i < std::size_t(key.size()) && i < m_keyFields.size(); ++i)
            if (int c = compare(values[m_keyFields[i]], key[qsizetype(i)]))
                return c;
        return 0;
    }
    std::vector<dbf::RecNo> visible() const
    {
        std::vector<dbf::RecNo> v;
        for (std::size_t i = 0; i < m_table->rows.size(); ++i) {
            const dbf::RecNo r = dbf::RecNo(i + 1);
            if (m_table->rows[i].deleted)
                continue;
            if (!m_low.isEmpty() && (compareKey(r, m_low) < 0 || compareKey(r, m_high) > 0))
                continue;
            v.push_back(r);
        }
        std::stable_sort(v.begin(), v.end(), [this](dbf::RecNo a, dbf::RecNo b) {
            for (std::size_t f : m_keyFields)
                if (int c = compare(m_table->rows[a - 1].values[f], m_table->rows[b - 1].values[f]))
                    return c < 0;
            return false;
        });
        return v;
    }
    bool moveTo(std::size_t index, bool)
    {
        const auto v = visible();
        if (v.empty()) {
            m_recNo = 0;
            return false;
        }
        m_recNo = v[std::min(index, v.size() - 1)];
        return true;
    }

    std::shared_ptr<MemoryTable> m_table;
    dbf::RecNo m_recNo = 0;
    Mode m_mode = Mode::Browse;
    std::vector<QVariant> m_buffer;
    QString m_tag;
    std::vector<std::size_t> m_keyFields;
    QVariantList m_low, m_high;
};

} // namespace testing_ui
