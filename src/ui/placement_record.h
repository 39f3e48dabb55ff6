#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ui {

// A window's placement as the ten numbers of its stored value, in this order:
//   flags       1 = minimised position set, 2 = restore to maximised (from minimised)
//   showState   1 normal, 2 minimised, 3 maximised
//   minX minY   minimised position (-1 when not set)
//   maxX maxY   maximised position (-1 when not set)
//   left top right bottom
//               the normal (restored) rectangle in screen pixels; right and bottom lie just
//               outside it, so right - left is the width
// Typical stored value: "0,1,-1,-1,-1,-1,156,96,791,544".
struct PlacementRecord
{
    static constexpr int kRestoreToMaximized = 2;
    static constexpr int kShowNormal = 1;
    static constexpr int kShowMinimized = 2;
    static constexpr int kShowMaximized = 3;
    // Longest stored value; longer text is cut (the tail of the last number is lost).
    static constexpr std::size_t kMaxLength = 40;

    int flags = 0;
    int showState = kShowNormal;
    int minX = -1;
    int minY = -1;
    int maxX = -1;
    int maxY = -1;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const PlacementRecord &) const = default;

    // The ten numbers joined by commas, cut to kMaxLength characters.
    std::string format() const;

    // Reads a stored value: only its first kMaxLength characters count; each of the first nine
    // numbers is the text before the next comma and the tenth at most 10 characters of what is
    // left. Returns nullopt, meaning "leave the window where it is", when the text is empty, any
    // of the ten is not a decimal integer (a hand-edited file), or the normal rectangle is empty
    // or inverted in either direction.
    static std::optional<PlacementRecord> parse(std::string_view stored);
};

} // namespace ui
