#include "dbf/natural_order.h"

#include "dbf/table.h"

namespace dbf {

RecNo NaturalOrder::first()
{
    m_current = m_table->hasRecord(1) ? 1 : 0;
    return m_current;
}

RecNo NaturalOrder::last()
{
    m_current = m_table->recordCount();
    return m_current;
}

RecNo NaturalOrder::next()
{
    if (m_current == 0)
        return first();
    if (!m_table->hasRecord(m_current + 1))
        return 0;
    return ++m_current;
}

RecNo NaturalOrder::prior()
{
    if (m_current <= 1)
        return 0;
    return --m_current;
}

bool NaturalOrder::seek(RecNo recNo, const std::uint8_t *)
{
    if (recNo == 0 || !m_table->hasRecord(recNo))
        return false;
    m_current = recNo;
    return true;
}

std::unique_ptr<RecordOrder> NaturalOrder::clone() const
{
    return std::make_unique<NaturalOrder>(*this);
}

} // namespace dbf
