#include "dbf/mdx_check.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <unordered_set>

#include "dbf/btree.h"
#include "dbf/errors.h"
#include "dbf/mdx_index.h"
#include "dbf/table.h"

namespace dbf {

namespace {

std::uint32_t get32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string printable(const std::uint8_t *key, std::size_t length, KeyType type)
{
    if (type != KeyType::Character) {
        static const char *hex = "0123456789ABCDEF";
        std::string s;
        for (std::size_t i = 0; i < length; ++i) {
            s += hex[key[i] >> 4];
            s += hex[key[i] & 15];
        }
        return s;
    }
    std::string s(reinterpret_cast<const char *>(key), length);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return "\"" + s + "\"";
}

// Walks one tag's tree, collecting its entries in order and the faults of its structure.
class TreeWalk
{
public:
    TreeWalk(
        MdxFile &file, const MdxFile::Tag &tag, RecNo recordCount, std::vector<std::string> &faults)
        : m_file(file)
        , m_tag(tag)
        , m_records(recordCount)
        , m_faults(faults)
    {
    }

    void run() { walk(m_file.tags().empty() ? 0 : m_tag.root, 0, nullptr, nullptr); }

    std::vector<std::uint8_t> keys;
    std::vector<RecNo> recNos;

private:
    void fault(const std::string &what)
    {
        if (m_faultCount++ < 50)
            m_faults.push_back("tag " + m_tag.name + ": " + what);
    }

    // `low` and `high` bound the keys of this subtree (I5), null when open.
    void walk(
        std::uint32_t page, std::size_t depth, const std::uint8_t *low, const std::uint8_t *high)
    {
        if (depth >= BTree::kMaxDepth) {
            fault("the tree is deeper than " + std::to_string(BTree::kMaxDepth) + " levels");
            return;
        }
        if (!m_seen.insert(page).second) {
            fault("page " + std::to_string(page) + " is reached twice (a loop or shared node)");
            return;
        }
        const std::uint8_t *b = nullptr;
        try {
            b = m_file.block(page);
        } catch (const CorruptFile &e) {
            fault(e.what());
            return;
        }
        const std::size_t item = m_tag.itemLength, kl = m_tag.keyLength;
        const std::uint32_t n = get32(b);
        if (n > m_tag.maxKeys) {
            fault("page " + std::to_string(page) + " holds " + std::to_string(n) + " keys");
            return;
        }
        const bool leaf = get32(b + 8 + n * item) == 0;
        auto keyAt = [&](std::size_t i) { return b + 8 + i * item + 4; };
        if (leaf) {
            if (m_leafDepth < 0)
                m_leafDepth = static_cast<int>(depth);
            else if (m_leafDepth != static_cast<int>(depth))
                fault("leaves at different depths (page " + std::to_string(page) + ")");
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint8_t *k = keyAt(i);
                const RecNo r = get32(b + 8 + i * item);
                if ((low && compareKeys(m_tag.type, k, low, kl) < 0)
                    || (high && compareKeys(m_tag.type, k, high, kl) > 0))
                    fault("key " + printable(k, kl, m_tag.type) + " of record " + std::to_string(r)
                        + " lies outside its parent's separators");
                if (r == 0 || r > m_records)
                    fault("record number " + std::to_string(r) + " outside the table");
                if (!recNos.empty()) {
                    const int c = compareKeys(m_tag.type, keys.data() + keys.size() - kl, k, kl);
                    if (c > 0 || (c == 0 && recNos.back() >= r))
                        fault("keys out of order at record " + std::to_string(r));
                }
                keys.insert(keys.end(), k, k + kl);
                recNos.push_back(r);
            }
            return;
        }
        if (n == 0 || n > static_cast<std::uint32_t>(m_tag.maxKeys - 1))
            fault(
                "interior page " + std::to_string(page) + " holds " + std::to_string(n) + " keys");
        for (std::size_t i = 0; i + 1 < n; ++i)
            if (compareKeys(m_tag.type, keyAt(i), keyAt(i + 1), kl) > 0)
                fault("separators out of order in page " + std::to_string(page));
        // I5: every key below child i lies between separators i - 1 and i.
        for (std::size_t i = 0; i <= n; ++i)
            walk(get32(b + 8 + i * item), depth + 1, i == 0 ? low : keyAt(i - 1),
                i < n ? keyAt(i) : high);
    }

    MdxFile &m_file;
    const MdxFile::Tag &m_tag;
    RecNo m_records;
    std::vector<std::string> &m_faults;
    std::unordered_set<std::uint32_t> m_seen;
    int m_leafDepth = -1;
    int m_faultCount = 0;
};

} // namespace

