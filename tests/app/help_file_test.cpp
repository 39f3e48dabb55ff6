#include "app/help_file.h"
#include <gtest/gtest.h>

namespace {

const char *const kText = "; the program's help\n"
                          "stray line before any topic\n"
                          "@1007 Main window\n"
                          "keywords: clients; tabs;toolbar\n"
                          "The main window shows one client.\r\n"
                          "\n"
                          "Second paragraph with <b>markup</b>.\n"
                          "@1014 Pack Data Files\n"
                          "Removes deleted records.\n"
                          "@1007 Duplicate\n"
                          "ignored\n"
                          "@x Not a topic number\n"
                          "ignored too\n"
                          "@2 How to use help\n"
                          "keywords: Help\n";

TEST(HelpFile, TopicsKeepOrderNumbersTitlesKeywordsAndBodies)
{
    const auto help = app::HelpFile::parse(QString::fromUtf8(kText));
    ASSERT_EQ(help.topics().size(), 3u);
    EXPECT_EQ(help.topics()[0].number, 1007);
    EXPECT_EQ(help.topics()[0].title, QStringLiteral("Main window"));
    EXPECT_EQ(help.topics()[0].keywords,
        (QStringList{
            QStringLiteral("clients"), QStringLiteral("tabs"), QStringLiteral("toolbar") }));
    EXPECT_EQ(help.topics()[0].body,
        QStringLiteral(
            "The main window shows one client.\n\nSecond paragraph with <b>markup</b>."));
    EXPECT_EQ(help.topic(1014)->body, QStringLiteral("Removes deleted records."));
    EXPECT_EQ(help.topic(2)->body, QString());
    EXPECT_EQ(help.topic(99), nullptr);
    EXPECT_EQ(help.keywords(),
        (QStringList{ QStringLiteral("clients"), QStringLiteral("Help"), QStringLiteral("tabs"),
            QStringLiteral("toolbar") }));
    const QString html = app::HelpFile::html(help.topics()[0]);
    EXPECT_TRUE(html.contains(QStringLiteral("&lt;b&gt;markup")));
    EXPECT_EQ(html.count(QStringLiteral("<p>")), 2);
}

TEST(HelpFile, SearchMatchesKeywordAndTitleWordBeginnings)
{
    const auto help = app::HelpFile::parse(QString::fromUtf8(kText));
    struct Case
    {
        const char *text;
        std::vector<int> numbers;
    };
    for (const Case &c :
        { Case{ "TAB", { 1007 } }, Case{ "data", { 1014 } }, Case{ "pack data", { 1014 } },
            Case{ "h", { 2 } }, Case{ "", { 1007, 1014, 2 } }, Case{ "zzz", {} } }) {
        std::vector<int> got;
        for (const auto *t : help.search(QString::fromLatin1(c.text)))
            got.push_back(t->number);
        EXPECT_EQ(got, c.numbers) << c.text;
    }
}

TEST(HelpFile, ShippedHelpFileHasATopicForEveryWindow)
{
    const auto help = app::HelpFile::load(QStringLiteral(TARNW_SOURCE_DIR "/data/TARNW.HLP"));
    ASSERT_TRUE(help.has_value());
    for (int topic : { 1, 1007, 1014 })
        EXPECT_NE(help->topic(topic), nullptr) << topic;
    EXPECT_GE(help->topics().size(), 15u);
}

} // namespace
