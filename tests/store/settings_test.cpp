#include <map>

#include "store/settings.h"
#include <gtest/gtest.h>

namespace {

using store::Settings;

// A settings file as a map of "Section/Key" to value.
struct FakeIni
{
    std::map<std::string, std::string> keys;
    std::optional<std::string> value(std::string_view section, std::string_view key) const
    {
        auto it = keys.find(std::string(section) + "/" + std::string(key));
        if (it == keys.end())
            return std::nullopt;
        return it->second;
    }
};
static_assert(store::SettingsReader<FakeIni>);

TEST(Settings, MissingFileGivesDefaults)
{
    const Settings s = Settings::read(FakeIni{});
    EXPECT_EQ(s.reportFont, "Times New Roman");
    EXPECT_EQ(s.loginName, "000");
    EXPECT_TRUE(s.hints);
    EXPECT_EQ(s.dataDirectory, "");
    EXPECT_EQ(s.helpFile(), "TARNW.HLP");
    EXPECT_EQ(s.dataFile("TWCLIENT.DBF"), "TWCLIENT.DBF");
}

TEST(Settings, ValuesAreCutToTheirLimits)
{
    FakeIni ini;
    ini.keys["Settings/ReportFont"] = "Courier New Extra Condensed Bold";
    ini.keys["Settings/Login Name"] = "ABCD";
    ini.keys["Drive/Path"] = "/srv/practice/" + std::string(50, 'x') + "/";
    const Settings s = Settings::read(ini);
    EXPECT_EQ(s.reportFont, "Courier New Extra Co");
    EXPECT_EQ(s.loginName, "ABC");
    // Cut to 50 first, then the separator is added: the trailing "/" of the value is gone.
    EXPECT_EQ(s.dataDirectory, "/srv/practice/" + std::string(36, 'x') + "/");
}

TEST(Settings, CutNeverSplitsACharacter)
{
    EXPECT_EQ(Settings::cut("M\xC3\xBCller", 2), "M\xC3\xBC");
    EXPECT_EQ(Settings::cut("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 3), "\xC3\xA9\xC3\xA9\xC3\xA9");
    EXPECT_EQ(Settings::cut("ab", 3), "ab");
    EXPECT_EQ(Settings::cut("abc", 0), "");
}

TEST(Settings, PathWithAndWithoutSeparatorNamesTheSameFiles)
{
    struct Case
    {
        const char *path;
        const char *expected;
    };
    for (const Case &c : { Case{ "/srv/data", "/srv/data/" }, Case{ "/srv/data/", "/srv/data/" },
             Case{ "/srv/data\\", "/srv/data/" }, Case{ "\\srv\\data", "/srv/data/" },
             Case{ "data", "data/" }, Case{ "", "" } }) {
        SCOPED_TRACE(c.path);
        FakeIni ini;
        ini.keys["Drive/Path"] = c.path;
        const Settings s = Settings::read(ini);
        EXPECT_EQ(s.dataDirectory, c.expected);
        EXPECT_EQ(s.dataFile("TWSLIP.DBF"), std::string(c.expected) + "TWSLIP.DBF");
    }
}

TEST(Settings, HintsReadAsAWholeNumber)
{
    struct Case
    {
        const char *text;
        bool hints;
    };
    for (const Case &c : { Case{ "0", false }, Case{ "1", true }, Case{ " 0 ", false },
             Case{ "2", true }, Case{ "", true }, Case{ "no", true }, Case{ "0x", true } }) {
        SCOPED_TRACE(c.text);
        FakeIni ini;
        ini.keys["Settings/Hints"] = c.text;
        EXPECT_EQ(Settings::read(ini).hints, c.hints);
    }
}

} // namespace
