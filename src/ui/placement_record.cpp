#include "ui/placement_record.h"

#include <charconv>

namespace ui {

namespace {

std::optional<int> toInt(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string PlacementRecord::format() const
{
    std::string text;
    for (int v : { flags, showState, minX, minY, maxX, maxY, left, top, right, bottom }) {
        if (!text.empty())
            text += ',';
        text += std::to_string(v);
    }
    if (text.size() > kMaxLength)
        text.resize(kMaxLength);
    return text;
}

std::optional<PlacementRecord> PlacementRecord::parse(std::string_view stored)
{
    std::string_view rest = stored.substr(0, std::min(stored.size(), kMaxLength));
    if (rest.empty())
        return std::nullopt;
    int numbers[10];
    for (int i = 0; i < 9; ++i) {
        const std::size_t comma = rest.find(',');
        if (comma == std::string_view::npos)
            return std::nullopt;
        auto v = toInt(rest.substr(0, comma));
        if (!v)
            return std::nullopt;
        numbers[i] = *v;
        rest.remove_prefix(comma + 1);
    }
    auto last = toInt(rest.substr(0, std::min<std::size_t>(rest.size(), 10)));
    if (!last)
        return std::nullopt;
    numbers[9] = *last;
    PlacementRecord r{ numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5],
        numbers[6], numbers[7], numbers[8], numbers[9] };
    if (r.left >= r.right || r.top >= r.bottom)
        return std::nullopt;
    return r;
}

} // namespace ui
