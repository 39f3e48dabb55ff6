#pragma once

#include <filesystem>

#include "store/startup_check.h"
#include "temp_dir.h"

// A fresh data directory holding the built templates, removed with everything in it. Made as the
// program makes one at its first start (every table restored, every index built), or holding
// the template files only.
class TemplateDir : public TempDir
{
public:
    enum class Made { AsAtFirstStart, TemplatesOnly };

    explicit TemplateDir(Made made = Made::AsAtFirstStart)
    {
        namespace fs = std::filesystem;
        for (const auto &entry : fs::directory_iterator(fs::path(TARNW_BINARY_DIR) / "templates"))
            fs::copy_file(entry.path(), path() / entry.path().filename());
        if (made == Made::TemplatesOnly)
            return;
        store::StartupCheck check(path());
        check.restoreMissingFiles();
        check.rebuildMissingIndexes();
    }
};
