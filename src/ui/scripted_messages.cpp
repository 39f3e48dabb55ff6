#include "ui/scripted_messages.h"

#include <QStringList>

namespace ui {

MessageAnswer ScriptedMessages::show(
    MessageKind kind, const QString &text, MessageButtons buttons, const QString &caption)
{
    m_shown.append({ kind, text, buttons, caption.isEmpty() ? defaultCaption(kind) : caption });
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    ++m_unscripted;
    switch (buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
        return MessageAnswer::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return MessageAnswer::Yes;
    }
    return MessageAnswer::Ok;
}

QStringList ScriptedMessages::texts() const
{
    QStringList result;
    for (const Shown &s : m_shown)
        result << s.text;
    return result;
}

void ScriptedMessages::clear()
{
    m_shown.clear();
    m_answers.clear();
    m_unscripted = 0;
}

} // namespace ui
