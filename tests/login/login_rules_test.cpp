#include <functional>

#include "app/login/login_rules.h"
#include "app/login/security_model.h"
#include "data_dir.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

namespace {

using login::LoginResult;
using login::LoginRules;
using Check = login::LoginRules::Check;

// A login dialog stand-in: records the code proposed, then logs in with a password or cancels.
struct FakeDialog
{
    std::optional<std::string> password; // nothing: cancel
    int runs = 0;
    QString proposed;

    login::LoginDialogRunner runner()
    {
        return [this](LoginRules &rules, const QString &code) -> std::optional<login::LoggedIn> {
            ++runs;
            proposed = code;
            if (!password)
                return std::nullopt;
            const auto attempt = rules.tryLogin(code.toStdString(), *password);
            if (attempt.check != Check::Accepted)
                return std::nullopt;
            return login::LoggedIn{ code, attempt.level };
        };
    }
};

std::unique_ptr<dbf::Table> menuOf(const DataDir &dir)
{
    return dbf::Table::open(dir.path(), "MENU", dbf::OpenMode::Shared);
}

TEST(FirstStart, EmptyTablesCreateTheAdministratorOnceAndTheNextStartAsksForLogin)
{
    DataDir dir;
    ui::ScriptedMessages messages;
    FakeDialog dialog;
    {
        LoginRules rules(dir.path());
        const auto out = login::runLogin(rules, messages, "000", dialog.runner());
        EXPECT_EQ(out.result, LoginResult::FirstStart);
        EXPECT_EQ(out.accessLevel, 9);
    }
    EXPECT_EQ(dialog.runs, 0);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].kind, ui::MessageKind::Information);
    EXPECT_EQ(messages.shown()[0].caption, "Welcome to Tarnwick");
    EXPECT_EQ(messages.shown()[0].text, login::welcomeText());
    EXPECT_TRUE(messages.shown()[0].text.contains("password.  The default"));
    EXPECT_EQ(dir.rowCount("TWEMPLOY"), 1u);
    EXPECT_EQ(dir.rightsOf("000"), "9:KESTRELS");

    // Next start: no welcome, the dialog proposes the login name, the password works.
    messages.clear();
    dialog.password = "KESTRELS";
    LoginRules rules(dir.path());
    const auto out = login::runLogin(rules, messages, "000", dialog.runner());
    EXPECT_EQ(out.result, LoginResult::LoggedIn);
    EXPECT_EQ(out.accessLevel, 9);
    EXPECT_EQ(dialog.runs, 1);
    EXPECT_EQ(dialog.proposed, "000");
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_EQ(dir.rowCount("TWEMPLOY"), 1u);
    EXPECT_EQ(dir.rowCount("TWEMPMS"), 1u);
}

// Only one table lacks the administrator: the welcome box, the missing row added, and the
// level set only when the TWEMPMS row is the one created now.
TEST(FirstStart, AdministratorMissingFromOneTable)
{
    struct Case
    {
        const char *name;
        bool inStaff;
        bool inRights;
        int expectedLevel;
    };
    for (const Case &c :
        { Case{ "rights only", false, true, 0 }, Case{ "staff only", true, false, 9 } }) {
        SCOPED_TRACE(c.name);
        DataDir dir;
        if (c.inStaff)
            dir.addStaff("000", "Administrator");
        if (c.inRights)
            dir.addRights("000", 9, "SECRET");
        ui::ScriptedMessages messages;
        FakeDialog dialog;
        LoginRules rules(dir.path());
        const auto out = login::runLogin(rules, messages, "000", dialog.runner());
        EXPECT_EQ(out.result, LoginResult::FirstStart);
        EXPECT_EQ(out.accessLevel, c.expectedLevel);
        EXPECT_EQ(dialog.runs, 0);
        EXPECT_EQ(messages.texts(), QStringList{ login::welcomeText() });
        EXPECT_EQ(dir.rowCount("TWEMPLOY"), 1u);
        EXPECT_EQ(dir.rowCount("TWEMPMS"), 1u);
        // An existing password is never replaced by the default.
        EXPECT_EQ(dir.rightsOf("000"), c.inRights ? "9:SECRET" : "9:KESTRELS");
        EXPECT_TRUE(rules.administratorComplete());

        // At level 0 every guarded option is refused, with the rights message.
        if (c.expectedLevel == 0) {
            auto menu = menuOf(dir);
            for (const std::string &code : login::optionCodes()) {
                messages.clear();
                EXPECT_FALSE(login::Rights::check(*menu, code, out.accessLevel, messages)) << code;
                EXPECT_EQ(messages.texts(), QStringList{ login::noRightsText() }) << code;
            }
        }
    }
}

