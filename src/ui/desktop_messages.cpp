#include "ui/desktop_messages.h"

#include <QMessageBox>

namespace ui {

DesktopMessages::DesktopMessages(QWidget *parent)
    : m_parent(parent)
{
}

MessageAnswer DesktopMessages::show(
    MessageKind kind, const QString &text, MessageButtons buttons, const QString &caption)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case MessageKind::Warning:
        icon = QMessageBox::Warning;
        break;
    case MessageKind::Error:
        icon = QMessageBox::Critical;
        break;
    case MessageKind::Information:
        icon = QMessageBox::Information;
        break;
    case MessageKind::Confirmation:
        icon = QMessageBox::Question;
        break;
    }
    QMessageBox box(icon, caption.isEmpty() ? defaultCaption(kind) : caption, text,
        QMessageBox::NoButton, m_parent.data());
    QMessageBox::StandardButton first = QMessageBox::Ok;
    switch (buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        first = QMessageBox::Yes;
        break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        first = QMessageBox::Yes;
        break;
    }
    box.setDefaultButton(first);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    default:
        return escapeAnswer(buttons);
    }
}

} // namespace ui
