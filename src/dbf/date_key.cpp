#include "dbf/date_key.h"

#include <bit>
#include <cstring>

#include "dbf/date.h"

namespace dbf {

static_assert(std::endian::native == std::endian::little, "date keys are stored little-endian");

void encodeDateKey(double julianDay, std::uint8_t *out)
{
    std::memcpy(out, &julianDay, kDateKeyLength);
}

void encodeDateKeyText(std::string_view text, std::uint8_t *out)
{
    double jdn = 0;
    if (auto date = Date::fromText(text); date && !date->isNull() && date->isValid())
        jdn = static_cast<double>(date->julianDay());
    encodeDateKey(jdn, out);
}

std::string dateKey(std::string_view yyyymmdd)
{
    std::string key(kDateKeyLength, '\0');
    encodeDateKeyText(yyyymmdd, reinterpret_cast<std::uint8_t *>(key.data()));
    return key;
}

double decodeDateKey(const std::uint8_t *key)
{
    double v = 0;
    std::memcpy(&v, key, kDateKeyLength);
    return v;
}

int compareDateKeys(const std::uint8_t *a, const std::uint8_t *b)
{
    const double x = decodeDateKey(a), y = decodeDateKey(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

} // namespace dbf
