// Pack: the live records, their memo texts and the index of the new table are written beside
// the old files, and the switch to them is made so that a stop at any moment leaves the old
// table or the new one, never a mixture.
//
// Order of the switch:
//  1. NAME.DBF.pack, NAME.DBT.pack and NAME.MDX.pack are written in full and synced.
//  2. The new table file takes the exclusive open lock, so that nobody opens it once it is in
//     place until this pack is done.
//  3. The roll-forward marker NAME.DBF.packed is written and synced: it lists the renames still
//     to make (memo file, index, table file last).
//  4. The renames are made in that order and the directory synced; the marker is removed.
// A stop before the marker leaves the old files in use (the .pack files are removed by the next
// pack). A stop after it is finished by the next open of the table (finishInterruptedPack):
// whoever takes the table's exclusive lock first makes the renames still pending and removes the
// marker. The marker is written only when every new file is complete, so rolling forward never
// puts an unfinished file in place.
#include <fstream>
#include <sstream>

#include "dbf/errors.h"
#include "dbf/field_codec.h"
#include "dbf/memo_file.h"
#include "dbf/table.h"

namespace dbf {

namespace {

constexpr std::size_t kPackBlockBytes = 1 << 20;

std::filesystem::path withSuffix(const std::filesystem::path &path, const char *suffix)
{
    return std::filesystem::path(path.string() + suffix);
}

std::string upper(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

void stopPoint(PackStep step)
{
    if (packStepHook)
        packStepHook(step);
}

// The renames the marker lists: file names (same directory), new first, then the one it
// replaces.
std::vector<std::pair<std::string, std::string>> readMarker(const std::filesystem::path &marker)
{
    std::vector<std::pair<std::string, std::string>> renames;
    std::ifstream in(marker);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || line.find('/') != std::string::npos)
            continue; // names only: a marker never points outside the table's directory
        renames.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return renames;
}

void makeRenames(const std::filesystem::path &directory,
    const std::vector<std::pair<std::string, std::string>> &renames)
{
    for (const auto &[from, to] : renames) {
        std::error_code ec;
        if (std::filesystem::exists(directory / from, ec))
            std::filesystem::rename(directory / from, directory / to);
    }
}

} // namespace

std::filesystem::path Table::packMarkerFor(const std::filesystem::path &dbfPath)
{
    return withSuffix(dbfPath, ".packed");
}

void Table::finishInterruptedPack(const std::filesystem::path &path)
{
    const std::filesystem::path marker = packMarkerFor(path);
    std::error_code ec;
    if (!std::filesystem::exists(marker, ec))
        return;
    // A pack still running holds the exclusive lock of the table file in place (the old one
    // before its switch, the new one after): only a stopped pack is finished here.
    File table = File::open(path, File::Access::ReadWrite);
    if (!table.tryLock(kOpenLock, 1, File::LockKind::Exclusive))
        throw TableBusy(path.filename().string());
    if (!std::filesystem::exists(marker, ec))
        return; // finished meanwhile by another program
    const auto directory = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    makeRenames(directory, readMarker(marker));
    File::syncDirectory(directory);
    std::filesystem::remove(marker);
}

void Table::pack()
{
    if (m_mode != OpenMode::Exclusive)
        throw TableBusy(m_path.filename().string());
    if (!m_lockedRecords.empty())
        throw RecordLocked(name());
    if (!m_dbf.isWritable())
        throw IoError(m_path.filename().string() + ": the table is read-only");
    if (m_memo && m_header.version == DbfHeader::kVersionMemo3)
        throw Unsupported(
            m_path.filename().string() + ": tables with dBASE III memo files cannot be packed");
    writePendingAppends();

    const std::filesystem::path directory =
        m_path.has_parent_path() ? m_path.parent_path() : std::filesystem::path(".");
    const std::filesystem::path dbfTemp = withSuffix(m_path, ".pack");
    const std::filesystem::path memoPath = m_memo ? m_memo->path() : std::filesystem::path();
    const std::filesystem::path memoTemp =
        memoPath.empty() ? memoPath : withSuffix(memoPath, ".pack");
    const std::filesystem::path indexPath =
        m_index ? m_index->packedFile() : std::filesystem::path();
    const std::filesystem::path indexTemp =
        indexPath.empty() ? indexPath : withSuffix(indexPath, ".pack");
    struct RemoveTemps
    {
        std::vector<std::filesystem::path> paths;
        bool keep = false;
        ~RemoveTemps()
        {
            std::error_code e;
            if (!keep)
                for (const auto &p : paths)
                    if (!p.empty())
                        std::filesystem::remove(p, e);
        }
    } temps{ { dbfTemp, memoTemp, indexTemp } };
    for (const auto &p : temps.paths) {
        std::error_code ec;
        if (!p.empty())
            std::filesystem::remove(p, ec);
    }

    std::unique_ptr<MemoFile> newMemo;
    if (m_memo) {
        MemoFile::create(memoTemp, upper(m_path.stem().string()),
            static_cast<std::uint16_t>(m_memo->blockSize()));
        newMemo = MemoFile::open(memoTemp, false, true);
        newMemo->setSoleWriter(true);
    }
    std::unique_ptr<IndexHooks::PackBuilder> indexBuilder =
        m_index && !indexTemp.empty() ? m_index->beginPack(indexTemp) : nullptr;

    // One pass over the records in large blocks; the live ones are gathered into large blocks
    // of the new file.
    DbfHeader header = m_header;
    header.lastUpdate = Date::today();
    header.recordCount = 0;
    File out = File::create(dbfTemp);
    const std::uint32_t length = m_header.layout.recordLength();
    std::uint64_t at = header.serialize().size();
    const std::size_t perBlock = std::max<std::size_t>(1, kPackBlockBytes / length);
    std::vector<std::uint8_t> block(perBlock * length);
    std::vector<std::uint8_t> outBlock;
    outBlock.reserve(block.size() + 1);
    std::vector<std::size_t> memoFields;
    for (std::size_t f = 0; f < m_header.layout.fieldCount(); ++f)
        if (m_header.layout.field(f).type == FieldType::Memo)
            memoFields.push_back(f);
    for (RecNo first = 1;;) {
        const std::size_t n = readRecords(first, perBlock, block.data());
        outBlock.clear();
        for (std::size_t i = 0; i < n; ++i) {
            std::uint8_t *image = block.data() + i * length;
            if (image[0] == '*')
                continue;
            for (const std::size_t f : memoFields) {
                if (!newMemo)
                    break;
                char *field = reinterpret_cast<char *>(image) + m_header.layout.offset(f);
                const std::string_view stored{ field, m_header.layout.field(f).width };
                const std::string text = readMemo(stored);
                codec::formatMemoBlock(newMemo->write(0, text), { field, stored.size() });
            }
            ++header.recordCount;
            if (indexBuilder)
                indexBuilder->add(header.recordCount, image);
            outBlock.insert(outBlock.end(), image, image + length);
        }
        if (!outBlock.empty()) {
            out.writeAt(at, outBlock.data(), outBlock.size());
            at += outBlock.size();
        }
        if (n < perBlock)
            break;
        first += static_cast<RecNo>(n);
    }
    const std::uint8_t endMark = DbfHeader::kEndOfFile;
    out.writeAt(at, &endMark, 1);
    const std::vector<std::uint8_t> headerBytes = header.serialize();
    out.writeAt(0, headerBytes.data(), headerBytes.size());
    out.sync();
    if (newMemo)
        newMemo->flush();
    newMemo.reset();
    stopPoint(PackStep::RecordsWritten);
    if (indexBuilder)
        indexBuilder->finish();
    indexBuilder.reset();
    stopPoint(PackStep::IndexWritten);

    // Nobody may open the new table before the switch is complete.
    if (!out.tryLock(kOpenLock, 1, File::LockKind::Exclusive))
        throw TableBusy(m_path.filename().string());
    {
        std::ostringstream marker;
        if (!memoTemp.empty())
            marker << memoTemp.filename().string() << '\t' << memoPath.filename().string() << '\n';
        if (!indexTemp.empty() && std::filesystem::exists(indexTemp))
            marker << indexTemp.filename().string() << '\t' << indexPath.filename().string()
                   << '\n';
        marker << dbfTemp.filename().string() << '\t' << m_path.filename().string() << '\n';
        const std::string text = marker.str();
        const std::filesystem::path markerPath = packMarkerFor(m_path);
        std::error_code ec;
        std::filesystem::remove(markerPath, ec);
        File m = File::create(markerPath);
        m.writeAt(0, text.data(), text.size());
        m.sync();
        File::syncDirectory(directory);
    }
    temps.keep = true; // from here on the switch is finished, now or by the next open
    stopPoint(PackStep::MarkerWritten);
    if (!memoTemp.empty()) {
        std::filesystem::rename(memoTemp, memoPath);
        stopPoint(PackStep::MemoSwitched);
    }
    const bool indexSwitched = !indexTemp.empty() && std::filesystem::exists(indexTemp);
    if (indexSwitched) {
        std::filesystem::rename(indexTemp, indexPath);
        stopPoint(PackStep::IndexSwitched);
    }
    out.renameTo(m_path);
    stopPoint(PackStep::TableSwitched);
    File::syncDirectory(directory);
    std::filesystem::remove(packMarkerFor(m_path));

    unmapFile();
    m_dbf = std::move(out); // the old file's lock goes with its descriptor
    readHeader();
    if (m_memo) {
        m_memo = MemoFile::open(memoPath, false, true);
        m_memo->setSoleWriter(true);
    }
    m_dateWritten = Date();
    ++m_writeGeneration;
    if (m_index)
        m_index->afterPack(indexSwitched);
}

} // namespace dbf
