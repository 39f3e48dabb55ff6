#pragma once

#include "dbf/index_hooks.h"

namespace dbf {

class Table;

// Record number order over every physical record (the Cursor skips deleted ones). The record
// count is re-read from the header at each move that depends on it, so records appended by
// other programs come into view.
class NaturalOrder : public RecordOrder
{
public:
    explicit NaturalOrder(const Table &table)
        : m_table(&table)
    {
    }

    RecNo first() override;
    RecNo last() override;
    RecNo next() override;
    RecNo prior() override;
    RecNo current() const override { return m_current; }
    bool seek(RecNo recNo, const std::uint8_t *image) override;
    std::unique_ptr<RecordOrder> clone() const override;
    bool isNaturalOrder() const override { return true; }

private:
    const Table *m_table;
    RecNo m_current = 0;
};

} // namespace dbf
