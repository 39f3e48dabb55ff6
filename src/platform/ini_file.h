#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A sectioned key=value settings file with the classic profile-file semantics:
//
//   [Section]            section names and keys are matched without regard to case
//   Key Name=value       keys may hold blanks and are written exactly as given
//   ; comment            comment lines, blank lines and unknown sections are kept
//
// Reading a key that is missing (or a file that is missing) gives the caller's default; a key
// that is present with an empty value reads as empty. Surrounding blanks of names and values are
// ignored, and a value wrapped in one pair of double quotes is read without them.
//
// Writing a key rewrites only that key's line (or inserts one line at the end of its section, or
// appends the section), keeps every other byte of the file, and keeps the file's line ending
// style. Nothing is cached: every read looks at the file as it is now and every write replaces it
// at once (written to a temporary file beside it, then renamed), so several IniFile objects and
// several running copies of the program may share one file.
//
// When a section or key occurs twice, the first occurrence is the one read and written.
class IniFile
{
public:
    explicit IniFile(std::filesystem::path path);

    // The per-user settings file named `fileName` (for example "TARNW.INI"):
    // $XDG_CONFIG_HOME/fileName when that variable is set to an absolute path, else
    // $HOME/.config/fileName, else fileName in the current directory.
    static std::filesystem::path userSettingsPath(std::string_view fileName);

    const std::filesystem::path &path() const { return m_path; }

    std::string readString(
        std::string_view section, std::string_view key, std::string_view defaultValue) const;
    // The value read as a decimal integer with an optional sign; the default when the key is
    // missing or its text is not a whole number in int's range.
    int readInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // A whole number, non-zero meaning true ("1"/"0" as the program writes them).
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;
    // nullopt when the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    bool sectionExists(std::string_view section) const;
    bool valueExists(std::string_view section, std::string_view key) const;
    // Keys of a section in file order, as written; empty when the section is missing.
    std::vector<std::string> keys(std::string_view section) const;

    // Writes one key; returns false when the file could not be written or the section or key
    // cannot be stored (empty, or holding '=', '[', ']' or a line break). A value is cut at its
    // first line break, so that it can never add lines of its own to the file.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInteger(std::string_view section, std::string_view key, int value);
    bool writeBool(std::string_view section, std::string_view key, bool value);
    // Removes a key's line; true when the file now holds no such key.
    bool deleteKey(std::string_view section, std::string_view key);

private:
    std::filesystem::path m_path;
};

} // namespace platform
