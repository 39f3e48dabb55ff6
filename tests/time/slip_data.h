#pragma once

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>

#include <QString>
#include <QVariant>

#include "store/startup_check.h"
#include "ui/dataset.h"
#include "ui/engine_cursor.h"

// A fresh data directory made the way the program makes one at its first start: the built
// templates copied in, tables restored and their index files built. Removed with its contents.
class SlipData
{
public:
    SlipData()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnw-time-XXXXXX");
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
        for (const auto &entry : std::filesystem::directory_iterator(
                 std::filesystem::path(TARNW_BINARY_DIR) / "templates"))
            std::filesystem::copy_file(entry.path(), m_path / entry.path().filename());
        store::StartupCheck check(m_path);
        check.restoreMissingFiles();
        check.rebuildMissingIndexes();
    }
    ~SlipData()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    SlipData(const SlipData &) = delete;
    SlipData &operator=(const SlipData &) = delete;

    const std::filesystem::path &path() const { return m_path; }

    // Opens `dataset` over table `name`, in the order of `tag` (record order when empty).
    void open(ui::Dataset &dataset, const char *name, const QString &tag = {}) const
    {
        dataset.open(ui::EngineCursor::open(m_path, name));
        if (!tag.isEmpty())
            dataset.setTag(tag);
        dataset.first();
    }

private:
    std::filesystem::path m_path;
};

// Appends and posts one record holding the given field values.
inline void addRow(
    ui::Dataset &dataset, std::initializer_list<std::pair<const char *, QVariant>> values)
{
    dataset.insert();
    for (const auto &[field, value] : values)
        dataset.setValue(QLatin1String(field), value);
    dataset.post();
}
