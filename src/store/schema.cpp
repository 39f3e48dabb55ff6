#include "store/schema.h"

#include <array>

#include "store/store_error.h"

namespace store {

namespace {

using dbf::FieldDef;
using dbf::FieldType;

// Numeric widths. Money keeps two decimals and amounts up to 99 999 999 999.99; hours keep four
// decimals so that minutes and tenths of minutes survive; record numbers hold ten digits (and
// the -1 of an unbilled slip); small whole numbers (flags, levels, choices) fit a 16-bit value.
FieldDef character(std::string name, std::uint8_t width)
{
    return { std::move(name), FieldType::Character, width, 0 };
}
FieldDef numeric(std::string name, std::uint8_t width, std::uint8_t decimals)
{
    return { std::move(name), FieldType::Numeric, width, decimals };
}
FieldDef money(std::string name)
{
    return numeric(std::move(name), 14, 2);
}
FieldDef rate(std::string name)
{
    return numeric(std::move(name), 12, 2);
}
FieldDef hours(std::string name)
{
    return numeric(std::move(name), 12, 4);
}
FieldDef percent(std::string name)
{
    return numeric(std::move(name), 8, 4);
}
FieldDef recordNumber(std::string name)
{
    return numeric(std::move(name), 10, 0);
}
FieldDef smallNumber(std::string name)
{
    return numeric(std::move(name), 6, 0);
}
FieldDef date(std::string name)
{
    return { std::move(name), FieldType::Date, 8, 0 };
}
FieldDef memo(std::string name)
{
    return { std::move(name), FieldType::Memo, 10, 0 };
}

// Appends prefix1 suffix .. prefix5 suffix, each made by `make`.
template <typename Make>
void fiveOf(
    std::vector<FieldDef> &fields, const std::string &prefix, const std::string &suffix, Make make)
{
    for (char n = '1'; n <= '5'; ++n)
        fields.push_back(make(prefix + n + suffix));
}

TagDef fieldTag(std::string name, std::string key, bool primary = false, bool unique = false)
{
    return { std::move(name), std::move(key), primary, unique, false };
}
TagDef expressionTag(std::string name, std::string key, bool primary = false, bool unique = false)
{
    return { std::move(name), std::move(key), primary, unique, true };
}

TableDef clientTable()
{
    TableDef t{ "TWCLIENT", {}, {} };
    auto &f = t.fields;
    f = { character("NUMBER", 6), character("NAME", 30), character("SADD", 30),
        character("SADD2", 30), character("SCITY", 17), character("SSTATE", 2),
        character("SZIP", 10), character("PHONE", 13), character("EXTENSION", 5),
        character("FAX", 13), character("CONTACT", 15), character("BEEPER", 13),
        character("ACTIVE", 1), date("SETUPDATE"), character("MISC1", 25), character("MISC2", 25),
        character("MISC3", 25), character("MISC4", 10), character("MISC5", 10) };
    fiveOf(f, "B_RATE", "", rate);
    fiveOf(f, "B_RATE", "D", [](std::string n) { return character(std::move(n), 25); });
    f.push_back(smallNumber("B_RATEDEF"));
    f.push_back(smallNumber("B_RATESRC"));
    f.push_back(smallNumber("CYCLE"));
    f.push_back(character("TERMS", 20));
    f.push_back(memo("MEMO"));
    fiveOf(f, "D_ACT", "", [](std::string n) { return character(std::move(n), 10); });
    fiveOf(f, "D_HOURS", "", hours);
    fiveOf(f, "D_RATE", "", rate);
    fiveOf(f, "D_TOTAL", "", money);
    fiveOf(f, "D_CYCLE", "", smallNumber);
    fiveOf(f, "D_EMPLOY", "", [](std::string n) { return character(std::move(n), 3); });
    fiveOf(f, "D_PROJECT", "", [](std::string n) { return character(std::move(n), 10); });
    t.tags = { fieldTag("Contact", "Contact"), fieldTag("Fax", "Fax"), fieldTag("Name", "Name"),
        fieldTag("Number", "Number", true, true), fieldTag("Phone", "Phone") };
    return t;
}

TableDef staffTable()
{
    TableDef t{ "TWEMPLOY", {}, {} };
    auto &f = t.fields;
    f = { character("EMPNUMBER", 3), character("EMPNAME", 30), character("SSN", 11) };
    fiveOf(f, "EMPRATE", "", rate);
    for (char n = '1'; n <= '4'; ++n)
        f.push_back(character(std::string("EMPRATE") + n + "D", 20));
    f.push_back(character("EMTRATE5D", 20)); // the fifth description is spelled EMT
    t.tags = { fieldTag("EmpNumber", "EmpNumber", true) };
    return t;
}

TableDef staffRightsTable()
{
    TableDef t{ "TWEMPMS", {}, {} };
    t.fields = { character("EMPMSNUM", 3), smallNumber("EMPLEVEL"), character("EMPPASS", 8) };
    t.tags = { fieldTag("Empmsnum", "EMPMSNUM", true, true) };
    return t;
}

TableDef activityTable()
{
    TableDef t{ "TWACT", {}, {} };
    auto &f = t.fields;
    f = { character("ACTIVITY", 10), character("DESC", 30), character("ACTTYPE", 1),
        character("TAXABLE", 1), percent("TAXRATE"), smallNumber("BILLABLE"), money("FLATAMOUNT") };
    fiveOf(f, "ACTRATE", "", rate);
    fiveOf(f, "ACTRATED", "", [](std::string n) { return character(std::move(n), 20); });
    t.tags = { fieldTag("Activity", "Activity", false, true) };
    return t;
}

TableDef projectTable()
{
    TableDef t{ "TWPROJCT", {}, {} };
    t.fields = { character("PJ_CLIENT", 6), character("PJ_CODE", 10), character("PJ_DESC", 40),
        date("PJ_ESTDATE"), hours("PJ_ESTHOUR"), money("PJ_ESTCOST"), date("PJ_STARTDT"),
        date("PJ_DONEDT"), hours("PJ_TOTHOUR"), money("PJ_TOTCHG") };
    t.tags = { expressionTag("Client_Cod", "Pj_Client+Pj_Code", false, true),
        fieldTag("PJ_Client", "PJ_Client"), fieldTag("PJ_Code", "Pj_Code", true) };
    return t;
}

TableDef slipTable()
{
    TableDef t{ "TWSLIP", {}, {} };
    t.fields = { recordNumber("SL_NUMBER"), character("SL_CLIENT", 6), character("SL_PROJECT", 10),
        character("SL_ACT", 10), character("SL_EMPLOY", 3), date("SL_DATEBEG"), date("SL_DATEEND"),
        character("SL_TIMEBEG", 11), character("SL_BEGISPM", 1), character("SL_TIMEEND", 11),
        character("SL_ENDISPM", 1), hours("SL_HOURS"), smallNumber("SL_RATESRC"),
        smallNumber("SL_RATELVL"), rate("SL_RATE"), money("SL_TOTAL"), money("SL_EXPAMT"),
        character("SL_TAXABLE", 1), money("SL_TAXAMT"), smallNumber("SL_TIMERON"),
        smallNumber("SL_DONE"), smallNumber("SL_BILLED"), recordNumber("SL_INVOICE"),
        memo("SL_DESCINT"), memo("SL_DESCCLN") };
    t.tags = { fieldTag("SL_Client", "SL_CLIENT"), fieldTag("SL_Invoice", "SL_INVOICE"),
        fieldTag("SL_Number", "SL_Number", true),
        expressionTag("SL_CPrjAct", "SL_CLIENT+SL_PROJECT+SL_Act"),
        expressionTag("SL_CProj", "SL_Client+SL_Project"),
        expressionTag("SL_CAct", "SL_Client+SL_Act"), fieldTag("SL_ActOnly", "SL_Act"),
        fieldTag("SL_PrjOnly", "SL_Project"),
        expressionTag("SL_CDate", std::string(kSlipDateExpression)) };
    return t;
}

TableDef invoiceTable()
{
    TableDef t{ "TWINVOIC", {}, {} };
    t.fields = { recordNumber("INV_NUMBER"), character("INV_CLIENT", 6), date("INV_DATE"),
        date("INV_DUE"), money("INV_TOTAL"), money("INV_TAXAMT"), money("INV_PAID") };
    t.tags = { fieldTag("INV_Client", "INV_Client"), fieldTag("INV_Number", "INV_Number", true) };
    return t;
}

TableDef paymentTable()
{
    TableDef t{ "TWPMT", {}, {} };
    t.fields = { recordNumber("PMT_INVOIC"), character("PMT_CLIENT", 6), date("PMT_DATE"),
        money("PMT_AMOUNT"), character("PMT_CHECK", 10), character("PMT_DESC", 40) };
    // Primary, yet a client has many payments: primary must not make the tag unique.
    t.tags = { fieldTag("PMT_Client", "PMT_Client", true), fieldTag("PMT_Invoic", "PMT_Invoic") };
    return t;
}

TableDef setupTable()
{
    TableDef t{ "TWSETUP", {}, {} };
    auto &f = t.fields;
    f = { character("COMPNAME", 40), character("COMPADD1", 40), character("COMPADD2", 40),
        character("COMPCITY", 20), character("COMPST", 2), character("COMPZIP", 10),
        character("COMPPH", 30), character("COMPFAX", 30) };
    fiveOf(f, "USERFIELD", "", [](std::string n) { return character(std::move(n), 20); });
    f.push_back(percent("DEFTAXRATE"));
    f.push_back(memo("INVMESS1"));
    f.push_back(character("INVSORT", 40));
    for (const char *flag : { "SUBPROJ", "SUBACT", "PRINTHEAD", "PRINTGRAPH", "PRINTSHADE",
             "PRINTBOX", "PRINTDESC", "PRINTHOURS", "PRINTRATE", "PRINTPREVB" })
        f.push_back(character(flag, 1));
    f.push_back(numeric("STARTTOTAL", 6, 2)); // inches from the top of the page
    f.push_back(character("INVFONT", 30));
    f.push_back(character("PTERMS", 40));
    f.push_back(smallNumber("INVFORM"));
    f.push_back(character("INVHEADER", 1));
    return t;
}

TableDef trackTable()
{
    TableDef t{ "TWTRACK", {}, {} };
    t.fields = { recordNumber("NEXTSLIP"), recordNumber("NEXTINV"), recordNumber("NEXTCLIENT") };
    return t;
}

TableDef menuTable()
{
    TableDef t{ "MENU", {}, {} };
    t.fields = { character("MENU_KEY", 5), character("MENU_DESC", 30), smallNumber("MENU_ACCES"),
        character("MENU_USED", 1), character("MENU_MISC1", 10), numeric("MENU_MISC2", 14, 2) };
    t.tags = { fieldTag("Key", "Menu_Key", true, true), fieldTag("Used", "Menu_Used") };
    return t;
}

const std::vector<TableDef> &allTables()
{
    static const std::vector<TableDef> all = { clientTable(), staffTable(), staffRightsTable(),
        activityTable(), projectTable(), slipTable(), invoiceTable(), paymentTable(), setupTable(),
        trackTable(), menuTable() };
    return all;
}

constexpr std::array<std::string_view, 11> kTableCheckOrder = { "TWCLIENT", "TWSLIP", "TWACT",
    "TWPROJCT", "TWEMPLOY", "TWSETUP", "TWTRACK", "TWPMT", "TWINVOIC", "TWEMPMS", "MENU" };
constexpr std::array<std::string_view, 3> kMemoCheckOrder = { "TWCLIENT", "TWSLIP", "TWSETUP" };
constexpr std::array<std::string_view, 9> kIndexCheckOrder = { "TWACT", "TWCLIENT", "TWEMPLOY",
    "TWPROJCT", "TWSLIP", "TWINVOIC", "TWPMT", "TWEMPMS", "MENU" };
constexpr std::array<std::string_view, 11> kPackOrder = { "TWACT", "TWEMPLOY", "TWSLIP", "TWTRACK",
    "TWCLIENT", "TWPROJCT", "TWINVOIC", "TWPMT", "TWSETUP", "TWEMPMS", "MENU" };

} // namespace

bool TableDef::hasMemo() const
{
    for (const dbf::FieldDef &f : fields)
        if (f.type == dbf::FieldType::Memo)
            return true;
    return false;
}

std::span<const TableDef> tables()
{
    return allTables();
}

const TableDef *findTable(std::string_view name)
{
    for (const TableDef &t : allTables())
        if (dbf::RecordLayout::equalsIgnoreCase(t.name, name))
            return &t;
    return nullptr;
}

const TableDef &table(std::string_view name)
{
    if (const TableDef *t = findTable(name))
        return *t;
    throw StoreError("Unknown table " + std::string(name) + ".");
}

std::span<const std::string_view> tableCheckOrder()
{
    return kTableCheckOrder;
}
std::span<const std::string_view> memoCheckOrder()
{
    return kMemoCheckOrder;
}
std::span<const std::string_view> indexCheckOrder()
{
    return kIndexCheckOrder;
}
std::span<const std::string_view> packOrder()
{
    return kPackOrder;
}

TagDef slipDateRepairTag()
{
    return expressionTag("SL_CDate", std::string(kSlipDateExpression), true, false);
}

} // namespace store
