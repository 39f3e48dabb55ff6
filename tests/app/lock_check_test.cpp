#include "app/lock_check.h"
#include "temp_dir.h"
#include "ui/scripted_messages.h"
#include <gtest/gtest.h>

TEST(LockCheckTest, BrokenLocksAskWhetherToOpenAsTheOnlyUser)
{
    store::LockProbe broken;
    broken.probed = true;
    broken.safe = false;
    broken.problem = "the file system grants the same record lock twice";
    for (const auto &[answer, opens] :
        { std::pair{ ui::MessageAnswer::Yes, true }, std::pair{ ui::MessageAnswer::No, false } }) {
        ui::ScriptedMessages messages;
        messages.enqueue(answer);
        EXPECT_EQ(app::confirmSharedLocking(broken, QStringLiteral("/srv/data/"), messages), opens);
        ASSERT_EQ(messages.shown().size(), 1);
        EXPECT_EQ(messages.shown().first().kind, ui::MessageKind::Warning);
        EXPECT_EQ(messages.shown().first().buttons, ui::MessageButtons::YesNo);
        EXPECT_EQ(messages.shown().first().caption, QStringLiteral("Warning"));
        EXPECT_EQ(messages.lastText(),
            QStringLiteral("Record locks do not work in the data directory /srv/data/: the file "
                           "system grants the same record lock twice.  Users working at the same "
                           "time could overwrite each other's changes without a word.  Open the "
                           "data files anyway, as their only user?"));
    }
}

TEST(LockCheckTest, WorkingLocksAskNothing)
{
    TempDir dir;
    ui::ScriptedMessages messages;
    EXPECT_TRUE(app::confirmSharedLocking(dir.path(), messages));
    EXPECT_TRUE(messages.shown().isEmpty());
}
