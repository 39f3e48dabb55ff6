#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/ini_file.h"
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path()
            / ("tarnw-ini-" + std::to_string(::getpid()) + "-"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_path = m_dir / "TARNW.INI";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void writeFile(const std::string &content)
    {
        std::ofstream(m_path, std::ios::binary) << content;
    }
    std::string readFile() const
    {
        std::ifstream in(m_path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path m_dir;
    fs::path m_path;
};

const char *const kHandWritten = "; Tarnwick settings, edited by hand\n"
                                 "[Settings]\n"
                                 "ReportFont = Arial Narrow\n"
                                 "  ; the last user\n"
                                 "Login Name=ABC\n"
                                 "Hints=0\n"
                                 "\n"
                                 "[Other Program]\n"
                                 "Login Name=zzz\n"
                                 "Colour=blue\n"
                                 "\n"
                                 "[Drive]\n"
                                 "Path=\"/srv/data\"\n";

TEST_F(IniFileTest, ReadsIgnoringCaseAndBlanksAndGivesDefaultsForMissingKeys)
{
    writeFile(kHandWritten);
    platform::IniFile ini(m_path);
    struct Case
    {
        const char *section, *key, *def, *expected;
    } cases[] = {
        { "Settings", "ReportFont", "Times New Roman", "Arial Narrow" },
        { "SETTINGS", "login name", "000", "ABC" }, { " settings ", "LOGIN NAME", "000", "ABC" },
        { "Other Program", "Login Name", "000", "zzz" },
        { "Drive", "Path", "", "/srv/data" }, // one pair of quotes removed
        { "Settings", "Missing", "dflt", "dflt" }, { "Nowhere", "Path", "dflt", "dflt" },
        { "Settings", "; the last user", "dflt", "dflt" }, // a comment is not a key
    };
    for (const Case &c : cases)
        EXPECT_EQ(ini.readString(c.section, c.key, c.def), c.expected)
            << c.section << " / " << c.key;
    EXPECT_FALSE(ini.readBool("Settings", "Hints", true));
    EXPECT_TRUE(ini.readBool("Settings", "NoSuchFlag", true));
    EXPECT_EQ(
        ini.keys("settings"), (std::vector<std::string>{ "ReportFont", "Login Name", "Hints" }));
}

TEST_F(IniFileTest, MissingFileReadsDefaultsAndIsCreatedByTheFirstWrite)
{
    platform::IniFile ini(m_dir / "sub" / "TARNW.INI");
    EXPECT_EQ(ini.readString("Settings", "Login Name", "000"), "000");
    EXPECT_FALSE(ini.sectionExists("Settings"));
    ASSERT_TRUE(ini.writeString("Settings", "Login Name", "AB"));
    EXPECT_EQ(ini.readString("settings", "login name", "000"), "AB");
    std::ifstream in(m_dir / "sub" / "TARNW.INI");
    std::ostringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "[Settings]\nLogin Name=AB\n");
}

TEST_F(IniFileTest, WritingAKeyChangesOnlyItsLine)
{
    struct Case
    {
        const char *name, *section, *key, *value, *expected;
    } cases[] = {
        { "existing key keeps its spelling", "SETTINGS", "login name", "XYZ",
            "; Tarnwick settings, edited by hand\n[Settings]\nReportFont = Arial Narrow\n"
            "  ; the last user\nLogin Name=XYZ\nHints=0\n\n[Other Program]\nLogin Name=zzz\n"
            "Colour=blue\n\n[Drive]\nPath=\"/srv/data\"\n" },
        { "new key goes after the section's last line, before the blank line", "Other Program",
            "Size", "12",
            "; Tarnwick settings, edited by hand\n[Settings]\nReportFont = Arial Narrow\n"
            "  ; the last user\nLogin Name=ABC\nHints=0\n\n[Other Program]\nLogin Name=zzz\n"
            "Colour=blue\nSize=12\n\n[Drive]\nPath=\"/srv/data\"\n" },
        { "new section is appended after a blank line", "Screens", "MainForm32",
            "0,1,-1,-1,-1,-1,156,96,791,544",
            "; Tarnwick settings, edited by hand\n[Settings]\nReportFont = Arial Narrow\n"
            "  ; the last user\nLogin Name=ABC\nHints=0\n\n[Other Program]\nLogin Name=zzz\n"
            "Colour=blue\n\n[Drive]\nPath=\"/srv/data\"\n\n[Screens]\n"
            "MainForm32=0,1,-1,-1,-1,-1,156,96,791,544\n" },
        { "value with a line break is cut there", "Settings", "Hints", "1\n[Drive]\nPath=/etc",
            "; Tarnwick settings, edited by hand\n[Settings]\nReportFont = Arial Narrow\n"
            "  ; the last user\nLogin Name=ABC\nHints=1\n\n[Other Program]\nLogin Name=zzz\n"
            "Colour=blue\n\n[Drive]\nPath=\"/srv/data\"\n" },
    };
    for (const Case &c : cases) {
        writeFile(kHandWritten);
        platform::IniFile ini(m_path);
        ASSERT_TRUE(ini.writeString(c.section, c.key, c.value)) << c.name;
        EXPECT_EQ(readFile(), c.expected) << c.name;
    }
}

TEST_F(IniFileTest, KeepsWindowsLineEndsAndAMissingFinalLineEnd)
{
    writeFile("[Settings]\r\nHints=1\r\n[Drive]\r\nPath=C:\\DATA");
    platform::IniFile ini(m_path);
    EXPECT_EQ(ini.readString("Drive", "Path", ""), "C:\\DATA");
    ASSERT_TRUE(ini.writeBool("Settings", "Hints", false));
    EXPECT_EQ(readFile(), "[Settings]\r\nHints=0\r\n[Drive]\r\nPath=C:\\DATA");
    ASSERT_TRUE(ini.writeString("Settings", "Login Name", "000"));
    EXPECT_EQ(readFile(), "[Settings]\r\nHints=0\r\nLogin Name=000\r\n[Drive]\r\nPath=C:\\DATA");
}

TEST_F(IniFileTest, RefusesNamesThatCouldNotBeReadBack)
{
    writeFile(kHandWritten);
    platform::IniFile ini(m_path);
    for (const char *bad : { "", "a=b", "[x]", "two\nlines" }) {
        EXPECT_FALSE(ini.writeString(bad, "k", "v")) << bad;
        EXPECT_FALSE(ini.writeString("Settings", bad, "v")) << bad;
    }
    EXPECT_EQ(readFile(), kHandWritten);
}

TEST_F(IniFileTest, IntegersFallBackToTheDefaultOnBadText)
{
    writeFile("[N]\na=42\nb=-7\nc=+3\nd=12x\ne=\nf=99999999999\ng= 5 \n");
    platform::IniFile ini(m_path);
    const std::pair<const char *, int> cases[] = { { "a", 42 }, { "b", -7 }, { "c", 3 },
        { "d", -1 }, { "e", -1 }, { "f", -1 }, { "g", 5 }, { "h", -1 } };
    for (auto [key, expected] : cases)
        EXPECT_EQ(ini.readInteger("N", key, -1), expected) << key;
}

TEST_F(IniFileTest, TwoObjectsOnOneFileDoNotOverwriteEachOther)
{
    platform::IniFile a(m_path), b(m_path);
    ASSERT_TRUE(a.writeString("Screens", "MainForm32", "1"));
    ASSERT_TRUE(b.writeString("Screens", "EmployeeForm", "2"));
    ASSERT_TRUE(a.writeString("Screens", "mainform32", "3"));
    EXPECT_EQ(b.readString("Screens", "MainForm32", ""), "3");
    EXPECT_EQ(a.readString("Screens", "EmployeeForm", ""), "2");
    EXPECT_TRUE(a.deleteKey("Screens", "MAINFORM32"));
    EXPECT_FALSE(b.valueExists("Screens", "MainForm32"));
    EXPECT_EQ(readFile(), "[Screens]\nEmployeeForm=2\n");
}

TEST(IniFileLocation, FollowsXdgConfigHomeElseHomeConfig)
{
    const char *oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const char *oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";

    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(platform::IniFile::userSettingsPath("TARNW.INI"), fs::path("/cfg/TARNW.INI"));
    ::setenv("XDG_CONFIG_HOME", "relative/dir", 1); // not absolute: ignored
    EXPECT_EQ(platform::IniFile::userSettingsPath("TARNW.INI"),
        fs::path("/home/someone/.config/TARNW.INI"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::IniFile::userSettingsPath("TARNW.INI"),
        fs::path("/home/someone/.config/TARNW.INI"));

    if (oldXdg)
        ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
}

} // namespace
