#include "store/template_content.h"

#include <array>

namespace store {

namespace {

constexpr std::array<MenuOption, 20> kMenuOptions = { {
    { "E11", "Add Client" },
    { "E12", "Edit Client" },
    { "E13", "Delete Client" },
    { "E21", "List Clients" },
    { "E22", "Search Clients and Slips" },
    { "E23", "New Time/Expense Slip" },
    { "E24", "Edit Time/Expense Slip" },
    { "E25", "Delete Time/Expense Slip" },
    { "E31", "Delete Invoice" },
    { "F11", "Print Reports" },
    { "O12", "Generate Auto Billings" },
    { "O13", "Billing Statements" },
    { "O14", "Proforma Billing Report" },
    { "O15", "Purge Deleted Records" },
    { "O21", "Reindex Data Files" },
    { "O22", "Maintain Auto Billings" },
    { "V11", "Activities" },
    { "V12", "Staff" },
    { "V13", "Projects" },
    { "V14", "Company Setup" },
} };

// A statement that prints everything a client needs in a plain professional-service form,
// ordered by project and activity, with the total section at the statement's usual 9.5 inches.
constexpr std::array<FieldValue, 22> kSetupDefaults = { {
    { "USERFIELD1", "User Field 1" },
    { "USERFIELD2", "User Field 2" },
    { "USERFIELD3", "User Field 3" },
    { "USERFIELD4", "User Field 4" },
    { "USERFIELD5", "User Field 5" },
    { "DEFTAXRATE", "0" },
    { "INVMESS1", "Thank you for your business." },
    { "INVSORT", "By Project & Activity" },
    { "SUBPROJ", "N" },
    { "SUBACT", "N" },
    { "PRINTHEAD", "Y" },
    { "PRINTGRAPH", "N" },
    { "PRINTSHADE", "N" },
    { "PRINTBOX", "Y" },
    { "PRINTDESC", "Y" },
    { "PRINTHOURS", "Y" },
    { "PRINTRATE", "Y" },
    { "PRINTPREVB", "Y" },
    { "STARTTOTAL", "9.5" },
    { "INVFONT", "Times New Roman" },
    { "INVFORM", "0" },
    { "INVHEADER", "N" },
} };

constexpr std::array<FieldValue, 3> kTrackDefaults = { {
    { "NEXTSLIP", "1" },
    { "NEXTINV", "1" },
    { "NEXTCLIENT", "1001" },
} };

} // namespace

std::span<const MenuOption> menuOptions()
{
    return kMenuOptions;
}
std::span<const FieldValue> setupDefaults()
{
    return kSetupDefaults;
}
std::span<const FieldValue> trackDefaults()
{
    return kTrackDefaults;
}

} // namespace store
