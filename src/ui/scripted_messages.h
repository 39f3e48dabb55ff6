#pragma once

#include <QList>
#include <QQueue>

#include "ui/messages.h"

namespace ui {

// The test double of Messages: records every box shown and answers from a queue of scripted
// answers. With the queue empty it answers the set's first button (Ok or Yes), and counts the
// box as unscripted so that a test can tell it was not expected.
class ScriptedMessages final : public Messages
{
public:
    struct Shown
    {
        MessageKind kind;
        QString text;
        MessageButtons buttons;
        QString caption; // as shown: the kind's own caption when none was given
    };

    MessageAnswer show(MessageKind kind, const QString &text, MessageButtons buttons,
        const QString &caption = {}) override;

    void enqueue(MessageAnswer answer) { m_answers.enqueue(answer); }
    const QList<Shown> &shown() const { return m_shown; }
    QStringList texts() const;
    QString lastText() const { return m_shown.isEmpty() ? QString() : m_shown.last().text; }
    int unscripted() const { return m_unscripted; }
    int pendingAnswers() const { return int(m_answers.size()); }
    void clear();

private:
    QList<Shown> m_shown;
    QQueue<MessageAnswer> m_answers;
    int m_unscripted = 0;
};

} // namespace ui
