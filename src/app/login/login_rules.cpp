#include "app/login/login_rules.h"

#include "dbf/cursor.h"
#include "dbf/table.h"
#include "ui/messages.h"

namespace login {

namespace {

std::string trimmed(std::string text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// Moves `cursor` (in tag order) to the row whose single key field equals `code`.
bool findCode(dbf::Cursor &cursor, std::string_view tag, std::string_view code)
{
    cursor.setTag(tag);
    return cursor.findKey(cursor.makeKey({ std::string(code) }));
}

} // namespace

QString welcomeCaption()
{
    return QStringLiteral("Welcome to Tarnwick");
}

QString welcomeText()
{
    return QStringLiteral("An Administrator staff member with a password of KESTRELS has been "
                          "added. Subsequent loadings will require you to login using this "
                          "password.  The default password can be changed through Administrator "
                          "Security.");
}

QString incorrectPasswordText()
{
    return QStringLiteral("Incorrect password.");
}

QString noRightsText()
{
    return QStringLiteral("The user you are logged in as does not have sufficient rights to "
                          "access this option.");
}

QString administratorLevelText()
{
    return QStringLiteral("The access level for the administrator cannot be changed!");
}

const std::vector<std::string> &optionCodes()
{
    static const std::vector<std::string> codes = { "E11", "E12", "E13", "E21", "E22", "E23", "E24",
        "E25", "E31", "F11", "O12", "O13", "O14", "O15", "O21", "O22", "V11", "V12", "V13", "V14" };
    return codes;
}

std::optional<int> parseLevel(const QString &text)
{
    bool ok = false;
    const int level = text.trimmed().toInt(&ok);
    if (!ok || level < kLowestLevel || level > kHighestLevel)
        return std::nullopt;
    return level;
}

LoginRules::LoginRules(std::filesystem::path dataDirectory)
    : m_directory(std::move(dataDirectory))
    , m_staff(dbf::Table::open(m_directory, "TWEMPLOY", dbf::OpenMode::Shared))
    , m_rights(dbf::Table::open(m_directory, "TWEMPMS", dbf::OpenMode::Shared))
{
}

LoginRules::~LoginRules() = default;

bool LoginRules::hasStaff(std::string_view code)
{
    dbf::Cursor staff(*m_staff);
    return findCode(staff, "EMPNUMBER", code);
}

bool LoginRules::hasStaffRights(std::string_view code)
{
    dbf::Cursor rights(*m_rights);
    return findCode(rights, "EMPMSNUM", code);
}

bool LoginRules::administratorComplete()
{
    return hasStaff(kAdministratorCode) && hasStaffRights(kAdministratorCode);
}

int LoginRules::firstStart(ui::Messages &messages, int currentLevel)
{
    messages.information(welcomeText(), welcomeCaption());
    int level = currentLevel;
    if (!hasStaff(kAdministratorCode)) {
        dbf::Cursor staff(*m_staff);
        staff.append();
        staff.setText("EMPNUMBER", kAdministratorCode);
        staff.setText("EMPNAME", "Administrator");
        staff.post();
        staff.flush();
    }
    if (!hasStaffRights(kAdministratorCode)) {
        dbf::Cursor rights(*m_rights);
        rights.append();
        rights.setText("EMPMSNUM", kAdministratorCode);
        rights.setInteger("EMPLEVEL", kAdministratorLevel);
        rights.setText("EMPPASS", kDefaultPassword);
        level = kAdministratorLevel;
        rights.post();
        rights.flush();
    }
    return level;
}

std::vector<std::string> LoginRules::staffCodes()
{
    dbf::Cursor staff(*m_staff);
    staff.setTag("EMPNUMBER");
    std::vector<std::string> codes;
    for (bool more = staff.first() && !staff.isEmpty(); more; more = staff.next())
        codes.push_back(trimmed(staff.text("EMPNUMBER")));
    return codes;
}

LoginRules::Attempt LoginRules::tryLogin(std::string_view code, std::string_view typed)
{
    dbf::Cursor rights(*m_rights);
    if (!findCode(rights, "EMPMSNUM", code))
        return { Check::NoRightsRow, 0 };
    // The password is compared exactly, case and inner blanks included; the field is stored
    // blank-padded to its width, so trailing blanks do not count.
    const std::string stored = trimmed(rights.text("EMPPASS"));
    if (!stored.empty() && stored != trimmed(std::string(typed)))
        return { Check::WrongPassword, 0 };
    return { Check::Accepted, int(rights.integer("EMPLEVEL")) };
}

LoginOutcome runLogin(LoginRules &rules, ui::Messages &messages, const QString &loginName,
    const LoginDialogRunner &dialog)
{
    LoginOutcome out;
    out.loginName = loginName;
    if (!rules.administratorComplete()) {
        out.accessLevel = rules.firstStart(messages, 0);
        out.result = LoginResult::FirstStart;
        return out;
    }
    const std::optional<LoggedIn> who = dialog(rules, loginName);
    if (!who) {
        out.result = LoginResult::Cancelled;
        return out;
    }
    out.result = LoginResult::LoggedIn;
    out.accessLevel = who->level;
    out.loginName = who->code;
    return out;
}

bool Rights::check(
    dbf::Table &menu, std::string_view code, int currentLevel, ui::Messages &messages)
{
    dbf::Cursor options(menu);
    if (!findCode(options, "KEY", code))
        return false;
    if (options.integer("MENU_ACCES") > currentLevel) {
        messages.warning(noRightsText());
        return false;
    }
    return true;
}

} // namespace login
