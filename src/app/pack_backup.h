#pragma once

#include <chrono>
#include <filesystem>
#include <string_view>
#include <vector>

namespace app {

// The copies made before the tables are packed: the files of each table (table, memo, index),
// copied while the table is held exclusively and just before it is packed, into one folder per
// run beside the data:
//
//   <data directory>/backup/2026-12-10_140512/TWACT.DBF, TWACT.MDX, TWEMPLOY.DBF, ...
//
// The folder is named to the second of the run's start ("_2", "_3", ... appended when a folder
// of that name exists) and made at the first copy, so a run that packs nothing leaves none. The
// backup folder and every run folder get the data directory's permissions (the tables hold the
// staff passwords); each copy gets the permissions of its file. A copy is written under a
// temporary name, synced and only then renamed, so every file of a run folder is whole. Only the
// kKept newest run folders are kept; other entries of the backup folder are never touched.
class PackBackup
{
public:
    static constexpr std::size_t kKept = 5;

    PackBackup(const std::filesystem::path &dataDirectory, std::chrono::local_seconds start);

    static std::filesystem::path backupDirectory(const std::filesystem::path &dataDirectory);
    // Whether `name` is the name of a run folder ("2026-12-10_140512", "2026-12-10_140512_2").
    static bool isRunFolderName(const std::string &name);

    // The run's folder: the one made by the first copy, or the name it is going to have.
    const std::filesystem::path &folder() const { return m_folder; }
    bool made() const { return m_made; }

    // Copies the files of schema table `name` that exist (its memo and index file only when it
    // has them) into the run folder, making the folder first. Throws std::runtime_error naming
    // the file and the reason when a copy cannot be made; no partial file is left.
    void copyTable(std::string_view name);

    // Removes the run folders beyond the kKept newest (by name, which sorts by time) and returns
    // them. A folder that cannot be removed is left and not returned.
    std::vector<std::filesystem::path> prune() const;

private:
    void makeFolder();

    std::filesystem::path m_dataDirectory;
    std::filesystem::path m_folder;
    bool m_made = false;
};

} // namespace app
