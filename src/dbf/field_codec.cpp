#include "dbf/field_codec.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace dbf::codec {

std::string_view trimRight(std::string_view text)
{
    std::size_t n = text.size();
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\0'))
        --n;
    return text.substr(0, n);
}

std::string_view trim(std::string_view text)
{
    text = trimRight(text);
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    return text.substr(i);
}

bool isBlank(std::string_view raw)
{
    for (char c : raw)
        if (c != ' ' && c != '\0')
            return false;
    return true;
}

namespace {

// Every other spelling a number field may hold, out of the common path (which then needs no
// stack buffer).
[[gnu::noinline]] std::optional<double> parseNumberSlowly(std::string_view raw)
{
    std::string_view t = trim(raw);
    if (t.empty())
        return std::nullopt;
    if (t.front() == '+')
        t.remove_prefix(1);
    // A few writers put blanks between the sign and the digits ("- 1.5"); accept them.
    char buffer[32];
    std::size_t n = 0;
    for (char c : t) {
        if (c == ' ')
            continue;
        if (n == sizeof buffer)
            return std::nullopt;
        buffer[n++] = c;
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(buffer, buffer + n, value);
    if (ec != std::errc() || end != buffer + n || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<double> parseNumber(std::string_view raw)
{
    // The common case, a plain decimal of at most 15 digits between blanks, in one pass over the
    // field: the digits as a whole number and one correctly rounded division by a power of ten
    // give the nearest double, the same value the general parse below finds.
    {
        static constexpr double kPowers[] = { 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9,
            1e10, 1e11, 1e12, 1e13, 1e14, 1e15 };
        const char *p = raw.data();
        const char *const end = p + raw.size();
        // Leading blanks eight at a time: a right-aligned column has many, of varying count.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            word ^= 0x2020202020202020u;
            if (word != 0) {
                if constexpr (std::endian::native == std::endian::little)
                    p += std::countr_zero(word) / 8;
                break;
            }
            p += 8;
        }
        while (p != end && *p == ' ')
            ++p;
        if (p != end && *p == '+')
            ++p;
        const bool negative = p != end && *p == '-';
        if (negative)
            ++p;
        std::uint64_t digits = 0;
        int count = 0, decimals = -1;
        for (; p != end; ++p) {
            const auto d = static_cast<unsigned>(static_cast<unsigned char>(*p) - '0');
            if (d < 10) {
                digits = digits * 10 + d;
                ++count;
                decimals += decimals >= 0;
            } else if (*p == '.' && decimals < 0) {
                decimals = 0;
            } else {
                break;
            }
        }
        while (p != end && (*p == ' ' || *p == '\0'))
            ++p;
        if (p == end && count > 0 && count <= 15) {
            double value = static_cast<double>(digits);
            if (decimals > 0)
                value /= kPowers[decimals];
            return negative ? -value : value;
        }
    }
    return parseNumberSlowly(raw);
}

bool formatNumber(double value, int decimals, std::span<char> out)
{
    if (!std::isfinite(value) || decimals < 0 || decimals > 18)
        return false;
    // The exact decimal expansion rounded to `decimals` places, as printf's "%.*f" gives it.
    char buffer[400];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc())
        return false;
    int n = static_cast<int>(end - buffer);
    // A negative value that rounds to zero is stored as zero.
    if (buffer[0] == '-') {
        bool allZero = true;
        for (int i = 1; i < n; ++i)
            if (buffer[i] != '0' && buffer[i] != '.')
                allZero = false;
        if (allZero) {
            std::memmove(buffer, buffer + 1, static_cast<std::size_t>(n));
            --n;
        }
    }
    const auto len = static_cast<std::size_t>(n);
    if (len > out.size())
        return false;
    std::memset(out.data(), ' ', out.size() - len);
    std::memcpy(out.data() + (out.size() - len), buffer, len);
    return true;
}

bool formatInteger(std::int64_t value, std::span<char> out)
{
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    const auto len = static_cast<std::size_t>(end - buffer);
    if (ec != std::errc() || len > out.size())
        return false;
    std::memset(out.data(), ' ', out.size() - len);
    std::memcpy(out.data() + (out.size() - len), buffer, len);
    return true;
}

std::optional<bool> parseLogical(std::string_view raw)
{
    const std::string_view t = trim(raw);
    if (t.empty())
        return std::nullopt;
    switch (t.front()) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
        return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
        return false;
    default:
        return std::nullopt;
    }
}

std::optional<std::uint32_t> parseMemoBlock(std::string_view raw)
{
    const std::string_view t = trim(raw);
    if (t.empty())
        return 0u;
    std::uint32_t block = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), block);
    if (ec != std::errc() || end != t.data() + t.size())
        return std::nullopt;
    return block;
}

void formatMemoBlock(std::uint32_t block, std::span<char> out)
{
    if (block == 0 || !formatInteger(block, out))
        std::memset(out.data(), ' ', out.size());
}

void formatText(std::string_view text, std::span<char> out)
{
    const std::size_t n = std::min(text.size(), out.size());
    std::memcpy(out.data(), text.data(), n);
    std::memset(out.data() + n, ' ', out.size() - n);
}

} // namespace dbf::codec
