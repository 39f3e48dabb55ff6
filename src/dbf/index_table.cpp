// Table operations on the production index: adding tags, listing them, rebuilding them.
#include <cctype>

#include "dbf/errors.h"
#include "dbf/mdx_index.h"
#include "dbf/table.h"

namespace dbf {

namespace {

void validateTagName(std::string_view name)
{
    bool ok =
        !name.empty() && name.size() <= 10 && std::isalpha(static_cast<unsigned char>(name[0]));
    for (char c : name)
        ok = ok && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    if (!ok)
        throw Error("Invalid tag name \"" + std::string(name)
            + "\": up to 10 letters, digits or underscores, beginning with a letter.");
}

} // namespace

std::filesystem::path Table::indexPath() const
{
    return MdxIndex::pathFor(m_path);
}

void Table::addTag(std::string_view name, std::string_view expression, const TagOptions &options)
{
    if (!isExclusive())
        throw TableBusy(m_path.filename().string());
    writePendingAppends();
    validateTagName(name);
    const KeyExpression parsed(expression, layout()); // reports a bad expression first
    auto *index = dynamic_cast<MdxIndex *>(m_index.get());
    if (index == nullptr) {
        // No index open: a file left without the flag (or with a flag whose file is gone) is
        // replaced by a new one.
        auto file = MdxFile::create(indexPath(), this->name(), languageDriver(), true);
        auto created = std::make_unique<MdxIndex>(*this, std::move(file));
        index = created.get();
        m_index = std::move(created);
    }
    index->addTag({ std::string(name), std::string(expression), options.unique });
    if (parsed.singleField() >= 0) {
        const std::uint8_t flag = 1;
        m_dbf.writeAt(
            32 + DbfHeader::kDescriptorSize * static_cast<std::size_t>(parsed.singleField()) + 31,
            &flag, 1);
    }
    if (!hasProductionIndex())
        setProductionIndex(true);
}

std::vector<TagInfo> Table::tags()
{
    std::vector<TagInfo> out;
    auto *index = dynamic_cast<MdxIndex *>(m_index.get());
    if (index == nullptr)
        return out;
    MdxReadSession session(index->file());
    for (const MdxFile::Tag &t : index->file().tags())
        out.push_back({ t.name, t.expression, t.unique, static_cast<char>(t.type), t.keyLength });
    return out;
}

void Table::repairIndex(const std::filesystem::path &dbfPath)
{
    const std::filesystem::path mdx = MdxIndex::pathFor(dbfPath);
    std::vector<TagDefinition> definitions;
    try {
        auto table = open(dbfPath, OpenMode::Exclusive);
        table->reindex();
        return;
    } catch (const CorruptFile &e) {
        if (e.path() != mdx)
            throw;
        definitions = salvageTagDefinitions(mdx);
        if (definitions.empty())
            throw;
    }
    std::filesystem::remove(mdx);
    auto table = open(dbfPath, OpenMode::Exclusive);
    for (const TagDefinition &d : definitions)
        table->addTag(d.name, d.expression, { d.unique, false, false });
    table->flush();
}

void Table::reindex()
{
    if (!isExclusive())
        throw TableBusy(m_path.filename().string());
    if (auto *index = dynamic_cast<MdxIndex *>(m_index.get()))
        index->rebuild();
}

} // namespace dbf
