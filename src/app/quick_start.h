#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace ui {
class Messages;
}

namespace app {

// Shows the quick-start document (an RTF file, normally quick.doc of the data directory) in the
// program's own viewer: a non-modal window "Quick Start Tutorial", object name
// "QuickStartWindow", owned by `parent` and deleted when closed. A file that cannot be read is
// reported in an error box naming it, and nothing opens (null returned).
QDialog *showQuickStart(const QString &path, ui::Messages &messages, QWidget *parent);

} // namespace app
