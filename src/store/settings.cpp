#include "store/settings.h"

#include <charconv>

namespace store {

std::string Settings::cut(std::string_view text, std::size_t limit)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool continuation = (byte & 0xC0U) == 0x80U;
        if (!continuation && characters++ == limit)
            return std::string(text.substr(0, i));
    }
    return std::string(text);
}

std::string Settings::normaliseDataDirectory(std::string_view path)
{
    std::string dir = cut(path, kPathLimit);
    for (char &c : dir)
        if (c == '\\')
            c = '/';
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

std::filesystem::path Settings::dataFile(std::string_view fileName) const
{
    return std::filesystem::path(dataDirectory + std::string(fileName));
}

Settings Settings::read(const Lookup &lookup)
{
    Settings s;
    if (auto font = lookup(kSettingsSection, kReportFontKey))
        s.reportFont = cut(*font, kReportFontLimit);
    if (auto login = lookup(kSettingsSection, kLoginNameKey))
        s.loginName = cut(*login, kLoginNameLimit);
    if (auto path = lookup(kDriveSection, kPathKey))
        s.dataDirectory = normaliseDataDirectory(*path);
    if (auto hints = lookup(kSettingsSection, kHintsKey)) {
        std::string_view text = *hints;
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        long value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error == std::errc() && end == text.data() + text.size() && !text.empty())
            s.hints = value != 0;
    }
    return s;
}

} // namespace store
