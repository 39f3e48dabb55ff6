#pragma once

#include <QString>

namespace ui {

// What the code-entry dialog asks for. The mode decides the caption, the prompt and the longest
// code accepted; the dialog turns every letter typed to upper case.
enum class InputDialogMode { Project, Staff, Activity };

struct InputDialogLook
{
    QString caption;
    QString prompt;
    int maxLength;
    bool narrow; // the text box is drawn narrow (three-letter staff initials)
};

InputDialogLook inputDialogLook(InputDialogMode mode);

// The code entered, as the dialog hands it back: letters in upper case, cut to the mode's
// longest code. An empty result means the dialog ended as cancelled.
QString normalizeCode(const QString &typed, InputDialogMode mode);

} // namespace ui
