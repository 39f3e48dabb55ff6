// Cursor operations on tag orders: select a tag, ranges, key searches, master links.
#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "dbf/mdx_index.h"
#include "dbf/mdx_tag_order.h"

namespace dbf {

TagOrder &Cursor::tagOrder()
{
    auto *order = dynamic_cast<TagOrder *>(m_order.get());
    if (order == nullptr)
        throw Error("No index tag is selected for " + m_table->name() + ".");
    return *order;
}

void Cursor::setTag(std::string_view name)
{
    requireBrowse();
    if (name.empty()) {
        setOrder(nullptr);
        return;
    }
    auto *index = dynamic_cast<MdxIndex *>(m_table->indexHooks());
    if (index == nullptr)
        throw Error("There is no index tag " + std::string(name) + " in " + m_table->name() + ".");
    setOrder(std::make_unique<TagOrder>(*index, name));
}

std::string Cursor::tag() const
{
    auto *order = dynamic_cast<const TagOrder *>(m_order.get());
    return order ? order->tagName() : std::string();
}

std::string Cursor::makeKey(const std::vector<std::string> &values)
{
    return tagOrder().expression().keyFromParts(values);
}

void Cursor::setRange(std::string_view low, std::string_view high)
{
    requireBrowse();
    tagOrder().setRange(std::string(low), std::string(high));
    dropReadAhead();
    first();
}

void Cursor::cancelRange()
{
    requireBrowse();
    TagOrder &order = tagOrder();
    order.cancelRange();
    if (m_recNo == 0 || !order.seek(m_recNo, m_buffer.data()))
        first();
}

bool Cursor::hasRange() const
{
    auto *order = dynamic_cast<const TagOrder *>(m_order.get());
    return order && order->hasRange();
}

bool Cursor::findKey(std::string_view key)
{
    requireBrowse();
    auto probe = std::make_unique<TagOrder>(tagOrder());
    if (probe->seekKey(key) == 0 || !probe->currentKeyMatches(key))
        return false;
    // Another program's index may still list deleted records under the key: the key is found
    // only when a live record holds it.
    std::vector<std::uint8_t> image(m_buffer.size());
    while (!fetch(probe->current(), image.data(), false) || image[0] == '*')
        if (probe->next() == 0 || !probe->currentKeyMatches(key))
            return false;
    // The record just read is the one to stand on.
    m_recNo = probe->current();
    m_order = std::move(probe);
    m_buffer.swap(image);
    m_bof = m_eof = false;
    return true;
}

bool Cursor::findNearest(std::string_view key)
{
    requireBrowse();
    auto probe = std::make_unique<TagOrder>(tagOrder());
    if (probe->seekKey(key) == 0) {
        last();
        m_eof = true;
        return false;
    }
    m_order = std::move(probe);
    return syncToOrder();
}

void Cursor::followMaster(const Cursor &master, std::size_t masterField)
{
    requireBrowse();
    TagOrder &order = tagOrder();
    if (master.recNo() == 0) {
        order.setEmptyRange();
        dropReadAhead();
        first();
        return;
    }
    std::string value(master.raw(masterField));
    const std::string key = order.expression().keyFromParts(std::vector<std::string>{ value });
    setRange(key, key);
}

} // namespace dbf
