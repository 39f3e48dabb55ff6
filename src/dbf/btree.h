#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "dbf/field.h"
#include "dbf/mdx_file.h"

namespace dbf {

// One tag's B-tree inside an MdxFile. Every call needs a session of the file (read for
// lookups, write for changes); positions (Path) stay usable while the file's generation() is
// unchanged.
//
// Node block (1024 bytes):
//   OFFSET        SIZE        MEANING
//   0             4           number of keys n
//   4             4           0 (unused link)
//   8 + i*item    4           leaf: record number; interior: child page
//   8 + i*item+4  key length  key bytes, then zero padding to the item length
//   8 + n*item    4           leaf: 0; interior: page of the last child (keys above key n-1)
//
// Invariants (checked by checkIndex, kept by every change):
//   I1  every node pointer is an even page >= 4 inside the file, and no node is reached twice
//       (no loops, no shared nodes);
//   I2  a leaf holds at most maxKeys entries, an interior node at most maxKeys - 1 keys (so at
//       most maxKeys children) and at least one key; the dword after the last entry is 0 in a
//       leaf and non-zero in an interior node;
//   I3  every leaf is at the same depth;
//   I4  the entries, read leaf by leaf from left to right, ascend strictly by (key, record
//       number): equal keys are ordered by record number;
//   I5  key i of an interior node bounds child i from above and child i + 1 from below
//       (keys of child i <= key i <= keys of child i + 1); it equals the highest key of child i
//       except after that child's last leaf was emptied by deletes;
//   I6  leaf record numbers lie in 1..record count; each live record of the table appears
//       exactly once, a deleted record not at all; a unique tag holds no key twice.
// Every change is made valid for readers by one block write. An insert or erase that fits
// rewrites its leaf in place. A split writes both halves to new blocks first (at the end of a
// leaf the old block stays as the left half) and then one write of the parent, or of the tag
// header's root pointer, switches to them; a full parent is split the same way one level up. A
// stop before the switching write leaves the old tree and some blocks nothing links to, a stop
// after it the new tree. Separators are raised before a larger key enters a leaf and lowered
// after an erase, so they stay valid bounds at every moment (a stop may leave one above its
// child's highest key). Deletes leave emptied leaves in place; a rebuild reclaims them and the
// blocks splits left unused. The blocks a split unlinked are handed back to the file after the
// switching write (MdxFile::releaseBlock), which reuses them only while it is privately used.
class BTree
{
public:
    static constexpr RecNo kAfterAll = 0xFFFFFFFF;
    static constexpr std::size_t kMaxDepth = 24;

    struct Level
    {
        std::uint32_t page = 0;
        std::uint32_t index = 0; // entry in a leaf, child in an interior node
    };
    struct Path
    {
        std::vector<Level> levels; // root first; empty = no position
        std::uint64_t generation = 0;
        bool valid() const { return !levels.empty(); }
    };

    BTree(MdxFile &file, std::size_t tag);

    const MdxFile::Tag &tag() const { return m_file.tags().at(m_tag); }

    // Stands on the first entry >= (probe, recNo), the probe compared as a partial key (see
    // compareKeyToProbe); recNo 0 = before every record, kAfterAll = after. False at the end.
    bool seek(Path &path, const std::uint8_t *probe, std::size_t probeLength, RecNo recNo);
    bool seekFirst(Path &path);
    bool seekLast(Path &path);
    bool next(Path &path);
    bool prior(Path &path);
    const std::uint8_t *key(const Path &path);
    RecNo recNo(const Path &path);

    // Record number of an entry with exactly this key other than `except` for which `counts`
    // says true (all when it is empty), or 0.
    RecNo findOther(
        const std::uint8_t *key, RecNo except, const std::function<bool(RecNo)> &counts = {});
    void insert(const std::uint8_t *key, RecNo recNo);
    // False when the entry was not there.
    bool erase(const std::uint8_t *key, RecNo recNo);

    // Builds a tree bottom-up from entries sorted by (key, record number): `keys` holds the
    // keys back to back (key length each). Appends its blocks to the file; returns the root.
    static std::uint32_t build(MdxFile &file, const MdxFile::Tag &tag,
        std::span<const std::uint8_t> keys, std::span<const RecNo> recNos);

private:
    struct Node;
    Node node(std::uint32_t page);
    int compareEntry(const std::uint8_t *key, RecNo rec, const std::uint8_t *probe,
        std::size_t probeLength, RecNo probeRec) const;
    void descend(Path &path, const std::uint8_t *probe, std::size_t probeLength, RecNo recNo);
    bool lastEntry(std::uint32_t page, std::size_t depth, const std::uint8_t *&key, RecNo &rec);
    bool lastEntryBounded(std::uint32_t page, const std::uint8_t *&key, RecNo &rec);
    void pushChecked(Path &path, std::uint32_t page);
    void descendEdge(Path &path, std::uint32_t page, bool rightmost);
    bool normalizeForward(Path &path);
    void updateSeparators(const Path &path, std::size_t childLevel, const std::uint8_t *key);
    void replaceInParent(const Path &path, int level, std::uint32_t left,
        const std::uint8_t *separator, std::uint32_t right, std::vector<std::uint32_t> &unlinked);

    MdxFile &m_file;
    std::size_t m_tag;
    KeyType m_type;
    std::size_t m_keyLength;
    std::size_t m_item;
    std::size_t m_maxKeys;
    std::size_t m_visitBudget = 0; // nodes lastEntry() may still look at (damaged trees)
};

} // namespace dbf
