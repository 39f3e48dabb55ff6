#include "dbf/numeric_key.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace dbf {

namespace {

constexpr std::uint8_t kExponentBias = 0x34;
constexpr std::size_t kMaxDigits = 20;

bool isZeroKey(const std::uint8_t *key)
{
    for (std::size_t i = 2; i < kNumericKeyLength; ++i)
        if (key[i] != 0)
            return false;
    return true;
}

} // namespace

void encodeNumericKey(std::string_view text, std::uint8_t *out)
{
    std::memset(out, 0, kNumericKeyLength);
    out[0] = kExponentBias;
    out[1] = 0x01;

    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Digits before and after the point, without the point.
    char digits[64];
    std::size_t count = 0;
    int integerDigits = 0;
    bool point = false;
    bool any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            any = true;
            if (count < sizeof digits)
                digits[count++] = c;
            if (!point)
                ++integerDigits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any)
        return;
    std::size_t first = 0;
    while (first < count && digits[first] == '0')
        ++first;
    if (first == count)
        return; // zero
    std::size_t last = count;
    while (last > first && digits[last - 1] == '0')
        --last;
    if (last - first > kMaxDigits)
        last = first + kMaxDigits;
    const int exponent = integerDigits - static_cast<int>(first);
    out[0] = static_cast<std::uint8_t>(kExponentBias + exponent);
    const std::size_t n = last - first;
    const std::size_t bytes = (n + 1) / 2;
    out[1] = static_cast<std::uint8_t>((bytes << 3) | 0x01 | (negative ? 0x80 : 0));
    for (std::size_t d = 0; d < n; ++d) {
        const auto v = static_cast<std::uint8_t>(digits[first + d] - '0');
        out[2 + d / 2] |= static_cast<std::uint8_t>(d % 2 == 0 ? v << 4 : v);
    }
}

std::string numericKey(std::string_view text)
{
    std::string key(kNumericKeyLength, '\0');
    encodeNumericKey(text, reinterpret_cast<std::uint8_t *>(key.data()));
    return key;
}

std::string numericKey(double value)
{
    char text[64];
    if (!std::isfinite(value))
        value = 0;
    std::snprintf(text, sizeof text, "%.15g", value);
    // %g may use an exponent; write such values out in full.
    if (std::strchr(text, 'e') != nullptr)
        std::snprintf(text, sizeof text, "%.*f", std::fabs(value) < 1 ? 20 : 0, value);
    return numericKey(std::string_view(text));
}

int compareNumericKeys(const std::uint8_t *a, const std::uint8_t *b)
{
    const bool za = isZeroKey(a), zb = isZeroKey(b);
    const int sa = za ? 0 : ((a[1] & 0x80) ? -1 : 1);
    const int sb = zb ? 0 : ((b[1] & 0x80) ? -1 : 1);
    if (sa != sb)
        return sa < sb ? -1 : 1;
    if (sa == 0)
        return 0;
    int magnitude = 0;
    if (a[0] != b[0])
        magnitude = a[0] < b[0] ? -1 : 1;
    else
        magnitude = std::memcmp(a + 2, b + 2, kNumericKeyLength - 2);
    if (magnitude != 0)
        magnitude = magnitude < 0 ? -1 : 1;
    return sa < 0 ? -magnitude : magnitude;
}

double decodeNumericKey(const std::uint8_t *key)
{
    if (isZeroKey(key))
        return 0;
    double mantissa = 0;
    double scale = 0.1;
    for (std::size_t d = 0; d < kMaxDigits; ++d) {
        const std::uint8_t byte = key[2 + d / 2];
        const int v = d % 2 == 0 ? byte >> 4 : byte & 0x0F;
        mantissa += v * scale;
        scale /= 10;
    }
    const int exponent = static_cast<int>(key[0]) - kExponentBias;
    const double value = mantissa * std::pow(10.0, exponent);
    return (key[1] & 0x80) ? -value : value;
}

} // namespace dbf
