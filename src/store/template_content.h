#pragma once

#include <span>
#include <string_view>

namespace store {

// The rows the templates carry: one MENU row per guarded program option, and the single records
// of TWSETUP and TWTRACK. Every other template is an empty table.

struct MenuOption
{
    std::string_view code; // MENU_KEY
    std::string_view description; // MENU_DESC, at most 30 characters
};

// The twenty option codes in code order. Each ships with level kDefaultMenuLevel and
// MENU_USED "Y".
std::span<const MenuOption> menuOptions();
inline constexpr int kDefaultMenuLevel = 1;

// One field of a single-record template as text in the field's own form (numbers in decimal,
// flags "Y"/"N"); memo fields hold their text.
struct FieldValue
{
    std::string_view field;
    std::string_view value;
};

// The company setup a new practice starts with. Fields not listed are blank.
std::span<const FieldValue> setupDefaults();
// The counters: first slip 1, first statement 1, first client 1001.
std::span<const FieldValue> trackDefaults();

} // namespace store
