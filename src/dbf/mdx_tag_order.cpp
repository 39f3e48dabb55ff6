#include "dbf/mdx_tag_order.h"

#include <cstring>

#include "dbf/errors.h"
#include "dbf/mdx_index.h"

namespace dbf {

TagOrder::TagOrder(MdxIndex &index, std::string_view tagName)
    : m_index(&index)
    , m_name(tagName)
{
    resolve();
    m_name = index.file().tags()[m_tag].name;
}

std::size_t TagOrder::resolve()
{
    if (m_epoch != m_index->epoch()) {
        const int t = m_index->file().findTag(m_name);
        if (t < 0)
            throw Error("There is no index tag " + m_name + " in "
                + m_index->file().path().filename().string() + ".");
        m_tag = static_cast<std::size_t>(t);
        m_epoch = m_index->epoch();
        const MdxFile::Tag &tag = m_index->file().tags()[m_tag];
        m_type = tag.type;
        m_keyLength = tag.keyLength;
        m_path = {};
    }
    return m_tag;
}

const KeyExpression &TagOrder::expression()
{
    return m_index->expression(resolve());
}

void TagOrder::checkProbe(std::string_view probe)
{
    resolve();
    if (probe.size() > m_keyLength || (m_type != KeyType::Character && probe.size() != m_keyLength))
        throw Error("The key does not fit index tag " + m_name + ".");
}

void TagOrder::setRange(std::string low, std::string high)
{
    checkProbe(low);
    checkProbe(high);
    dropAhead();
    m_low = std::move(low);
    m_high = std::move(high);
    m_ranged = true;
    m_nothing = false;
}

void TagOrder::setEmptyRange()
{
    dropAhead();
    m_ranged = true;
    m_nothing = true;
    m_low.clear();
    m_high.clear();
}

void TagOrder::cancelRange()
{
    dropAhead();
    m_ranged = false;
    m_nothing = false;
    m_low.clear();
    m_high.clear();
}

bool TagOrder::aboveLow(const std::uint8_t *key) const
{
    if (m_nothing)
        return false;
    return !m_ranged
        || compareKeyToProbe(
               m_type, key, reinterpret_cast<const std::uint8_t *>(m_low.data()), m_low.size())
        >= 0;
}

bool TagOrder::belowHigh(const std::uint8_t *key) const
{
    if (m_nothing)
        return false;
    return !m_ranged
        || compareKeyToProbe(
               m_type, key, reinterpret_cast<const std::uint8_t *>(m_high.data()), m_high.size())
        <= 0;
}

namespace {
constexpr auto kAheadLife = std::chrono::milliseconds(50);
constexpr std::size_t kAheadMax = 128;
} // namespace

void TagOrder::dropAhead()
{
    if (m_aheadPos < m_aheadRecs.size())
        m_path = {}; // the path stands on the last entry read ahead, not on the current one
    m_aheadKeys.clear();
    m_aheadRecs.clear();
    m_aheadPos = 0;
}

// Called inside a session right after accept(): copies the entries that follow in the same leaf
// (within the range and strictly ascending), leaving the path on the last one copied.
void TagOrder::fillAhead(BTree &tree, MdxFile &file)
{
    m_aheadKeys.clear();
    m_aheadRecs.clear();
    m_aheadPos = 0;
    const std::uint32_t leaf = m_path.levels.back().page;
    const std::uint8_t *prevKey = m_key.data();
    RecNo prevRec = m_current;
    BTree::Path probe = m_path;
    while (m_aheadRecs.size() < kAheadMax && tree.next(probe) && probe.levels.back().page == leaf) {
        const std::uint8_t *key = tree.key(probe);
        const RecNo rec = tree.recNo(probe);
        const int c = compareKeys(m_type, key, prevKey, m_keyLength);
        if (c < 0 || (c == 0 && rec <= prevRec))
            throw CorruptFile(file.path(), 0, "keys out of order in tag " + m_name);
        if (!belowHigh(key))
            break;
        m_aheadKeys.insert(m_aheadKeys.end(), key, key + m_keyLength);
        m_aheadRecs.push_back(rec);
        prevKey = key;
        prevRec = rec;
        m_path = probe;
    }
    m_aheadGeneration = file.generation();
    m_aheadTime = std::chrono::steady_clock::now();
}

template <class Lookup>
bool TagOrder::lookUp(Lookup &&lookup)
{
    MdxFile &file = m_index->file();
    std::uint32_t token = 0;
    if (file.beginUnlockedRead(token)) {
        try {
            const bool found = lookup(file);
            if (file.endUnlockedRead(token))
                return found;
        } catch (const CorruptFile &) {
            if (file.endUnlockedRead(token))
                throw;
        }
    }
    MdxReadSession session(file);
    return lookup(file);
}

RecNo TagOrder::accept(BTree &tree)
{
    const std::uint8_t *key = tree.key(m_path);
    m_key.assign(key, key + m_keyLength);
    m_current = tree.recNo(m_path);
    return m_current;
}

RecNo TagOrder::first()
{
    dropAhead();
    if (m_nothing) {
        m_path = {};
        m_key.clear();
        m_current = 0;
        return 0;
    }
    MdxFile &file = m_index->file();
    MdxReadSession session(file);
    BTree tree(file, resolve());
    const bool found = m_ranged
        ? tree.seek(m_path, reinterpret_cast<const std::uint8_t *>(m_low.data()), m_low.size(), 0)
        : tree.seekFirst(m_path);
    if (found && belowHigh(tree.key(m_path)))
        return accept(tree);
    m_path = {};
    m_key.clear();
    m_current = 0;
    return 0;
}

RecNo TagOrder::last()
{
    dropAhead();
    if (m_nothing) {
        m_path = {};
        m_key.clear();
        m_current = 0;
        return 0;
    }
    MdxFile &file = m_index->file();
    MdxReadSession session(file);
    BTree tree(file, resolve());
    bool found = false;
    if (m_ranged) {
        found = tree.seek(m_path, reinterpret_cast<const std::uint8_t *>(m_high.data()),
            m_high.size(), BTree::kAfterAll);
        found = found ? tree.prior(m_path) : tree.seekLast(m_path);
    } else {
        found = tree.seekLast(m_path);
    }
    if (found && aboveLow(tree.key(m_path)))
        return accept(tree);
    m_path = {};
    m_key.clear();
    m_current = 0;
    return 0;
}

RecNo TagOrder::next()
{
    if (m_current == 0)
        return first();
    if (m_aheadPos < m_aheadRecs.size()) {
        if (m_epoch == m_index->epoch() && m_index->file().generation() == m_aheadGeneration
            && std::chrono::steady_clock::now() - m_aheadTime < kAheadLife) {
            const std::uint8_t *key = m_aheadKeys.data() + m_aheadPos * m_keyLength;
            m_key.assign(key, key + m_keyLength);
            m_current = m_aheadRecs[m_aheadPos++];
            return m_current;
        }
    }
    dropAhead();
    MdxFile &file = m_index->file();
    MdxReadSession session(file);
    BTree tree(file, resolve());
    bool found = false;
    if (m_path.valid() && m_path.generation == file.generation()) {
        found = tree.next(m_path);
    } else {
        found = tree.seek(m_path, m_key.data(), m_keyLength, m_current);
        if (found && tree.recNo(m_path) == m_current
            && compareKeys(m_type, tree.key(m_path), m_key.data(), m_keyLength) == 0)
            found = tree.next(m_path);
    }
    if (found) {
        const std::uint8_t *key = tree.key(m_path);
        const int c = compareKeys(m_type, key, m_key.data(), m_keyLength);
        if (c < 0 || (c == 0 && tree.recNo(m_path) <= m_current))
            throw CorruptFile(file.path(), 0, "keys out of order in tag " + m_name);
        if (belowHigh(key)) {
            accept(tree);
            fillAhead(tree, file);
            return m_current;
        }
    }
    m_path = {};
    return 0;
}

RecNo TagOrder::prior()
{
    dropAhead();
    if (m_current == 0)
        return 0;
    MdxFile &file = m_index->file();
    MdxReadSession session(file);
    BTree tree(file, resolve());
    bool found = false;
    if (m_path.valid() && m_path.generation == file.generation()) {
        found = tree.prior(m_path);
    } else {
        found = tree.seek(m_path, m_key.data(), m_keyLength, m_current);
        found = found ? tree.prior(m_path) : tree.seekLast(m_path);
    }
    if (found) {
        const std::uint8_t *key = tree.key(m_path);
        const int c = compareKeys(m_type, key, m_key.data(), m_keyLength);
        if (c > 0 || (c == 0 && tree.recNo(m_path) >= m_current))
            throw CorruptFile(file.path(), 0, "keys out of order in tag " + m_name);
        if (aboveLow(key))
            return accept(tree);
    }
    m_path = {};
    return 0;
}

bool TagOrder::seek(RecNo recNo, const std::uint8_t *image)
{
    dropAhead();
    if (recNo == 0 || image == nullptr || image[0] == '*')
        return false;
    BTree::Path path;
    std::uint8_t key[128];
    const bool found = lookUp([&](MdxFile &file) {
        const std::size_t t = resolve();
        m_index->expression(t).evaluate(image, key);
        if (!aboveLow(key) || !belowHigh(key))
            return false;
        BTree tree(file, t);
        return tree.seek(path, key, m_keyLength, recNo) && tree.recNo(path) == recNo
            && compareKeys(m_type, tree.key(path), key, m_keyLength) == 0;
    });
    if (!found)
        return false;
    m_path = std::move(path);
    m_key.assign(key, key + m_keyLength);
    m_current = recNo;
    return true;
}

RecNo TagOrder::seekKey(std::string_view key)
{
    dropAhead();
    checkProbe(key);
    if (m_nothing)
        return 0;
    BTree::Path path;
    std::uint8_t foundKey[128];
    RecNo foundRec = 0;
    const bool found = lookUp([&](MdxFile &file) {
        BTree tree(file, resolve());
        auto probe = reinterpret_cast<const std::uint8_t *>(key.data());
        bool hit = tree.seek(path, probe, key.size(), 0);
        if (hit && !aboveLow(tree.key(path)))
            hit = tree.seek(
                path, reinterpret_cast<const std::uint8_t *>(m_low.data()), m_low.size(), 0);
        if (!hit || !belowHigh(tree.key(path)))
            return false;
        std::memcpy(foundKey, tree.key(path), m_keyLength);
        foundRec = tree.recNo(path);
        return true;
    });
    if (!found)
        return 0;
    m_path = std::move(path);
    m_key.assign(foundKey, foundKey + m_keyLength);
    m_current = foundRec;
    return m_current;
}

bool TagOrder::currentKeyMatches(std::string_view key) const
{
    if (m_current == 0 || m_key.size() < key.size())
        return false;
    return compareKeyToProbe(
               m_type, m_key.data(), reinterpret_cast<const std::uint8_t *>(key.data()), key.size())
        == 0;
}

std::unique_ptr<RecordOrder> TagOrder::clone() const
{
    return std::make_unique<TagOrder>(*this);
}

} // namespace dbf
