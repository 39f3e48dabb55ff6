#pragma once

#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

namespace app {

// The program's help file TARNW.HLP: numbered topics in plain UTF-8 text.
//
//   ; a comment line
//   @1007 Main window                 a topic: "@", its number, a blank, its title
//   keywords: clients; tabs; toolbar  optional, right after the title line, ";"-separated
//   Any lines of text.                the topic's body up to the next "@" line;
//                                     a blank line starts a new paragraph
//
// Topics keep the file's order; that order is the contents. A second topic with a number already
// used is ignored. Lines before the first topic are not part of any topic.
class HelpFile
{
public:
    struct Topic
    {
        int number = 0;
        QString title;
        QStringList keywords;
        QString body;
    };

    static HelpFile parse(const QString &text);
    // Reads the file; nullopt when it cannot be read.
    static std::optional<HelpFile> load(const QString &path);

    const std::vector<Topic> &topics() const { return m_topics; }
    const Topic *topic(int number) const;
    // Every keyword, each once (first spelling kept), sorted without regard to case.
    QStringList keywords() const;
    // Topics with a keyword or title word beginning with `text` (without regard to case), in
    // file order; every topic for an empty text.
    std::vector<const Topic *> search(const QString &text) const;
    // A topic's body as simple HTML (paragraphs; text escaped).
    static QString html(const Topic &topic);

private:
    std::vector<Topic> m_topics;
};

} // namespace app
