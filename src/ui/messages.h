#pragma once

#include <QString>

namespace ui {

enum class MessageKind { Warning, Error, Information, Confirmation };
// The fixed button sets; the first button named is the default.
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// Every message box of the program goes through this service, so that rules classes can be
// driven by tests that read the texts and script the answers. Texts are shown exactly as given.
class Messages
{
public:
    virtual ~Messages() = default;

    // Shows a modal box and returns the button chosen. An empty caption gives the kind's own
    // caption ("Warning", "Error", "Information", "Confirm"). Closing the box by its frame
    // answers Cancel where the set has Cancel, No for Yes/No, Ok for Ok alone.
    virtual MessageAnswer show(MessageKind kind, const QString &text, MessageButtons buttons,
        const QString &caption = {}) = 0;

    void warning(const QString &text, const QString &caption = {})
    {
        show(MessageKind::Warning, text, MessageButtons::Ok, caption);
    }
    void error(const QString &text, const QString &caption = {})
    {
        show(MessageKind::Error, text, MessageButtons::Ok, caption);
    }
    void information(const QString &text, const QString &caption = {})
    {
        show(MessageKind::Information, text, MessageButtons::Ok, caption);
    }
    MessageAnswer confirm(const QString &text, MessageButtons buttons = MessageButtons::YesNo,
        const QString &caption = {})
    {
        return show(MessageKind::Confirmation, text, buttons, caption);
    }

    static QString defaultCaption(MessageKind kind);
    // The answer of a box closed without choosing a button.
    static MessageAnswer escapeAnswer(MessageButtons buttons);
};

} // namespace ui
