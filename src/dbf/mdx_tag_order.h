#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/btree.h"
#include "dbf/index_hooks.h"
#include "dbf/key_expression.h"

namespace dbf {

class MdxIndex;

// A cursor order following one tag, optionally limited to a range of keys (both ends
// inclusive; a character key shorter than the tag's key is a partial key matching every key
// that begins with it).
//
// The position is remembered as the (key, record number) of the entry stood on, plus the node
// path to it while the index file is unchanged. When another program (or another cursor) has
// changed the tag meanwhile, the next move finds its place again from the remembered entry, so
// a walk never returns an entry twice nor skips one that stayed. Each move runs under the
// index's shared lock; a move that would go against the key order reports a damaged index.
// A forward walk takes the rest of the current leaf in the same step and serves the following
// next() calls from it for up to 50 ms, unless this program changes the index meanwhile (the
// cursor reads every record itself, so a record deleted meanwhile is still skipped).
class TagOrder : public RecordOrder
{
public:
    // Throws Error when the table has no tag of that name (compared without regard to case).
    TagOrder(MdxIndex &index, std::string_view tagName);

    RecNo first() override;
    RecNo last() override;
    RecNo next() override;
    RecNo prior() override;
    RecNo current() const override { return m_current; }
    bool seek(RecNo recNo, const std::uint8_t *image) override;
    std::unique_ptr<RecordOrder> clone() const override;

    const std::string &tagName() const { return m_name; }
    const KeyExpression &expression();
    void setRange(std::string low, std::string high);
    void cancelRange();
    // A range no key lies in (a master link without a master record).
    void setEmptyRange();
    bool hasRange() const { return m_ranged; }
    // Stands on the first entry with a key at or after `key` inside the range; returns its
    // record, or 0 (position unchanged) when there is none.
    RecNo seekKey(std::string_view key);
    // The key of the entry stood on begins with (character keys) or equals `key`.
    bool currentKeyMatches(std::string_view key) const;
    const std::vector<std::uint8_t> &currentKey() const { return m_key; }

private:
    std::size_t resolve();
    void checkProbe(std::string_view probe);
    bool aboveLow(const std::uint8_t *key) const;
    bool belowHigh(const std::uint8_t *key) const;
    RecNo accept(BTree &tree);
    // Runs a lookup that changes nothing but its own results without the index lock, and again
    // inside a read session when a writer came in between; returns the lookup's answer.
    template <class Lookup>
    bool lookUp(Lookup &&lookup);
    void fillAhead(BTree &tree, MdxFile &file);
    void dropAhead();

    MdxIndex *m_index;
    std::string m_name;
    std::size_t m_tag = 0;
    std::uint64_t m_epoch = ~std::uint64_t{ 0 };
    KeyType m_type = KeyType::Character;
    std::size_t m_keyLength = 0;
    bool m_ranged = false;
    bool m_nothing = false;
    std::string m_low, m_high;
    std::vector<std::uint8_t> m_key;
    RecNo m_current = 0;
    BTree::Path m_path;
    // Entries after the current one, read ahead from its leaf (see above).
    std::vector<std::uint8_t> m_aheadKeys;
    std::vector<RecNo> m_aheadRecs;
    std::size_t m_aheadPos = 0;
    std::uint64_t m_aheadGeneration = 0;
    std::chrono::steady_clock::time_point m_aheadTime;
};

} // namespace dbf
