#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/index_hooks.h"
#include "dbf/key_expression.h"
#include "dbf/mdx_file.h"

namespace dbf {

class Table;

// What a tag is made of, as added to a table.
struct TagDefinition
{
    std::string name;
    std::string expression;
    bool unique = false;
};

// A table's production index: keeps every tag in step with the record writes of its Table.
// Each tag holds one entry (key, record number) for every live record; a deleted record has
// none (so a deleted record never stands in the way of a unique key). A unique tag refuses a
// second record with a key it holds (KeyViolation, nothing written).
//
// Writes: beforeWrite takes the index's exclusive lock and checks the unique tags; afterWrite
// changes the tags and releases it, so the check and the change form one step for every
// program sharing the file.
class MdxIndex : public IndexHooks
{
public:
    MdxIndex(Table &table, std::unique_ptr<MdxFile> file);
    ~MdxIndex() override;

    // The index file beside a table file: an existing NAME.MDX matched without regard to case,
    // else the extension in the case of the table's.
    static std::filesystem::path pathFor(const std::filesystem::path &dbfPath);

    MdxFile &file() { return *m_file; }
    const KeyExpression &expression(std::size_t tag) const { return m_expressions.at(tag); }
    // Counts rebuilds: tag positions and file objects change with it.
    std::uint64_t epoch() const { return m_epoch; }

    // Adds a tag built from the table's records (the table is exclusive). A tag of the same
    // name is replaced.
    void addTag(const TagDefinition &definition);
    // Writes every tag anew from the records into a fresh file put in place of the old one.
    void rebuild();
    // Blocks a rebuild of the file would write for the table's present record count.
    std::uint64_t rebuiltBlocks() const;
    // With the table held exclusively: rebuilds a file that has grown past one and a half times
    // that (splits leave the blocks they replaced unused, deletes leave empty leaves).
    void compactIfGrown();

    void beforeWrite(
        RecNo recNo, const std::uint8_t *oldImage, const std::uint8_t *newImage) override;
    void afterWrite(
        RecNo recNo, const std::uint8_t *oldImage, const std::uint8_t *newImage) override;
    void abandonWrite() noexcept override;
    void flush() override;
    std::unique_ptr<PackBuilder> beginPack(const std::filesystem::path &target) override;
    std::filesystem::path packedFile() const override { return m_file->path(); }
    void afterPack(bool switched) override;

private:
    void loadExpressions();
    // Whether record `recNo` exists and is not deleted (read from the file).
    bool isLive(RecNo recNo);
    void rebuildWith(const std::vector<TagDefinition> &definitions);

    Table &m_table;
    std::unique_ptr<MdxFile> m_file;
    std::vector<KeyExpression> m_expressions;
    std::vector<std::size_t> m_keyOffsets; // of each tag in the scratch key buffers
    std::vector<std::uint8_t> m_oldKeys, m_newKeys;
    std::vector<std::uint8_t> m_image; // a record read by isLive()
    bool m_writing = false;
    std::uint64_t m_epoch = 0;
};

// The tag definitions an index file names, read leniently from its tag table and tag headers
// (for repairing a file whose header or trees are damaged); tags whose entries are unreadable
// are left out.
std::vector<TagDefinition> salvageTagDefinitions(const std::filesystem::path &mdxPath);

// Keys of every tag for the records of a table, sorted: the input of BTree::build.
struct SortedKeys
{
    std::vector<std::uint8_t> keys; // back to back
    std::vector<RecNo> recNos;
};
// Reads the live records once and returns each expression's sorted keys; for a unique one only
// the first record of each key is kept.
std::vector<SortedKeys> collectKeys(Table &table,
    const std::vector<const KeyExpression *> &expressions, const std::vector<bool> &unique);
// Sorts keys gathered in record order (one SortedKeys per expression), keeping only the first
// record of each key for a unique one. `raw` is emptied.
std::vector<SortedKeys> sortKeys(std::vector<SortedKeys> &raw,
    const std::vector<const KeyExpression *> &expressions, const std::vector<bool> &unique);

} // namespace dbf
