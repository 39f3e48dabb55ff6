#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with everything in it when
// the test ends.
class TestDir
{
public:
    TestDir()
    {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path()
            / ("tarnw-dbf-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~TestDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TestDir(const TestDir &) = delete;
    TestDir &operator=(const TestDir &) = delete;

    std::filesystem::path operator/(const std::string &name) const { return m_path / name; }
    const std::filesystem::path &path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

inline void writeBytes(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(
        reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Bytes from a hex dump text: pairs of hex digits; blanks, newlines and anything after '|' on a
// line are ignored, so dumps can carry comments.
inline std::vector<std::uint8_t> fromHex(const std::string &text)
{
    std::vector<std::uint8_t> out;
    int high = -1;
    bool comment = false;
    for (char c : text) {
        if (c == '\n') {
            comment = false;
            continue;
        }
        if (comment || c == ' ')
            continue;
        if (c == '|') {
            comment = true;
            continue;
        }
        int v = (c >= '0' && c <= '9') ? c - '0'
            : (c >= 'A' && c <= 'F')   ? c - 'A' + 10
            : (c >= 'a' && c <= 'f')   ? c - 'a' + 10
                                       : -1;
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}