TEST(Login, CancelledDialogEndsTheStartAndKeepsTheLoginName)
{
    DataDir dir;
    dir.addStaff("000", "Administrator");
    dir.addRights("000", 9, "KESTRELS");
    dir.addStaff("ABC");
    dir.addRights("ABC", 4, "pw");
    ui::ScriptedMessages messages;
    FakeDialog dialog; // cancels
    LoginRules rules(dir.path());
    auto out = login::runLogin(rules, messages, "ABC", dialog.runner());
    EXPECT_EQ(out.result, LoginResult::Cancelled);
    EXPECT_EQ(out.accessLevel, 0);
    EXPECT_EQ(out.loginName, "ABC");
    EXPECT_EQ(dialog.proposed, "ABC");

    dialog.password = "pw";
    out = login::runLogin(rules, messages, "ABC", dialog.runner());
    EXPECT_EQ(out.result, LoginResult::LoggedIn);
    EXPECT_EQ(out.accessLevel, 4);
    EXPECT_EQ(out.loginName, "ABC");
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST(Login, PasswordChecks)
{
    DataDir dir;
    dir.addStaff("000", "Administrator");
    dir.addRights("000", 9, "KESTRELS");
    dir.addStaff("JD");
    dir.addRights("JD", 3, "");
    dir.addStaff("NOR"); // no TWEMPMS row
    LoginRules rules(dir.path());
    struct Case
    {
        const char *code;
        const char *typed;
        Check check;
        int level;
    };
    const Case cases[] = {
        { "000", "WRONG", Check::WrongPassword, 0 },
        { "000", "kestrels", Check::WrongPassword, 0 }, // case-sensitive
        { "000", "", Check::WrongPassword, 0 },
        { "000", "KESTREL", Check::WrongPassword, 0 },
        { "000", "KESTRELS", Check::Accepted, 9 }, // right after wrong
        { "JD", "", Check::Accepted, 3 }, // blank password: anything goes
        { "JD", "anything", Check::Accepted, 3 },
        { "NOR", "", Check::NoRightsRow, 0 },
        { "ZZZ", "x", Check::NoRightsRow, 0 },
    };
    for (const Case &c : cases) {
        const auto attempt = rules.tryLogin(c.code, c.typed);
        EXPECT_EQ(attempt.check, c.check) << c.code << " " << c.typed;
        EXPECT_EQ(attempt.level, c.level) << c.code << " " << c.typed;
    }
    EXPECT_EQ(rules.staffCodes(), (std::vector<std::string>{ "000", "JD", "NOR" }));
}

TEST(Rights, LevelAgainstOptionLevel)
{
    DataDir dir;
    dir.setMenuLevel("E13", 6);
    dir.setMenuLevel("V12", 5);
    auto menu = menuOf(dir);
    struct Case
    {
        const char *code;
        int userLevel;
        bool allowed;
        bool message;
    };
    const Case cases[] = {
        { "E13", 5, false, true },
        { "V12", 5, true, false },
        { "E13", 6, true, false },
        { "E13", 9, true, false },
        { "X99", 9, false, false }, // no MENU row: refused silently
        { "", 9, false, false },
    };
    for (const Case &c : cases) {
        ui::ScriptedMessages messages;
        EXPECT_EQ(login::Rights::check(*menu, c.code, c.userLevel, messages), c.allowed) << c.code;
        ASSERT_EQ(messages.shown().size(), c.message ? 1 : 0) << c.code;
        if (c.message) {
            EXPECT_EQ(messages.shown()[0].kind, ui::MessageKind::Warning);
            EXPECT_EQ(messages.shown()[0].buttons, ui::MessageButtons::Ok);
            EXPECT_EQ(messages.lastText(), login::noRightsText());
        }
    }
}

// Every guarded option code has its MENU row and is refused one level below its own.
TEST(Rights, EveryOptionRefusedBelowItsLevel)
{
    DataDir dir;
    int level = 2;
    std::map<std::string, int> levels;
    for (const std::string &code : login::optionCodes()) {
        levels[code] = level;
        dir.setMenuLevel(code, level);
        level = level == 9 ? 2 : level + 1;
    }
    auto menu = menuOf(dir);
    for (const auto &[code, needed] : levels) {
        ui::ScriptedMessages messages;
        EXPECT_FALSE(login::Rights::check(*menu, code, needed - 1, messages)) << code;
        EXPECT_EQ(messages.texts(), QStringList{ login::noRightsText() }) << code;
        EXPECT_TRUE(login::Rights::check(*menu, code, needed, messages)) << code;
        EXPECT_EQ(messages.shown().size(), 1) << code;
    }
}

TEST(Security, NewStaffMemberLogsInOnlyAfterTheWindowWasOpened)
{
    DataDir dir;
    dir.addStaff("000", "Administrator");
    dir.addRights("000", 9, "KESTRELS");
    dir.addStaff("NEW", "New Member");
    {
        LoginRules rules(dir.path());
        EXPECT_EQ(rules.tryLogin("NEW", "").check, Check::NoRightsRow);
    }
    ui::ScriptedMessages messages;
    {
        login::SecurityModel model(dir.path(), messages);
        EXPECT_EQ(model.addedStaff(), std::vector<std::string>{ "NEW" });
        EXPECT_TRUE(model.removedStaff().empty());
    }
    EXPECT_EQ(dir.rightsOf("NEW"), "9:");
    LoginRules rules(dir.path());
    const auto empty = rules.tryLogin("NEW", "");
    EXPECT_EQ(empty.check, Check::Accepted);
    EXPECT_EQ(empty.level, 9);
    EXPECT_EQ(rules.tryLogin("NEW", "whatever").check, Check::Accepted);

    // A second opening adds nothing.
    login::SecurityModel again(dir.path(), messages);
    EXPECT_TRUE(again.addedStaff().empty());
    EXPECT_EQ(dir.rowCount("TWEMPMS"), 2u);
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST(Security, DeletedStaffMemberRowRemovedAtNextOpening)
{
    DataDir dir;
    dir.addStaff("000", "Administrator");
    dir.addRights("000", 9, "KESTRELS");
    for (const char *code : { "AAA", "BBB", "CCC" }) {
        dir.addStaff(code);
        dir.addRights(code, 4, "p");
    }
    dir.addRights("ZZZ", 2, "orphan"); // never a staff member
    dir.removeRow("TWEMPLOY", "EMPNUMBER", "BBB");
    ui::ScriptedMessages messages;
    login::SecurityModel model(dir.path(), messages);
    EXPECT_EQ(model.removedStaff(), (std::vector<std::string>{ "BBB", "ZZZ" }));
    std::vector<std::string> codes;
    for (const auto &row : model.staffRows())
        codes.push_back(row.code);
    EXPECT_EQ(codes, (std::vector<std::string>{ "000", "AAA", "CCC" }));
    EXPECT_EQ(dir.rightsOf("BBB"), "none");
    EXPECT_EQ(dir.rightsOf("CCC"), "4:p");
    EXPECT_EQ(dir.rowCount("TWEMPMS"), 3u);
}

TEST(Security, AdministratorLevelRestoredToNineWithItsMessage)
{
    DataDir dir;
    dir.addStaff("000", "Administrator");
    dir.addRights("000", 9, "KESTRELS");
    ui::ScriptedMessages messages;
    login::SecurityModel model(dir.path(), messages);
    ASSERT_EQ(model.staffRows().size(), 1u);
    EXPECT_TRUE(model.setStaffLevel(0, 3));
    model.setStaffPassword(0, "NEWPASSWORD");
    EXPECT_TRUE(messages.shown().isEmpty()); // not before the post
    model.post();
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.shown()[0].kind, ui::MessageKind::Warning);
    EXPECT_EQ(messages.lastText(), "The access level for the administrator cannot be changed!");
    EXPECT_EQ(model.staffRows()[0].level, 9);
    // The password change goes through, cut to eight characters.
    EXPECT_EQ(dir.rightsOf("000"), "9:NEWPASSW");
}

TEST(Security, LevelsOutsideOneToNineRefused)
{
    DataDir dir;
    dir.addStaff("000", "Administrator");
    dir.addStaff("ABC");
    ui::ScriptedMessages messages;
    login::SecurityModel model(dir.path(), messages);
    ASSERT_EQ(model.menuRows().size(), login::optionCodes().size());
    for (int level : { 0, -1, 10, 99 }) {
        EXPECT_FALSE(model.setMenuLevel(0, level)) << level;
        EXPECT_FALSE(model.setStaffLevel(1, level)) << level;
    }
    EXPECT_FALSE(model.pendingMenuRow());
    EXPECT_FALSE(model.pendingStaffRow());
    for (int level : { 1, 9 }) {
        EXPECT_TRUE(model.setMenuLevel(0, level));
        EXPECT_TRUE(model.setStaffLevel(1, level));
    }
    EXPECT_FALSE(model.setMenuLevel(model.menuRows().size(), 5)); // no such row

    struct Text
    {
        const char *text;
        std::optional<int> level;
    };
    for (const Text &t :
        { Text{ "1", 1 }, Text{ "9", 9 }, Text{ " 5 ", 5 }, Text{ "0", {} }, Text{ "10", {} },
            Text{ "", {} }, Text{ "x", {} }, Text{ "-3", {} }, Text{ "4.5", {} } })
        EXPECT_EQ(login::parseLevel(t.text), t.level) << t.text;
}

TEST(Security, EditsPostOnRowChangeAndOkAndAreLostOnDiscard)
{
    DataDir dir;
    dir.addStaff("000", "Administrator");
    dir.addStaff("ABC");
    dir.addStaff("DEF");
    ui::ScriptedMessages messages;
    {
        login::SecurityModel model(dir.path(), messages);
        const std::string firstKey = model.menuRows()[0].key;
        const std::string secondKey = model.menuRows()[1].key;
        model.setStaffLevel(1, 4); // ABC
        EXPECT_EQ(dir.rightsOf("ABC"), "9:"); // still pending
        model.setStaffLevel(2, 2); // DEF: posts ABC
        EXPECT_EQ(dir.rightsOf("ABC"), "4:");
        model.setMenuLevel(0, 7);
        model.setMenuLevel(1, 8); // posts the first
        model.discard(); // the window closed by its frame
        EXPECT_EQ(dir.rightsOf("DEF"), "9:");
        EXPECT_EQ(model.menuRows()[0].level, 7);
        EXPECT_EQ(model.menuRows()[1].level, 1);
        auto menu = menuOf(dir);
        EXPECT_FALSE(login::Rights::check(*menu, firstKey, 6, messages));
        EXPECT_TRUE(login::Rights::check(*menu, secondKey, 1, messages));
        model.setStaffPassword(2, "Zz 1");
        model.post(); // OK
    }
    EXPECT_EQ(dir.rightsOf("DEF"), "9:Zz 1");
    EXPECT_EQ(messages.texts(), QStringList{ login::noRightsText() });
}

// Two administrators at once, each window on table handles of its own: the first change of a row
// takes its lock, so the second administrator is refused that row instead of overwriting it,
// and a row taken later is re-read first.
TEST(Security, RowIsLockedFromTheFirstChangeSoTwoAdministratorsNeverOverwriteEachOther)
{
    DataDir dir;
    dir.addStaff("000", "Administrator");
    dir.addStaff("ABC");
    ui::ScriptedMessages messages;
    login::SecurityModel first(dir.path(), messages);
    login::SecurityModel second(dir.path(), messages);
    auto expectLocked = [](const std::function<void()> &change) {
        try {
            change();
            ADD_FAILURE() << "a row held by the other administrator was changed";
        } catch (const std::exception &e) {
            EXPECT_EQ(std::string(e.what()).rfind("Record locked", 0), 0u) << e.what();
        }
    };

    EXPECT_TRUE(first.setStaffLevel(1, 4)); // ABC
    first.setStaffPassword(1, "SECRET");
    expectLocked([&] { second.setStaffLevel(1, 2); });
    expectLocked([&] { second.setStaffPassword(1, "MINE"); });
    EXPECT_EQ(second.staffRows()[1].level, 9);
    EXPECT_EQ(second.staffRows()[1].password, QString());
    EXPECT_FALSE(second.pendingStaffRow());
    EXPECT_TRUE(second.setMenuLevel(0, 5));
    expectLocked([&] { first.setMenuLevel(0, 3); });
    EXPECT_EQ(first.menuRows()[0].level, 1);

    first.post();
    EXPECT_EQ(dir.rightsOf("ABC"), "4:SECRET");
    // The second administrator's row is read again as it is taken: the password stays.
    EXPECT_TRUE(second.setStaffLevel(1, 2));
    EXPECT_EQ(second.staffRows()[1].password, QStringLiteral("SECRET"));
    second.discard(); // closed by the frame: the locks go with the changes
    EXPECT_EQ(dir.rightsOf("ABC"), "4:SECRET");
    EXPECT_TRUE(first.setMenuLevel(0, 3));
    EXPECT_TRUE(first.setStaffLevel(1, 6));
    first.post();
    EXPECT_EQ(dir.rightsOf("ABC"), "6:SECRET");
    EXPECT_EQ(first.menuRows()[0].level, 3);
    EXPECT_TRUE(messages.shown().isEmpty());
}

} // namespace
