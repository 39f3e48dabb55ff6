#include "platform/ini_file.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace platform {

namespace {

// The file as a list of lines without their line ends, plus what is needed to write it back
// byte for byte: the line end in use and whether the last line had one.
struct IniText
{
    std::vector<std::string> lines;
    std::string eol = "\n";
    bool finalEol = true;
};

std::string_view trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

IniText load(const std::filesystem::path &path)
{
    IniText text;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return text;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string content = buffer.str();
    if (content.empty())
        return text;
    const std::size_t firstNl = content.find('\n');
    if (firstNl != std::string::npos && firstNl > 0 && content[firstNl - 1] == '\r')
        text.eol = "\r\n";
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t nl = content.find('\n', start);
        if (nl == std::string::npos) {
            text.lines.push_back(content.substr(start));
            text.finalEol = false;
            break;
        }
        std::size_t end = nl;
        if (end > start && content[end - 1] == '\r')
            --end;
        text.lines.push_back(content.substr(start, end - start));
        start = nl + 1;
    }
    return text;
}

bool save(const std::filesystem::path &path, const IniText &text)
{
    std::error_code ec;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ec);
    std::filesystem::path temp = path;
    temp += ".new~";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        for (std::size_t i = 0; i < text.lines.size(); ++i) {
            out << text.lines[i];
            if (i + 1 < text.lines.size() || text.finalEol)
                out << text.eol;
        }
        out.flush();
        if (!out) {
            out.close();
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

bool isComment(std::string_view trimmed)
{
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// The section name of a header line "[Name]", or nullopt when the line is not one.
std::optional<std::string_view> sectionName(std::string_view line)
{
    std::string_view t = trim(line);
    if (t.size() < 2 || t.front() != '[')
        return std::nullopt;
    const std::size_t close = t.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(t.substr(1, close - 1));
}

struct KeyLine
{
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line)
{
    std::string_view t = trim(line);
    if (t.empty() || isComment(t) || sectionName(t))
        return std::nullopt;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return KeyLine{ trim(t.substr(0, eq)), trim(t.substr(eq + 1)) };
}

// Line range [header + 1, end) of the first section with this name; nullopt when missing.
struct SectionRange
{
    std::size_t header;
    std::size_t end;
};

std::optional<SectionRange> findSection(const IniText &text, std::string_view section)
{
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
        auto name = sectionName(text.lines[i]);
        if (!name || !equalsIgnoreCase(*name, trim(section)))
            continue;
        std::size_t end = i + 1;
        while (end < text.lines.size() && !sectionName(text.lines[end]))
            ++end;
        return SectionRange{ i, end };
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(
    const IniText &text, const SectionRange &range, std::string_view key)
{
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        auto kl = keyLine(text.lines[i]);
        if (kl && equalsIgnoreCase(kl->key, trim(key)))
            return i;
    }
    return std::nullopt;
}

bool storableName(std::string_view name)
{
    name = trim(name);
    return !name.empty() && name.find_first_of("=[]\r\n") == std::string_view::npos;
}

std::string_view firstLine(std::string_view value)
{
    const std::size_t br = value.find_first_of("\r\n");
    return br == std::string_view::npos ? value : value.substr(0, br);
}

} // namespace

IniFile::IniFile(std::filesystem::path path)
    : m_path(std::move(path))
{
}

std::filesystem::path IniFile::userSettingsPath(std::string_view fileName)
{
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg && std::filesystem::path(xdg).is_absolute())
        return std::filesystem::path(xdg) / fileName;
    const char *home = std::getenv("HOME");
    if (home && *home)
        return std::filesystem::path(home) / ".config" / fileName;
    return std::filesystem::path(fileName);
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    const IniText text = load(m_path);
    auto range = findSection(text, section);
    if (!range)
        return std::nullopt;
    auto line = findKey(text, *range, key);
    if (!line)
        return std::nullopt;
    std::string_view v = keyLine(text.lines[*line])->value;
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

std::string IniFile::readString(
    std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    auto v = value(section, key);
    return v ? *v : std::string(defaultValue);
}

int IniFile::readInteger(std::string_view section, std::string_view key, int defaultValue) const
{
    auto v = value(section, key);
    if (!v)
        return defaultValue;
    std::string_view t = trim(*v);
    if (!t.empty() && t.front() == '+')
        t.remove_prefix(1);
    int result = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), result);
    if (ec != std::errc() || end != t.data() + t.size() || t.empty())
        return defaultValue;
    return result;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::sectionExists(std::string_view section) const
{
    return findSection(load(m_path), section).has_value();
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const
{
    return value(section, key).has_value();
}

std::vector<std::string> IniFile::keys(std::string_view section) const
{
    std::vector<std::string> result;
    const IniText text = load(m_path);
    auto range = findSection(text, section);
    if (!range)
        return result;
    for (std::size_t i = range->header + 1; i < range->end; ++i)
        if (auto kl = keyLine(text.lines[i]))
            result.emplace_back(kl->key);
    return result;
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    if (!storableName(section) || !storableName(key))
        return false;
    section = trim(section);
    key = trim(key);
    value = firstLine(value);
    IniText text = load(m_path);
    if (auto range = findSection(text, section)) {
        if (auto line = findKey(text, *range, key)) {
            std::string written(keyLine(text.lines[*line])->key);
            written += '=';
            written += value;
            text.lines[*line] = std::move(written);
        } else {
            // After the section's last non-blank line, so that a blank line separating it from
            // the next section stays where it is.
            std::size_t at = range->end;
            while (at > range->header + 1 && trim(text.lines[at - 1]).empty())
                --at;
            text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(at),
                std::string(key) + "=" + std::string(value));
        }
    } else {
        if (!text.lines.empty() && !trim(text.lines.back()).empty())
            text.lines.emplace_back();
        // Built by appending: GCC 12 at -O3 raises a false -Wrestrict on the inlined
        // `"[" + std::string&&` (it inserts at the front of the temporary; GCC bug 105329).
        std::string header(1, '[');
        header += section;
        header += ']';
        text.lines.push_back(std::move(header));
        text.lines.push_back(std::string(key) + "=" + std::string(value));
        text.finalEol = true;
    }
    return save(m_path, text);
}

bool IniFile::writeInteger(std::string_view section, std::string_view key, int value)
{
    return writeString(section, key, std::to_string(value));
}

bool IniFile::writeBool(std::string_view section, std::string_view key, bool value)
{
    return writeString(section, key, value ? "1" : "0");
}

bool IniFile::deleteKey(std::string_view section, std::string_view key)
{
    IniText text = load(m_path);
    auto range = findSection(text, section);
    if (!range)
        return true;
    auto line = findKey(text, *range, key);
    if (!line)
        return true;
    text.lines.erase(text.lines.begin() + static_cast<std::ptrdiff_t>(*line));
    return save(m_path, text);
}

} // namespace platform
