// Purge Deleted Records and Reindex Data Files as the user starts them from the main window.
#include <algorithm>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>

#include "app/file_maintenance.h"
#include "app/pack_file_form.h"
#include "dbf/cursor.h"
#include "dbf/errors.h"
#include "held_by_another_program.h"
#include "main_window_setup.h"
#include "modal_answer.h"
#include "store/schema.h"
#include <gtest/gtest.h>
#include "test_application.h"

namespace fs = std::filesystem;

namespace {

using app::FileMaintenance;
using app::TPackFileForm;

// With TARNW_SHOTS naming a folder, the pack window is saved there before and after a run.
void shoot(QWidget *window, const char *name)
{
    const QString folder = qEnvironmentVariable("TARNW_SHOTS");
    if (!folder.isEmpty())
        window->grab().save(folder + QStringLiteral("/") + QString::fromLatin1(name));
}

std::vector<std::string> indexFiles(const fs::path &directory)
{
    std::vector<std::string> files;
    for (const auto &entry : fs::directory_iterator(directory))
        if (entry.path().extension() == ".MDX")
            files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

class PackWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_setup.dir.addClient("1001", "Baker");
        m_setup.dir.addClient("1002", "Adams");
        m_setup.dir.addClient("1003", "Carter");
        for (int n = 1; n <= 4; ++n)
            m_setup.dir.addSlip(n, "1003", -1);
        auto clients = dbf::Table::open(m_setup.dir.path(), "TWCLIENT", dbf::OpenMode::Shared);
        dbf::Cursor c(*clients);
        c.first(); // Baker: Carter's record moves up when it is packed away
        c.remove();
        auto slips = dbf::Table::open(m_setup.dir.path(), "TWSLIP", dbf::OpenMode::Shared);
        dbf::Cursor s(*slips);
        s.first();
        s.remove();
    }
    std::unique_ptr<app::TMainForm> makeForm(int *logins = nullptr)
    {
        auto form = std::make_unique<app::TMainForm>(
            m_setup.ini, m_setup.messages, [logins](app::MainData &data) {
                if (logins)
                    ++*logins;
                data.state().accessLevel = 9;
                return true;
            });
        form->show();
        QApplication::processEvents();
        return form;
    }

    struct ApplicationFirst
    {
        ApplicationFirst() { testApplication(); }
    } m_application; // before the first start of m_setup
    MainWindowSetup m_setup;
};

TEST_F(PackWindowTest, PurgePacksEveryTableUnderTheShownWindowAndKeepsTheClient)
{
    auto form = makeForm();
    app::MainData &data = form->data();
    ASSERT_TRUE(data.clients().findKey({ QStringLiteral("Carter") }));
    form->grab(); // the grids read their rows through readers of their own

    int progressAtEnd = -1;
    bool barHiddenBefore = false;
    QString backupText;
    answerNextModal<TPackFileForm>(form.get(), [&](TPackFileForm *w) {
        barHiddenBefore = !w->progressBar()->isVisible();
        shoot(w, "pack_before.png");
        w->PackBtnClick();
        progressAtEnd = w->progressBar()->value();
        backupText = w->backupLabel()->text();
        shoot(w, "pack_after.png");
    });
    EXPECT_TRUE(form->commands().start(app::Command::PurgeDeletedRecords));

    EXPECT_TRUE(barHiddenBefore);
    EXPECT_EQ(progressAtEnd, 11);
    EXPECT_EQ(m_setup.messages.texts(), QStringList{ FileMaintenance::completeText() });
    EXPECT_TRUE(backupText.endsWith(QStringLiteral("/backup/")
        + QStringLiteral("%1").arg(QString::fromStdString(
            fs::directory_iterator(m_setup.dir.path() / "backup")->path().filename().string()))))
        << backupText.toStdString();
    EXPECT_EQ(data.currentClientNumber(), QStringLiteral("1003"));
    EXPECT_EQ(data.dataset(app::MainData::SlipTable).recordCount(), 3u);
    for (const app::MainData::CursorDef &def : app::MainData::cursorDefs())
        EXPECT_TRUE(data.isOpen(def.cursor)) << def.name;
    auto slips = dbf::Table::open(m_setup.dir.path(), "TWSLIP", dbf::OpenMode::Shared);
    EXPECT_EQ(slips->recordCount(), 3u);
    form->close();
}

TEST_F(PackWindowTest, ReindexRestartsRebuildsEveryTagAndAsksForALoginAgain)
{
    const std::vector<std::string> before = indexFiles(m_setup.dir.path());
    ASSERT_EQ(before.size(), 9u);
    auto form = makeForm();
    int restarts = 0;
    form->restartProgram = [&] { ++restarts; };

    // No: nothing happens.
    m_setup.messages.enqueue(ui::MessageAnswer::No);
    form->commands().start(app::Command::ReindexDataFiles);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->data().state().reindexRequested);

    // Another program in the data: refused, nothing deleted, the program goes on.
    {
        HeldByAnotherProgram held(m_setup.dir.path(), "TWPROJCT");
        m_setup.messages.clear();
        m_setup.messages.enqueue(ui::MessageAnswer::Yes);
        m_setup.messages.clear();
        m_setup.messages.enqueue(ui::MessageAnswer::Yes);
        form->commands().start(app::Command::ReindexDataFiles);
    }
    EXPECT_EQ(m_setup.messages.lastText(), FileMaintenance::othersOpenText());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->data().state().reindexRequested);
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(indexFiles(m_setup.dir.path()), before);
    EXPECT_TRUE(form->data().isOpen(app::MainData::ProjectTable));

    // Yes with nobody else: the index files go, the program restarts.
    m_setup.messages.enqueue(ui::MessageAnswer::Yes);
    form->commands().start(app::Command::ReindexDataFiles);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(restarts, 1);
    EXPECT_TRUE(indexFiles(m_setup.dir.path()).empty());
    form.reset();

    // The next start builds every tag again and asks for a login.
    int logins = 0;
    auto next = makeForm(&logins);
    EXPECT_EQ(logins, 1);
    EXPECT_EQ(indexFiles(m_setup.dir.path()), before);
    for (const store::TableDef &def : store::tables()) {
        if (!def.hasIndex())
            continue;
        auto t = dbf::Table::open(m_setup.dir.path(), def.name, dbf::OpenMode::Shared);
        std::vector<std::string> tags, expected;
        for (const auto &tag : t->tags())
            tags.push_back(tag.name + " " + tag.expression);
        for (const auto &tag : def.tags)
            expected.push_back(
                QString::fromStdString(tag.name).toUpper().toStdString() + " " + tag.key);
        std::sort(tags.begin(), tags.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(tags, expected) << def.name;
    }
    EXPECT_EQ(next->data().clients().recordCount(), 2u);
    next->close();
}

} // namespace
