#include "ui/input_dialog_mode.h"

namespace ui {

InputDialogLook inputDialogLook(InputDialogMode mode)
{
    switch (mode) {
    case InputDialogMode::Project:
        return { QStringLiteral("Add New Project"), QStringLiteral("Enter Project Code:"), 10,
            false };
    case InputDialogMode::Staff:
        return { QStringLiteral("Add New Staff"), QStringLiteral("Enter Staff Initials:"), 3,
            true };
    case InputDialogMode::Activity:
        return { QStringLiteral("Add New Activity"), QStringLiteral("Enter Activity Code:"), 10,
            false };
    }
    return {};
}

QString normalizeCode(const QString &typed, InputDialogMode mode)
{
    return typed.left(inputDialogLook(mode).maxLength).toUpper();
}

} // namespace ui
