#pragma once

#include <concepts>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace store {

// Anything that reads a settings key: value(section, key) gives the text of the key, or nullopt
// when the key (or the file) is missing. The program's settings file class fits as it is.
template <typename R>
concept SettingsReader = requires(const R &reader, std::string_view s, std::string_view k)
{
    {
        reader.value(s, k)
        } -> std::convertible_to<std::optional<std::string>>;
};

// The start-up settings of TARNW.INI:
//
//   SECTION    KEY           DEFAULT            LIMIT          MEANING
//   Settings   ReportFont    Times New Roman    20 characters  font of printed reports
//   Settings   Login Name    000                3 characters   staff code proposed at login
//   Settings   Hints         1                  1/0            pop-up hints shown
//   Drive      Path          (empty)            50 characters  the data directory; never written
//
// The first three are written back at shutdown (by the program, through the same keys). Values
// longer than their limit are cut to it (whole characters of UTF-8 text). A Hints value that is
// not a whole number keeps the default.
//
// Data directory: Path cut to 50 characters, every "\" turned into "/", and "/" appended when
// it is not empty and does not end in one; so "data", "data/" and "data\" name the same files.
// An empty Path means the current directory, and file names are then used without a directory.
struct Settings
{
    static constexpr std::string_view kSettingsSection = "Settings";
    static constexpr std::string_view kDriveSection = "Drive";
    static constexpr std::string_view kReportFontKey = "ReportFont";
    static constexpr std::string_view kLoginNameKey = "Login Name";
    static constexpr std::string_view kHintsKey = "Hints";
    static constexpr std::string_view kPathKey = "Path";
    static constexpr std::size_t kReportFontLimit = 20;
    static constexpr std::size_t kLoginNameLimit = 3;
    static constexpr std::size_t kPathLimit = 50;

    std::string reportFont = "Times New Roman";
    std::string loginName = "000";
    bool hints = true;
    std::string dataDirectory; // "" or ending in "/"

    // The data directory joined with a file name ("TARNW.HLP", "TWCLIENT.DBF").
    std::filesystem::path dataFile(std::string_view fileName) const;
    std::filesystem::path helpFile() const { return dataFile("TARNW.HLP"); }

    using Lookup = std::function<std::optional<std::string>(std::string_view, std::string_view)>;
    static Settings read(const Lookup &lookup);
    template <SettingsReader R> static Settings read(const R &reader)
    {
        return read(Lookup([&reader](std::string_view s, std::string_view k) {
            return std::optional<std::string>(reader.value(s, k));
        }));
    }

    // The directory rule above, on a raw Path value.
    static std::string normaliseDataDirectory(std::string_view path);
    // The first `limit` characters of UTF-8 text (never half a character).
    static std::string cut(std::string_view text, std::size_t limit);
};

} // namespace store
