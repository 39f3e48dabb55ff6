#include "dbf/btree.h"

#include <algorithm>
#include <cstring>

#include "dbf/errors.h"

namespace dbf {

namespace {

std::uint32_t get32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void put32(std::uint8_t *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Room for one node plus one extra entry while a split is being arranged.
constexpr std::size_t kScratch = 2 * MdxFile::kBlockSize;
// Longest key of a tag (dBASE IV allows 100 bytes).
constexpr std::size_t kMaxKeyBytes = 100;

} // namespace

struct BTree::Node
{
    const std::uint8_t *b;
    std::uint32_t n;
    std::size_t item;
    std::uint32_t ptr(std::size_t i) const { return get32(b + 8 + i * item); }
    const std::uint8_t *key(std::size_t i) const { return b + 8 + i * item + 4; }
    bool leaf() const { return ptr(n) == 0; }
};

BTree::BTree(MdxFile &file, std::size_t tag)
    : m_file(file)
    , m_tag(tag)
{
    const MdxFile::Tag &t = file.tags().at(tag);
    m_type = t.type;
    m_keyLength = t.keyLength;
    m_item = t.itemLength;
    m_maxKeys = t.maxKeys;
}

BTree::Node BTree::node(std::uint32_t page)
{
    const std::uint8_t *b = m_file.block(page);
    Node nd{ b, get32(b), m_item };
    if (nd.n > m_maxKeys)
        throw CorruptFile(m_file.path(), static_cast<std::uint64_t>(page) * MdxFile::kPageSize,
            "node with " + std::to_string(nd.n) + " keys in tag " + tag().name);
    return nd;
}

int BTree::compareEntry(const std::uint8_t *key, RecNo rec, const std::uint8_t *probe,
    std::size_t probeLength, RecNo probeRec) const
{
    const int c = compareKeyToProbe(m_type, key, probe, probeLength);
    if (c != 0)
        return c;
    if (probeRec == kAfterAll)
        return -1;
    return rec < probeRec ? -1 : (rec > probeRec ? 1 : 0);
}

void BTree::pushChecked(Path &path, std::uint32_t page)
{
    if (path.levels.size() >= kMaxDepth)
        throw CorruptFile(m_file.path(), static_cast<std::uint64_t>(page) * MdxFile::kPageSize,
            "tag " + tag().name + " is deeper than any tree can be (a loop)");
    for (const Level &l : path.levels)
        if (l.page == page)
            throw CorruptFile(m_file.path(), static_cast<std::uint64_t>(page) * MdxFile::kPageSize,
                "loop in the tree of tag " + tag().name);
    path.levels.push_back({ page, 0 });
}

// The highest entry of the subtree at `page`; false when every leaf of it is empty.
bool BTree::lastEntry(std::uint32_t page, std::size_t depth, const std::uint8_t *&key, RecNo &rec)
{
    if (depth >= kMaxDepth)
        throw CorruptFile(m_file.path(), static_cast<std::uint64_t>(page) * MdxFile::kPageSize,
            "loop in the tree of tag " + tag().name);
    if (m_visitBudget-- == 0)
        throw CorruptFile(m_file.path(), static_cast<std::uint64_t>(page) * MdxFile::kPageSize,
            "tag " + tag().name + " has too many empty or shared nodes");
    const Node nd = node(page);
    if (nd.leaf()) {
        if (nd.n == 0)
            return false;
        key = nd.key(nd.n - 1);
        rec = nd.ptr(nd.n - 1);
        return true;
    }
    for (std::size_t i = nd.n + 1; i-- > 0;)
        if (lastEntry(nd.ptr(i), depth + 1, key, rec))
            return true;
    return false;
}

// Path to the place of (probe, recNo): in each interior node the child that can hold it, in
// the leaf the first entry not below it (possibly n).
bool BTree::lastEntryBounded(std::uint32_t page, const std::uint8_t *&key, RecNo &rec)
{
    m_visitBudget = 100000;
    return lastEntry(page, 0, key, rec);
}

void BTree::descend(Path &path, const std::uint8_t *probe, std::size_t probeLength, RecNo recNo)
{
    path.levels.clear();
    path.generation = m_file.generation();
    std::uint32_t page = tag().root;
    for (;;) {
        pushChecked(path, page);
        const Node nd = node(page);
        if (nd.leaf()) {
            std::size_t lo = 0, hi = nd.n;
            while (lo < hi) {
                const std::size_t mid = (lo + hi) / 2;
                if (compareEntry(nd.key(mid), nd.ptr(mid), probe, probeLength, recNo) < 0)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            path.levels.back().index = static_cast<std::uint32_t>(lo);
            return;
        }
        std::size_t lo = 0, hi = nd.n;
        while (lo < hi) {
            const std::size_t mid = (lo + hi) / 2;
            if (compareKeyToProbe(m_type, nd.key(mid), probe, probeLength) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        std::size_t child = lo;
        // Equal keys may run over several children: the place lies in the first of them whose
        // highest entry is not below (probe, recNo). Those highest entries ascend, so a binary
        // search finds it; an emptied child (no highest entry) makes it fall back to a scan.
        if (recNo != 0 && child < nd.n
            && compareKeyToProbe(m_type, nd.key(child), probe, probeLength) == 0) {
            std::size_t end = child;
            while (end < nd.n && compareKeyToProbe(m_type, nd.key(end), probe, probeLength) == 0)
                ++end;
            // Children [child, end) carry the probe's key; `end` itself lies above it.
            if (recNo == kAfterAll) {
                child = end;
            } else {
                auto notBelow = [&](std::size_t c, bool &empty) {
                    const std::uint8_t *k = nullptr;
                    RecNo r = 0;
                    empty = !lastEntryBounded(nd.ptr(c), k, r);
                    return !empty && compareEntry(k, r, probe, probeLength, recNo) >= 0;
                };
                std::size_t a = child, z = end;
                bool scan = false;
                while (a < z) {
                    const std::size_t mid = (a + z) / 2;
                    bool empty = false;
                    const bool ok = notBelow(mid, empty);
                    if (empty) {
                        scan = true;
                        break;
                    }
                    if (ok)
                        z = mid;
                    else
                        a = mid + 1;
                }
                if (scan) {
                    a = child;
                    bool empty = false;
                    while (a < end && !notBelow(a, empty))
                        ++a;
                }
                child = a;
            }
        }
        path.levels.back().index = static_cast<std::uint32_t>(child);
        page = nd.ptr(child);
    }
}

void BTree::descendEdge(Path &path, std::uint32_t page, bool rightmost)
{
    for (;;) {
        pushChecked(path, page);
        const Node nd = node(page);
        if (nd.leaf()) {
            path.levels.back().index = rightmost && nd.n > 0 ? nd.n - 1 : 0;
            return;
        }
        path.levels.back().index = rightmost ? nd.n : 0;
        page = nd.ptr(path.levels.back().index);
    }
}

// From a leaf index that may equal n (or an empty leaf) to the next real entry.
bool BTree::normalizeForward(Path &path)
{
    if (path.levels.empty())
        return false;
    if (path.levels.back().index < node(path.levels.back().page).n)
        return true;
    return next(path);
}

bool BTree::seek(Path &path, const std::uint8_t *probe, std::size_t probeLength, RecNo recNo)
{
    descend(path, probe, probeLength, recNo);
    return normalizeForward(path);
}

bool BTree::seekFirst(Path &path)
{
    path.levels.clear();
    path.generation = m_file.generation();
    descendEdge(path, tag().root, false);
    return normalizeForward(path);
}

bool BTree::seekLast(Path &path)
{
    path.levels.clear();
    path.generation = m_file.generation();
    descendEdge(path, tag().root, true);
    if (node(path.levels.back().page).n > 0)
        return true;
    return prior(path);
}

bool BTree::next(Path &path)
{
    if (path.levels.empty())
        return false;
    {
        Level &leaf = path.levels.back();
        if (leaf.index + 1 < node(leaf.page).n) {
            ++leaf.index;
            return true;
        }
    }
    path.levels.pop_back();
    while (!path.levels.empty()) {
        Level &top = path.levels.back();
        const Node nd = node(top.page);
        if (top.index < nd.n) {
            ++top.index;
            descendEdge(path, nd.ptr(top.index), false);
            if (node(path.levels.back().page).n > 0)
                return true;
            path.levels.pop_back();
        } else {
            path.levels.pop_back();
        }
    }
    return false;
}

bool BTree::prior(Path &path)
{
    if (path.levels.empty())
        return false;
    {
        Level &leaf = path.levels.back();
        if (leaf.index > 0 && leaf.index <= node(leaf.page).n) {
            --leaf.index;
            return true;
        }
    }
    path.levels.pop_back();
    while (!path.levels.empty()) {
        Level &top = path.levels.back();
        if (top.index > 0) {
            --top.index;
            descendEdge(path, node(top.page).ptr(top.index), true);
            if (node(path.levels.back().page).n > 0)
                return true;
            path.levels.pop_back();
        } else {
            path.levels.pop_back();
        }
    }
    return false;
}

const std::uint8_t *BTree::key(const Path &path)
{
    return node(path.levels.back().page).key(path.levels.back().index);
}

RecNo BTree::recNo(const Path &path)
{
    return node(path.levels.back().page).ptr(path.levels.back().index);
}

RecNo BTree::findOther(
    const std::uint8_t *key, RecNo except, const std::function<bool(RecNo)> &counts)
{
    Path path;
    for (bool at = seek(path, key, m_keyLength, 0); at; at = next(path)) {
        if (compareKeys(m_type, this->key(path), key, m_keyLength) != 0)
            return 0;
        const RecNo r = recNo(path);
        if (r != except && (!counts || counts(r)))
            return r;
    }
    return 0;
}

// After the highest entry below path level `childLevel` became `key`: the separator naming
// that child (or, for a last child, the first ancestor's separator above it) follows.
void BTree::updateSeparators(const Path &path, std::size_t childLevel, const std::uint8_t *key)
{
    for (std::size_t lvl = childLevel; lvl-- > 0;) {
        const Level &l = path.levels[lvl];
        const Node nd = node(l.page);
        if (l.index < nd.n) {
            if (std::memcmp(nd.key(l.index), key, m_keyLength) != 0) {
                std::uint8_t b[MdxFile::kBlockSize];
                std::memcpy(b, nd.b, sizeof b);
                std::memcpy(b + 8 + l.index * m_item + 4, key, m_keyLength);
                m_file.writeBlock(l.page, b);
            }
            return;
        }
    }
}

void BTree::insert(const std::uint8_t *key, RecNo recNo)
{
    m_file.markHasKeys(m_tag);
    Path path;
    descend(path, key, m_keyLength, recNo);
    const std::size_t leafLevel = path.levels.size() - 1;
    const Level leaf = path.levels.back();
    const Node nd = node(leaf.page);
    const std::size_t n = nd.n, idx = leaf.index;
    // Listed already (a writer stopped after this tag took the key, or a record recalled whose
    // key another program kept): nothing to add.
    if (idx < n && nd.ptr(idx) == recNo && compareKeys(m_type, nd.key(idx), key, m_keyLength) == 0)
        return;
    // A new highest entry of this leaf: raise the separators first (still a valid bound).
    if (idx == n)
        updateSeparators(path, leafLevel, key);

    std::uint8_t b[kScratch] = {};
    std::memcpy(b, nd.b, MdxFile::kBlockSize);
    std::memmove(b + 8 + (idx + 1) * m_item, b + 8 + idx * m_item, (n - idx) * m_item);
    std::uint8_t *e = b + 8 + idx * m_item;
    std::memset(e, 0, m_item);
    put32(e, recNo);
    std::memcpy(e + 4, key, m_keyLength);
    if (n + 1 <= m_maxKeys) {
        put32(b, static_cast<std::uint32_t>(n + 1));
        put32(b + 8 + (n + 1) * m_item, 0);
        m_file.writeBlock(leaf.page, b);
        return;
    }
    // Split, copy-on-write: the halves go to blocks nothing links to yet, and one write of the
    // parent (or of the tag header, for a new root) switches from the old block to them, so a
    // stop at any moment leaves either the old tree or the new one. When the entry goes after
    // the last one of the leaf (tables grow at the end) the old block stays as it is, as the
    // full left half, and only the new right block holds the entry: nothing is left unused.
    const std::size_t total = n + 1;
    const std::size_t leftCount = idx == n ? n : total / 2;
    std::uint8_t right[MdxFile::kBlockSize] = {};
    put32(right, static_cast<std::uint32_t>(total - leftCount));
    std::memcpy(right + 8, b + 8 + leftCount * m_item, (total - leftCount) * m_item);
    std::uint32_t leftPage = leaf.page;
    std::vector<std::uint32_t> unlinked; // blocks the switching write leaves behind
    if (idx != n) {
        unlinked.push_back(leaf.page);
        std::uint8_t left[MdxFile::kBlockSize] = {};
        put32(left, static_cast<std::uint32_t>(leftCount));
        std::memcpy(left + 8, b + 8, leftCount * m_item);
        leftPage = m_file.allocateBlock();
        m_file.writeBlock(leftPage, left);
    }
    const std::uint32_t rightPage = m_file.allocateBlock();
    m_file.writeBlock(rightPage, right);
    std::uint8_t separator[kMaxKeyBytes];
    std::memcpy(separator, b + 8 + (leftCount - 1) * m_item + 4, m_keyLength);
    replaceInParent(
        path, static_cast<int>(leafLevel) - 1, leftPage, separator, rightPage, unlinked);
    for (const std::uint32_t page : unlinked)
        m_file.releaseBlock(page);
}

// The node below path level `level` (the child the path follows) is replaced by `left`,
// `separator`, `right`: one write of the interior node at `level` when it has room. A full node
// is split into two new blocks and the change goes one level up; level -1 makes a new root and
// the tag header's root pointer is the switching write.
void BTree::replaceInParent(const Path &path, int level, std::uint32_t left,
    const std::uint8_t *separator, std::uint32_t right, std::vector<std::uint32_t> &unlinked)
{
    if (level < 0) {
        std::uint8_t root[MdxFile::kBlockSize] = {};
        put32(root, 1);
        put32(root + 8, left);
        std::memcpy(root + 12, separator, m_keyLength);
        put32(root + 8 + m_item, right);
        const std::uint32_t page = m_file.allocateBlock();
        m_file.writeBlock(page, root);
        m_file.setRoot(m_tag, page);
        return;
    }
    const Level at = path.levels[static_cast<std::size_t>(level)];
    const Node nd = node(at.page);
    const std::size_t n = nd.n, pos = at.index;
    std::uint8_t b[kScratch] = {};
    std::memcpy(b, nd.b, MdxFile::kBlockSize);
    std::memmove(b + 8 + (pos + 1) * m_item, b + 8 + pos * m_item, (n - pos) * m_item + 4);
    std::uint8_t *e = b + 8 + pos * m_item;
    std::memset(e, 0, m_item);
    put32(e, left);
    std::memcpy(e + 4, separator, m_keyLength);
    put32(e + m_item, right);
    const std::size_t keys = n + 1;
    if (keys <= m_maxKeys - 1u) {
        put32(b, static_cast<std::uint32_t>(keys));
        m_file.writeBlock(at.page, b);
        return;
    }
    // Children 0..m to the left block (key m goes up), m+1..keys to the right one.
    const std::size_t m = keys / 2;
    std::uint8_t leftNode[MdxFile::kBlockSize] = {};
    put32(leftNode, static_cast<std::uint32_t>(m));
    std::memcpy(leftNode + 8, b + 8, m * m_item);
    put32(leftNode + 8 + m * m_item, get32(b + 8 + m * m_item));
    std::uint8_t up[kMaxKeyBytes];
    std::memcpy(up, b + 8 + m * m_item + 4, m_keyLength);
    std::uint8_t rightNode[MdxFile::kBlockSize] = {};
    const std::size_t rightKeys = keys - 1 - m;
    put32(rightNode, static_cast<std::uint32_t>(rightKeys));
    std::memcpy(rightNode + 8, b + 8 + (m + 1) * m_item, rightKeys * m_item + 4);
    const std::uint32_t leftPage = m_file.allocateBlock();
    m_file.writeBlock(leftPage, leftNode);
    const std::uint32_t rightPage = m_file.allocateBlock();
    m_file.writeBlock(rightPage, rightNode);
    unlinked.push_back(at.page);
    replaceInParent(path, level - 1, leftPage, up, rightPage, unlinked);
}

bool BTree::erase(const std::uint8_t *key, RecNo recNo)
{
    Path path;
    descend(path, key, m_keyLength, recNo);
    const Level leaf = path.levels.back();
    const Node nd = node(leaf.page);
    const std::size_t n = nd.n, idx = leaf.index;
    if (idx >= n || nd.ptr(idx) != recNo || compareKeys(m_type, nd.key(idx), key, m_keyLength) != 0)
        return false;
    std::uint8_t b[MdxFile::kBlockSize];
    std::memcpy(b, nd.b, sizeof b);
    std::memmove(b + 8 + idx * m_item, b + 8 + (idx + 1) * m_item, (n - idx - 1) * m_item);
    std::memset(b + 8 + (n - 1) * m_item, 0, m_item);
    put32(b, static_cast<std::uint32_t>(n - 1));
    m_file.writeBlock(leaf.page, b);
    if (idx == n - 1 && n > 1) {
        std::uint8_t last[kMaxKeyBytes];
        std::memcpy(last, b + 8 + (n - 2) * m_item + 4, m_keyLength);
        updateSeparators(path, path.levels.size() - 1, last);
    }
    return true;
}

std::uint32_t BTree::build(MdxFile &file, const MdxFile::Tag &tag,
    std::span<const std::uint8_t> keys, std::span<const RecNo> recNos)
{
    const std::size_t item = tag.itemLength, keyLength = tag.keyLength;
    const std::size_t count = recNos.size();
    std::uint8_t b[MdxFile::kBlockSize];
    if (count == 0) {
        std::memset(b, 0, sizeof b);
        const std::uint32_t page = file.allocateBlock(false);
        file.writeBlock(page, b, false);
        return page;
    }
    // Nodes nine tenths full leave room for a few inserts before the first splits.
    const std::size_t leafFill = std::max<std::size_t>(2, std::size_t{ tag.maxKeys } * 9 / 10);
    const std::size_t nodeFill = std::max<std::size_t>(3, std::size_t{ tag.maxKeys } * 9 / 10);
    struct Child
    {
        std::uint32_t page;
        const std::uint8_t *highest;
    };
    // The blocks are allocated one after the other and written in runs of up to 1 MB.
    std::vector<std::uint8_t> run;
    std::uint32_t runFirst = 0;
    const auto writeRun = [&] {
        if (!run.empty())
            file.writeNewBlocks(runFirst, run.data(), run.size() / MdxFile::kBlockSize);
        run.clear();
    };
    const auto emit = [&]() -> std::uint32_t {
        const std::uint32_t page = file.allocateBlock(false);
        const std::size_t blocks = run.size() / MdxFile::kBlockSize;
        if (blocks != 0
            && (page != runFirst + blocks * MdxFile::kBlockPages || run.size() >= (1u << 20)))
            writeRun();
        if (run.empty())
            runFirst = page;
        run.insert(run.end(), b, b + MdxFile::kBlockSize);
        return page;
    };
    std::vector<Child> level;
    const std::size_t leaves = (count + leafFill - 1) / leafFill;
    level.reserve(leaves);
    std::size_t at = 0;
    for (std::size_t l = 0; l < leaves; ++l) {
        const std::size_t take = count / leaves + (l < count % leaves ? 1 : 0);
        std::memset(b, 0, sizeof b);
        put32(b, static_cast<std::uint32_t>(take));
        for (std::size_t i = 0; i < take; ++i) {
            put32(b + 8 + i * item, recNos[at + i]);
            std::memcpy(b + 8 + i * item + 4, keys.data() + (at + i) * keyLength, keyLength);
        }
        at += take;
        const std::uint32_t page = emit();
        level.push_back({ page, keys.data() + (at - 1) * keyLength });
    }
    while (level.size() > 1) {
        std::vector<Child> up;
        const std::size_t nodes = (level.size() + nodeFill - 1) / nodeFill;
        std::size_t c = 0;
        for (std::size_t k = 0; k < nodes; ++k) {
            const std::size_t take = level.size() / nodes + (k < level.size() % nodes ? 1 : 0);
            std::memset(b, 0, sizeof b);
            put32(b, static_cast<std::uint32_t>(take - 1));
            for (std::size_t i = 0; i < take; ++i) {
                put32(b + 8 + i * item, level[c + i].page);
                if (i + 1 < take)
                    std::memcpy(b + 8 + i * item + 4, level[c + i].highest, keyLength);
            }
            c += take;
            const std::uint32_t page = emit();
            up.push_back({ page, level[c - 1].highest });
        }
        level = std::move(up);
    }
    writeRun();
    return level.front().page;
}

} // namespace dbf
