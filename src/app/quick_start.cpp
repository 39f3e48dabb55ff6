#include "app/quick_start.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include "app/rtf_text.h"
#include "ui/messages.h"

namespace app {

QDialog *showQuickStart(const QString &path, ui::Messages &messages, QWidget *parent)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        messages.error(QStringLiteral("The quick start tutorial %1 cannot be opened.").arg(path));
        return nullptr;
    }
    auto *window = new QDialog(parent);
    window->setObjectName(QStringLiteral("QuickStartWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Quick Start Tutorial"));
    auto *layout = new QVBoxLayout(window);
    auto *text = new QTextBrowser(window);
    text->setObjectName(QStringLiteral("QuickStartText"));
    // The tutorial writes two blanks after a full stop, as every text of the program does.
    text->document()->setDefaultStyleSheet(QStringLiteral("p { white-space: pre-wrap; }"));
    text->setHtml(rtfToHtml(file.readAll()));
    layout->addWidget(text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::close);
    layout->addWidget(buttons);
    window->resize(640, 480);
    window->show();
    return window;
}

} // namespace app
