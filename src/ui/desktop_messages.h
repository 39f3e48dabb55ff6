#pragma once

#include <QPointer>
#include <QWidget>

#include "ui/messages.h"

namespace ui {

// Messages shown in QMessageBox, modal to the given parent window (or to the application when
// the parent is null or gone).
class DesktopMessages final : public Messages
{
public:
    explicit DesktopMessages(QWidget *parent = nullptr);
    MessageAnswer show(MessageKind kind, const QString &text, MessageButtons buttons,
        const QString &caption = {}) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace ui
