#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "store/startup_check.h"
#include "ui/dataset.h"
#include "ui/engine_cursor.h"

// A fresh data directory made the way the program makes one at its first start: the built
// templates copied in, tables restored from them and their index files built. Removed with
// everything in it.
class DataDir
{
public:
    DataDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnw-ref-XXXXXX");
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
    ~DataDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    DataDir(const DataDir &) = delete;
    DataDir &operator=(const DataDir &) = delete;

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
