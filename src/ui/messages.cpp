#include "ui/messages.h"

namespace ui {

QString Messages::defaultCaption(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning:
        return QStringLiteral("Warning");
    case MessageKind::Error:
        return QStringLiteral("Error");
    case MessageKind::Information:
        return QStringLiteral("Information");
    case MessageKind::Confirmation:
        return QStringLiteral("Confirm");
    }
    return {};
}

MessageAnswer Messages::escapeAnswer(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageAnswer::Ok;
    case MessageButtons::YesNo:
        return MessageAnswer::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
        return MessageAnswer::Cancel;
    }
    return MessageAnswer::Cancel;
}

} // namespace ui
