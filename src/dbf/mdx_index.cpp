#include "dbf/mdx_index.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "dbf/btree.h"
#include "dbf/date_key.h"
#include "dbf/numeric_key.h"
#include "dbf/errors.h"
#include "dbf/table.h"

namespace dbf {

namespace {

constexpr std::uint8_t kDeletedMark = '*';
constexpr std::size_t kReadBlock = 1024; // records per read while collecting keys
// Blocks an index may carry beyond one and a half times a rebuilt one before an exclusive open
// rebuilds it (small files are left alone).
constexpr std::uint64_t kCompactSlack = 64;

bool live(const std::uint8_t *image)
{
    return image != nullptr && image[0] != kDeletedMark;
}

MdxFile::Tag tagFor(const TagDefinition &d, const KeyExpression &e)
{
    MdxFile::Tag t;
    t.name = d.name;
    for (char &c : t.name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    t.expression = d.expression;
    t.type = e.type();
    t.keyLength = static_cast<std::uint16_t>(e.keyLength());
    t.itemLength = static_cast<std::uint16_t>((e.keyLength() + 4 + 3) / 4 * 4);
    t.maxKeys = static_cast<std::uint16_t>((MdxFile::kBlockSize - 12) / t.itemLength);
    t.unique = d.unique;
    t.singleField = e.singleField() >= 0;
    return t;
}

// Builds one tag at the end of `file` (header block first, then the tree) and registers it.
void buildTag(MdxFile &file, const TagDefinition &d, const KeyExpression &e, const SortedKeys &k)
{
    MdxFile::Tag t = tagFor(d, e);
    t.headerPage = file.allocateBlock(false);
    t.root = BTree::build(file, t, k.keys, k.recNos);
    t.hasKeys = !k.recNos.empty();
    file.addTag(std::move(t));
}

} // namespace

std::vector<SortedKeys> collectKeys(Table &table,
    const std::vector<const KeyExpression *> &expressions, const std::vector<bool> &unique)
{
    const std::size_t tags = expressions.size();
    std::vector<SortedKeys> raw(tags);
    const std::size_t length = table.layout().recordLength();
    std::vector<std::uint8_t> block(length * kReadBlock);
    const RecNo count = table.recordCount();
    for (RecNo first = 1; first <= count;) {
        const std::size_t got = table.readRecords(first, kReadBlock, block.data());
        if (got == 0)
            break;
        for (std::size_t i = 0; i < got; ++i) {
            const std::uint8_t *image = block.data() + i * length;
            if (!live(image))
                continue;
            for (std::size_t t = 0; t < tags; ++t) {
                const std::size_t kl = expressions[t]->keyLength();
                auto &keys = raw[t].keys;
                keys.resize(keys.size() + kl);
                expressions[t]->evaluate(image, keys.data() + keys.size() - kl);
                raw[t].recNos.push_back(first + static_cast<RecNo>(i));
            }
        }
        first += static_cast<RecNo>(got);
    }
    return sortKeys(raw, expressions, unique);
}

namespace {

// Two numbers whose order agrees with compareKeys(): a smaller pair means a smaller key, and an
// equal pair leaves only the bytes of a character key after the sixteenth to compare. Sorting by
// them settles nearly every comparison with two integer comparisons.
struct SortPrefix
{
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    auto operator<=>(const SortPrefix &) const = default;
};

std::uint64_t bigEndian(const std::uint8_t *bytes, std::size_t from, std::size_t to)
{
    std::uint64_t v = 0;
    for (std::size_t i = from; i < from + 8; ++i)
        v = (v << 8) | (i < to ? bytes[i] : 0);
    return v;
}

SortPrefix sortPrefix(KeyType type, const std::uint8_t *key, std::size_t length)
{
    switch (type) {
    case KeyType::Character:
        return { bigEndian(key, 0, length), bigEndian(key, 8, length) };
    case KeyType::Numeric: {
        // Sign class, then the exponent byte and the digits as compareNumericKeys orders them
        // (a negative magnitude reversed).
        bool zero = true; // no digit, whatever the sign and exponent say
        for (std::size_t i = 2; i < kNumericKeyLength; ++i)
            zero = zero && key[i] == 0;
        if (zero)
            return { std::uint64_t{ 1 } << 62, 0 };
        std::uint64_t high = key[0];
        for (std::size_t i = 2; i < 8; ++i)
            high = (high << 8) | key[i];
        std::uint64_t low = 0;
        for (std::size_t i = 8; i < kNumericKeyLength; ++i)
            low = (low << 8) | key[i];
        constexpr std::uint64_t kHighMask = (std::uint64_t{ 1 } << 56) - 1;
        constexpr std::uint64_t kLowMask = (std::uint64_t{ 1 } << 32) - 1;
        if (key[1] & 0x80)
            return { ~high & kHighMask, ~low & kLowMask };
        return { (std::uint64_t{ 2 } << 62) | high, low };
    }
    case KeyType::Date: {
        double value = decodeDateKey(key);
        if (value == 0)
            value = 0; // -0 and 0 are equal keys
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return { (bits >> 63) ? ~bits : (bits | (std::uint64_t{ 1 } << 63)), 0 };
    }
    }
    return {};
}

} // namespace

std::vector<SortedKeys> sortKeys(std::vector<SortedKeys> &raw,
    const std::vector<const KeyExpression *> &expressions, const std::vector<bool> &unique)
{
    const std::size_t tags = expressions.size();
    std::vector<SortedKeys> sorted(tags);
    struct Item
    {
        SortPrefix prefix;
        std::uint32_t index;
    };
    std::vector<Item> items;
    for (std::size_t t = 0; t < tags; ++t) {
        const KeyType type = expressions[t]->type();
        const std::size_t kl = expressions[t]->keyLength();
        const auto &in = raw[t];
        items.resize(in.recNos.size());
        for (std::uint32_t i = 0; i < items.size(); ++i)
            items[i] = { sortPrefix(type, in.keys.data() + std::size_t{ i } * kl, kl), i };
        const bool longKeys = type == KeyType::Character && kl > 16;
        const auto before = [&](const Item &a, const Item &b) {
            if (a.prefix != b.prefix)
                return a.prefix < b.prefix;
            if (longKeys) {
                const int c = std::memcmp(in.keys.data() + std::size_t{ a.index } * kl + 16,
                    in.keys.data() + std::size_t{ b.index } * kl + 16, kl - 16);
                if (c != 0)
                    return c < 0;
            }
            return in.recNos[a.index] < in.recNos[b.index];
        };
        // Tags that follow the record order (numbers given in sequence, dates of entry) come
        // sorted already.
        if (!std::is_sorted(items.begin(), items.end(), before))
            std::sort(items.begin(), items.end(), before);
        auto &out = sorted[t];
        out.keys.resize(in.keys.size());
        out.recNos.resize(in.recNos.size());
        std::size_t kept = 0;
        const Item *previous = nullptr;
        for (const Item &item : items) {
            const std::uint32_t i = item.index;
            const std::uint8_t *key = in.keys.data() + std::size_t{ i } * kl;
            // Equal keys have equal prefixes, so only those are compared in full.
            if (unique[t] && previous != nullptr && previous->prefix == item.prefix
                && compareKeys(type, out.keys.data() + (kept - 1) * kl, key, kl) == 0)
                continue;
            std::memcpy(out.keys.data() + kept * kl, key, kl);
            out.recNos[kept++] = in.recNos[i];
            previous = &item;
        }
        out.keys.resize(kept * kl);
        out.recNos.resize(kept);
        raw[t] = {};
    }
    return sorted;
}

MdxIndex::MdxIndex(Table &table, std::unique_ptr<MdxFile> file)
    : m_table(table)
    , m_file(std::move(file))
{
    loadExpressions();
}

MdxIndex::~MdxIndex() = default;

std::filesystem::path MdxIndex::pathFor(const std::filesystem::path &dbfPath)
{
    const std::string stem = dbfPath.stem().string();
    std::error_code ec;
    const std::filesystem::path dir =
        dbfPath.has_parent_path() ? dbfPath.parent_path() : std::filesystem::path(".");
    for (const auto &entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::filesystem::path p = entry.path();
        if (RecordLayout::equalsIgnoreCase(p.stem().string(), stem)
            && RecordLayout::equalsIgnoreCase(p.extension().string(), ".mdx"))
            return p;
    }
    const std::string ext = dbfPath.extension().string();
    const bool lower =
        std::any_of(ext.begin(), ext.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    std::filesystem::path p = dbfPath;
    p.replace_extension(lower ? ".mdx" : ".MDX");
    return p;
}

void MdxIndex::loadExpressions()
{
    m_expressions.clear();
    m_keyOffsets.clear();
    std::size_t offset = 0;
    for (const MdxFile::Tag &t : m_file->tags()) {
        try {
            m_expressions.emplace_back(t.expression, m_table.layout());
        } catch (const Error &e) {
            throw Unsupported(
                m_file->path().filename().string() + ": tag " + t.name + ": " + e.what());
        }
        const KeyExpression &e = m_expressions.back();
        if (e.type() != t.type || e.keyLength() != t.keyLength)
            throw CorruptFile(m_file->path(), t.headerPage * std::uint64_t{ MdxFile::kPageSize },
                "key type or length of tag " + t.name + " does not match its expression");
        m_keyOffsets.push_back(offset);
        offset += e.keyLength();
    }
    m_oldKeys.assign(offset, 0);
    m_newKeys.assign(offset, 0);
}

void MdxIndex::beforeWrite(RecNo recNo, const std::uint8_t *oldImage, const std::uint8_t *newImage)
{
    m_file->beginWrite();
    m_writing = true;
    try {
        const auto &tags = m_file->tags();
        for (std::size_t t = 0; t < tags.size(); ++t) {
            const KeyExpression &e = m_expressions[t];
            std::uint8_t *oldKey = m_oldKeys.data() + m_keyOffsets[t];
            std::uint8_t *newKey = m_newKeys.data() + m_keyOffsets[t];
            if (live(oldImage))
                e.evaluate(oldImage, oldKey);
            if (live(newImage))
                e.evaluate(newImage, newKey);
            if (!tags[t].unique || !live(newImage))
                continue;
            if (live(oldImage) && std::memcmp(oldKey, newKey, e.keyLength()) == 0)
                continue;
            // Another program's index may still list a deleted record under the key: only a
            // live record stands in the way.
            BTree tree(*m_file, t);
            if (tree.findOther(newKey, recNo, [&](RecNo other) { return isLive(other); }) != 0)
                throw KeyViolation();
        }
    } catch (...) {
        abandonWrite();
        throw;
    }
}

bool MdxIndex::isLive(RecNo recNo)
{
    m_image.resize(m_table.layout().recordLength());
    return recNo <= m_table.recordCount() && m_table.readRecords(recNo, 1, m_image.data()) == 1
        && live(m_image.data());
}

void MdxIndex::afterWrite(RecNo recNo, const std::uint8_t *oldImage, const std::uint8_t *newImage)
{
    if (!m_writing) {
        // Not announced: take the lock now and work out the keys again.
        beforeWrite(recNo, oldImage, newImage);
    }
    struct End
    {
        MdxIndex &index;
        ~End() { index.abandonWrite(); }
    } end{ *this };
    const auto &tags = m_file->tags();
    for (std::size_t t = 0; t < tags.size(); ++t) {
        const std::size_t kl = m_expressions[t].keyLength();
        const std::uint8_t *oldKey = m_oldKeys.data() + m_keyOffsets[t];
        const std::uint8_t *newKey = m_newKeys.data() + m_keyOffsets[t];
        const bool wasLive = live(oldImage), isLive = live(newImage);
        if (wasLive && isLive && std::memcmp(oldKey, newKey, kl) == 0)
            continue;
        BTree tree(*m_file, t);
        if (wasLive)
            tree.erase(oldKey, recNo);
        if (isLive)
            tree.insert(newKey, recNo);
    }
}

void MdxIndex::abandonWrite() noexcept
{
    if (m_writing) {
        m_writing = false;
        m_file->endWrite();
    }
}

void MdxIndex::flush()
{
    m_file->sync();
}

namespace {

// Gathers the keys of the packed table's records and writes a complete index file from them.
class MdxPackBuilder : public IndexHooks::PackBuilder
{
public:
    MdxPackBuilder(const std::filesystem::path &target, const MdxFile &file,
        const std::vector<KeyExpression> &expressions, std::string tableName,
        std::uint8_t languageDriver)
        : m_target(target)
        , m_expressions(expressions)
        , m_tableName(std::move(tableName))
        , m_languageDriver(languageDriver)
        , m_raw(file.tags().size())
    {
        for (const MdxFile::Tag &t : file.tags()) {
            m_definitions.push_back({ t.name, t.expression, t.unique });
            m_unique.push_back(t.unique);
        }
        for (const KeyExpression &e : m_expressions)
            m_ptrs.push_back(&e);
    }

    void add(RecNo recNo, const std::uint8_t *image) override
    {
        for (std::size_t t = 0; t < m_raw.size(); ++t) {
            const std::size_t kl = m_expressions[t].keyLength();
            auto &keys = m_raw[t].keys;
            keys.resize(keys.size() + kl);
            m_expressions[t].evaluate(image, keys.data() + keys.size() - kl);
            m_raw[t].recNos.push_back(recNo);
        }
    }

    void finish() override
    {
        const std::vector<SortedKeys> keys = sortKeys(m_raw, m_ptrs, m_unique);
        auto built = MdxFile::create(m_target, m_tableName, m_languageDriver, true);
        {
            MdxWriteSession session(*built);
            for (std::size_t i = 0; i < m_definitions.size(); ++i)
                buildTag(*built, m_definitions[i], m_expressions[i], keys[i]);
        }
        built->sync();
    }

private:
    std::filesystem::path m_target;
    const std::vector<KeyExpression> &m_expressions;
    std::string m_tableName;
    std::uint8_t m_languageDriver;
    std::vector<TagDefinition> m_definitions;
    std::vector<bool> m_unique;
    std::vector<const KeyExpression *> m_ptrs;
    std::vector<SortedKeys> m_raw;
};

} // namespace

std::unique_ptr<IndexHooks::PackBuilder> MdxIndex::beginPack(const std::filesystem::path &target)
{
    return std::make_unique<MdxPackBuilder>(
        target, *m_file, m_expressions, m_table.name(), m_table.languageDriver());
}

void MdxIndex::afterPack(bool switched)
{
    if (!switched) {
        rebuild();
        return;
    }
    const std::filesystem::path path = m_file->path();
    m_file.reset();
    m_file = MdxFile::open(path, true, true);
    ++m_epoch;
    loadExpressions();
}

void MdxIndex::rebuild()
{
    std::vector<TagDefinition> defs;
    for (const MdxFile::Tag &t : m_file->tags())
        defs.push_back({ t.name, t.expression, t.unique });
    rebuildWith(defs);
}

void MdxIndex::rebuildWith(const std::vector<TagDefinition> &definitions)
{
    if (!m_table.isExclusive())
        throw TableBusy(m_table.path().filename().string());
    std::vector<KeyExpression> expressions;
    for (const TagDefinition &d : definitions)
        expressions.emplace_back(d.expression, m_table.layout());
    std::vector<const KeyExpression *> ptrs;
    std::vector<bool> unique;
    for (std::size_t i = 0; i < definitions.size(); ++i) {
        ptrs.push_back(&expressions[i]);
        unique.push_back(definitions[i].unique);
    }
    const std::vector<SortedKeys> keys = collectKeys(m_table, ptrs, unique);

    const std::filesystem::path path = m_file->path();
    std::filesystem::path fresh = path;
    fresh += ".new";
    {
        auto built = MdxFile::create(fresh, m_table.name(), m_table.languageDriver(), true);
        MdxWriteSession session(*built);
        for (std::size_t i = 0; i < definitions.size(); ++i)
            buildTag(*built, definitions[i], expressions[i], keys[i]);
        built->sync();
    }
    m_file.reset();
    std::filesystem::rename(fresh, path);
    m_file = MdxFile::open(path, true, true);
    ++m_epoch;
    loadExpressions();
}

void MdxIndex::addTag(const TagDefinition &definition)
{
    if (!m_table.isExclusive())
        throw TableBusy(m_table.path().filename().string());
    KeyExpression expression(definition.expression, m_table.layout());
    if (m_file->findTag(definition.name) >= 0) {
        std::vector<TagDefinition> defs;
        for (const MdxFile::Tag &t : m_file->tags())
            if (RecordLayout::equalsIgnoreCase(t.name, definition.name))
                defs.push_back(definition);
            else
                defs.push_back({ t.name, t.expression, t.unique });
        rebuildWith(defs);
        return;
    }
    if (m_file->tags().size() >= MdxFile::kMaxTags)
        throw Error(m_file->path().filename().string() + ": a table can have at most 47 tags.");
    const auto keys = collectKeys(m_table, { &expression }, { definition.unique });
    {
        MdxWriteSession session(*m_file);
        buildTag(*m_file, definition, expression, keys[0]);
    }
    m_file->sync();
    ++m_epoch;
    loadExpressions();
}

std::vector<TagDefinition> salvageTagDefinitions(const std::filesystem::path &mdxPath)
{
    std::vector<TagDefinition> out;
    File f = File::open(mdxPath, File::Access::ReadOnly);
    const std::uint64_t size = f.size();
    std::uint8_t table[MdxFile::kFirstBlockPage * MdxFile::kPageSize] = {};
    f.readAt(0, table, sizeof table);
    for (std::size_t slot = 1; slot <= MdxFile::kMaxTags; ++slot) {
        const std::uint8_t *e = table + 512 + 32 * slot;
        const std::uint32_t page = static_cast<std::uint32_t>(e[0] | e[1] << 8 | e[2] << 16)
            | (static_cast<std::uint32_t>(e[3]) << 24);
        if (page == 0)
            break;
        if (static_cast<std::uint64_t>(page) * MdxFile::kPageSize + MdxFile::kBlockSize > size)
            continue;
        TagDefinition d;
        for (int c = 0; c < 10 && e[4 + c] != 0; ++c)
            d.name.push_back(static_cast<char>(e[4 + c]));
        std::uint8_t header[256] = {};
        f.readAt(static_cast<std::uint64_t>(page) * MdxFile::kPageSize, header, sizeof header);
        for (std::size_t c = 24; c < 244 && header[c] != 0; ++c)
            d.expression.push_back(static_cast<char>(header[c]));
        d.unique = header[23] != 0;
        if (!d.name.empty() && !d.expression.empty())
            out.push_back(std::move(d));
    }
    return out;
}

std::uint64_t MdxIndex::rebuiltBlocks() const
{
    const std::uint64_t records = m_table.recordCount();
    std::uint64_t blocks = 0;
    for (const MdxFile::Tag &tag : m_file->tags()) {
        ++blocks; // the tag header
        // As BTree::build lays them out: nodes nine tenths full, level by level up to one root.
        const std::uint64_t leafFill = std::max<std::uint64_t>(2, tag.maxKeys * 9u / 10u);
        const std::uint64_t nodeFill = std::max<std::uint64_t>(3, tag.maxKeys * 9u / 10u);
        std::uint64_t level = std::max<std::uint64_t>(1, (records + leafFill - 1) / leafFill);
        blocks += level;
        while (level > 1) {
            level = (level + nodeFill - 1) / nodeFill;
            blocks += level;
        }
    }
    return blocks;
}

void MdxIndex::compactIfGrown()
{
    if (!m_table.isExclusive() || !m_file->isWritable())
        return;
    const std::uint64_t blocks =
        (m_file->pageCount() - MdxFile::kFirstBlockPage) / MdxFile::kBlockPages;
    if (blocks > rebuiltBlocks() * 3 / 2 + kCompactSlack)
        rebuild();
}

std::unique_ptr<IndexHooks> openProductionIndex(Table &table)
{
    const std::filesystem::path path = MdxIndex::pathFor(table.path());
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return nullptr; // missing: the table works without tags until they are added again
    auto file = MdxFile::open(path, table.isWritable(), table.isExclusive());
    auto index = std::make_unique<MdxIndex>(table, std::move(file));
    index->compactIfGrown();
    return index;
}

} // namespace dbf