std::vector<std::string> checkIndex(Table &table, std::size_t *deletedKeys)
{
    if (deletedKeys)
        *deletedKeys = 0;
    std::vector<std::string> faults;
    auto *index = dynamic_cast<MdxIndex *>(table.indexHooks());
    if (index == nullptr) {
        if (table.hasProductionIndex())
            faults.push_back("the production index file " + table.indexPath().filename().string()
                + " is missing");
        return faults;
    }
    MdxFile &file = index->file();
    MdxReadSession session(file);
    const RecNo count = table.recordCount();
    const auto &tags = file.tags();
    // What every tag should hold, from the records.
    std::vector<const KeyExpression *> expressions;
    std::vector<bool> unique;
    for (std::size_t t = 0; t < tags.size(); ++t) {
        expressions.push_back(&index->expression(t));
        unique.push_back(tags[t].unique);
    }
    const std::vector<SortedKeys> expected = collectKeys(table, expressions, unique);

    for (std::size_t t = 0; t < tags.size(); ++t) {
        const MdxFile::Tag &tag = tags[t];
        const std::size_t kl = tag.keyLength;
        TreeWalk walk(file, tag, count, faults);
        walk.run();
        // Compare entries with the records by record number.
        auto byRecord = [](const std::vector<RecNo> &recs) {
            std::vector<std::uint32_t> order(recs.size());
            std::iota(order.begin(), order.end(), 0u);
            std::stable_sort(order.begin(), order.end(),
                [&](std::uint32_t a, std::uint32_t b) { return recs[a] < recs[b]; });
            return order;
        };
        const SortedKeys &want = expected[t];
        const auto have = byRecord(walk.recNos);
        const auto need = byRecord(want.recNos);
        // A deleted record listed under the key its record holds, as other writers leave it.
        std::unordered_set<RecNo> keptDeleted;
        std::vector<std::uint8_t> image(table.layout().recordLength());
        std::vector<std::uint8_t> itsKey(kl);
        auto keptDeletedKey = [&](RecNo r, const std::uint8_t *listed) {
            if (r == 0 || r > count || table.readRecords(r, 1, image.data()) != 1 || image[0] != '*'
                || keptDeleted.count(r) != 0)
                return false;
            expressions[t]->evaluate(image.data(), itsKey.data());
            return compareKeys(tag.type, itsKey.data(), listed, kl) == 0;
        };
        std::size_t i = 0, j = 0;
        int reported = 0;
        auto report = [&](const std::string &what) {
            if (reported++ < 50)
                faults.push_back("tag " + tag.name + ": " + what);
        };
        while (i < have.size() || j < need.size()) {
            const RecNo hr = i < have.size() ? walk.recNos[have[i]] : BTree::kAfterAll;
            const RecNo nr = j < need.size() ? want.recNos[need[j]] : BTree::kAfterAll;
            if (hr < nr) {
                if (keptDeletedKey(hr, walk.keys.data() + have[i] * kl)) {
                    keptDeleted.insert(hr);
                } else {
                    report("record " + std::to_string(hr) + " is listed but is deleted or absent");
                }
                ++i;
            } else if (nr < hr) {
                report("record " + std::to_string(nr) + " is missing");
                ++j;
            } else {
                const std::uint8_t *hk = walk.keys.data() + have[i] * kl;
                const std::uint8_t *nk = want.keys.data() + need[j] * kl;
                if (std::memcmp(hk, nk, kl) != 0 && compareKeys(tag.type, hk, nk, kl) != 0)
                    report("record " + std::to_string(hr) + " is listed under key "
                        + printable(hk, kl, tag.type) + " instead of "
                        + printable(nk, kl, tag.type));
                ++i;
                ++j;
                while (i < have.size() && walk.recNos[have[i]] == hr) {
                    report("record " + std::to_string(hr) + " is listed more than once");
                    ++i;
                }
            }
        }
        if (tag.unique) {
            const std::uint8_t *previous = nullptr; // key of the last live record's entry
            for (std::size_t k = 0; k < walk.recNos.size(); ++k) {
                if (keptDeleted.count(walk.recNos[k]) != 0)
                    continue;
                const std::uint8_t *key = walk.keys.data() + k * kl;
                if (previous && compareKeys(tag.type, previous, key, kl) == 0)
                    faults.push_back("tag " + tag.name + ": unique key "
                        + printable(key, kl, tag.type) + " held twice");
                previous = key;
            }
        }
        if (deletedKeys)
            *deletedKeys += keptDeleted.size();
    }
    return faults;
}

} // namespace dbf
