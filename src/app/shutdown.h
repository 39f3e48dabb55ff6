#pragma once

#include <string>
#include <vector>

#include <QString>

namespace platform {
class IniFile;
}
namespace ui {
class Messages;
}

namespace app {

class MainData;

// What closing the main window does before the window goes, in order:
//
//   1. saveQuestion(): a client being edited or inserted: "Do you want to save the changes made
//      to NAME?" (Yes and No). Yes posts, No cancels. When the post is refused (the engine's
//      message is shown) the close is held back, so that the typed client is not lost without
//      the user knowing; every other case lets the close go on.
//   2. writeSettings(): ReportFont, Login Name and Hints under "Settings"; "Path" is never
//      written.
//   3. closeCursors(): every cursor of the main window.
//
// The window then saves its placement and, when a reindex was asked for, the index files are
// deleted and the program started again (reindexAndRestart()).
class Shutdown
{
public:
    Shutdown(MainData &data, ui::Messages &messages);

    static QString saveQuestionText(const QString &name);

    // Returns false only when the client could not be saved.
    bool saveQuestion();
    void writeSettings(platform::IniFile &settings);
    void closeCursors();
    // Deletes the index files of the data directory (tables closed), so that the next start
    // rebuilds them. Returns the index files that could not be deleted.
    std::vector<std::string> deleteIndexFiles();

private:
    MainData &m_data;
    ui::Messages &m_messages;
};

} // namespace app
