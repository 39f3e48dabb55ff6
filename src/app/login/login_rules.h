#pragma once

// Login, access rights and administrator security.
//
// How the program calls these pieces, in order:
//
//   1. When the main window is first shown (after the start-up file check has opened the
//      tables), run the login step:
//
//        login::LoginRules rules(state.dataDirectory);
//        login::LoginOutcome out = login::runLogin(rules, messages, state.loginName,
//            [&](login::LoginRules &r, const QString &proposed) {
//                login::TLoginDialog dialog(r, proposed, mainWindow);
//                return dialog.run();               // who logged in, or nothing
//            });
//        if (out.result == login::LoginResult::Cancelled)
//            -> aborted start: no settings, no placement written, terminate.
//        state.accessLevel = out.accessLevel;       // 0 when the first start could not set it
//        state.loginName = out.loginName;
//        then restore the main window's placement ("MainForm32").
//
//   2. Before every guarded menu item, first of its guards:
//
//        if (!login::Rights::check(menuTable, "E11", state.accessLevel, messages)) return;
//
//      menuTable is the main window's MENU table (any order; the check has its own cursor).
//
//   3. "&File", "&Administrator Security":
//
//        login::TFrmSecurity form(state.dataDirectory, messages, iniFile, mainWindow);
//        form.exec();
//
// The rules classes hold no widget; every box goes through ui::Messages.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

namespace dbf {
class Table;
}
namespace ui {
class Messages;
}

namespace login {

inline constexpr std::string_view kAdministratorCode = "000";
inline constexpr int kAdministratorLevel = 9;
inline constexpr std::string_view kDefaultPassword = "KESTRELS";
inline constexpr int kPasswordLength = 8;
inline constexpr int kLowestLevel = 1;
inline constexpr int kHighestLevel = 9;

QString welcomeCaption();
QString welcomeText();
QString incorrectPasswordText();
QString noRightsText();
QString administratorLevelText();

// The option codes that guard menu items, in menu order.
const std::vector<std::string> &optionCodes();

// A level typed or chosen in a level box: the number when it is a whole number from 1 to 9.
std::optional<int> parseLevel(const QString &text);

// The staff tables of a data directory, opened shared for the length of one piece of work.
class LoginRules
{
public:
    explicit LoginRules(std::filesystem::path dataDirectory);
    ~LoginRules();
    LoginRules(const LoginRules &) = delete;
    LoginRules &operator=(const LoginRules &) = delete;

    bool hasStaff(std::string_view code);
    bool hasStaffRights(std::string_view code);
    // "000" in both TWEMPLOY and TWEMPMS: the program asks for a login.
    bool administratorComplete();

    // First start, or the administrator missing from either table: shows the welcome box and
    // adds what is missing. Returns the access level this run works at: 9 when the TWEMPMS row
    // was added now, otherwise `currentLevel` unchanged.
    int firstStart(ui::Messages &messages, int currentLevel);

    // Staff codes of TWEMPLOY in code order, for the login list.
    std::vector<std::string> staffCodes();

    enum class Check { Accepted, WrongPassword, NoRightsRow };
    struct Attempt
    {
        Check check = Check::NoRightsRow;
        int level = 0; // when accepted
    };
    // Compares a typed password with the staff member's; a blank stored password accepts any.
    Attempt tryLogin(std::string_view code, std::string_view typed);

    const std::filesystem::path &dataDirectory() const { return m_directory; }

private:
    std::filesystem::path m_directory;
    std::unique_ptr<dbf::Table> m_staff;
    std::unique_ptr<dbf::Table> m_rights;
};

enum class LoginResult { LoggedIn, FirstStart, Cancelled };

struct LoginOutcome
{
    LoginResult result = LoginResult::Cancelled;
    int accessLevel = 0;
    QString loginName;
};

// Who logged in through the dialog.
struct LoggedIn
{
    QString code;
    int level = 0;
};

// Runs the login dialog with the proposed staff code; returns who logged in, or nothing when
// it was cancelled (a staff code without a TWEMPMS row included).
using LoginDialogRunner = std::function<std::optional<LoggedIn>(LoginRules &, const QString &)>;

// The login step of the program start. On success the access level is the user's EMPLEVEL and
// the login name the code chosen; on the first start the dialog is not run.
LoginOutcome runLogin(LoginRules &rules, ui::Messages &messages, const QString &loginName,
    const LoginDialogRunner &dialog);

// The rights check that every guarded menu item runs first.
class Rights
{
public:
    // Looks `code` up in MENU (tag KEY). No row: refused silently. A level above
    // `currentLevel`: the refusal box, refused. Otherwise allowed.
    static bool check(
        dbf::Table &menu, std::string_view code, int currentLevel, ui::Messages &messages);
};

} // namespace login
