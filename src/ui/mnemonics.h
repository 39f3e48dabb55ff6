#pragma once

#include <QString>

class QWidget;

namespace ui {

// Settles Alt+letter clashes inside one window, where the window's texts give one letter to
// several controls. The menu bar's titles win over everything, buttons (push, tool, check and
// radio buttons) win over labels and group boxes; a loser gives up its letter: its single
// ampersand is dropped, so that it neither takes the key nor shows an underline that does
// nothing. Controls on different pages of a tab widget never clash, as only one page shows.
// Call once the window's controls exist (at the end of its constructor).
void settleMnemonics(QWidget *window);

// `text` without its mnemonic: single ampersands dropped, "&&" kept.
QString withoutMnemonic(const QString &text);

} // namespace ui
