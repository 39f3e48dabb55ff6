// Help › Quick Start Tutorial shows the shipped quick.doc in the program's own viewer, whatever
// the desktop has installed, and says so when the file cannot be read.
#include <filesystem>

#include <QApplication>
#include <QDialog>
#include <QTextBrowser>
#include <QTextDocument>

#include "app/main_form.h"
#include "app/quick_start.h"
#include "app/rtf_text.h"
#include "data_dir.h"
#include "platform/ini_file.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>
#include "test_application.h"

namespace {

QString plain(const QString &html)
{
    QTextDocument doc;
    doc.setHtml(html);
    return doc.toPlainText();
}

} // namespace

TEST(RtfTextTest, KeepsTextParagraphsAndEmphasis)
{
    struct Case
    {
        const char *rtf;
        const char *html;
    };
    const Case cases[] = {
        { "{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs22 Hello\\par World}",
            "<p>Hello</p><p>World</p>" },
        { "{\\rtf1 \\b Bold\\b0  plain}", "<p><b>Bold</b> plain</p>" },
        { "{\\rtf1 {\\b 1.  Setup.} Choose}", "<p><b>1.  Setup.</b> Choose</p>" },
        { "{\\rtf1 a\\'e9b \\{x\\} c\\\\d}", "<p>a\u00e9b {x} c\\d</p>" },
        { "{\\rtf1 {\\*\\generator Writer;}x\\u8364?y}", "<p>x\u20acy</p>" },
        { "{\\rtf1 A & B < C}", "<p>A &amp; B &lt; C</p>" },
        { "not rtf <at all>", "<pre>not rtf &lt;at all&gt;</pre>" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(app::rtfToHtml(QByteArray(c.rtf)), QString::fromUtf8(c.html)) << c.rtf;
}

TEST(QuickStartTest, MenuItemShowsTheShippedTutorial)
{
    testApplication();
    DataDir dir;
    std::filesystem::copy_file(
        std::filesystem::path(TARNW_SOURCE_DIR) / "data" / "quick.doc", dir.path() / "quick.doc");
    TempDir config;
    platform::IniFile ini{ config.path() / "TARNW.INI" };
    ini.writeString("Drive", "Path", dir.directory());
    ui::ScriptedMessages messages;
    app::TMainForm form(ini, messages, [](app::MainData &data) {
        data.state().accessLevel = 9;
        return true;
    });
    form.action(QStringLiteral("QuickStart"))->trigger();
    auto *window = form.findChild<QDialog *>(QStringLiteral("QuickStartWindow"));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quick Start Tutorial"));
    const QString text =
        window->findChild<QTextBrowser *>(QStringLiteral("QuickStartText"))->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Tarnwick Quick Start Tutorial")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("1.  Company setup. Choose View, Company Setup")));
    EXPECT_FALSE(text.contains(QLatin1Char('\\')));
    EXPECT_TRUE(messages.shown().isEmpty());
    window->close();
    form.close();
}

TEST(QuickStartTest, MissingFileIsReportedByName)
{
    testApplication();
    ui::ScriptedMessages messages;
    EXPECT_EQ(
        app::showQuickStart(QStringLiteral("/nonexistent/quick.doc"), messages, nullptr), nullptr);
    EXPECT_EQ(messages.texts(),
        QStringList{
            QStringLiteral("The quick start tutorial /nonexistent/quick.doc cannot be opened.") });
    EXPECT_EQ(plain(app::rtfToHtml("{\\rtf1 x}")), QStringLiteral("x"));
}
