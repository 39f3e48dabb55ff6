#include "ui/mnemonics.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QList>
#include <QMenuBar>
#include <QStackedWidget>

namespace ui {

namespace {

struct Owner
{
    QKeySequence key;
    const QWidget *page; // the tab page it shows on; null when it shows on every page
};

// The page of a tab widget (or any stacked widget) that `w` lies on, or null.
const QWidget *pageOf(const QWidget *w, const QWidget *window)
{
    for (const QWidget *child = w; child && child != window; child = child->parentWidget())
        if (qobject_cast<const QStackedWidget *>(child->parentWidget()))
            return child;
    return nullptr;
}

bool clashes(const QList<Owner> &owners, const QKeySequence &key, const QWidget *page)
{
    for (const Owner &o : owners)
        if (o.key == key && (!o.page || !page || o.page == page))
            return true;
    return false;
}

} // namespace

QString withoutMnemonic(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == u'&') {
            out += QStringLiteral("&&");
            ++i;
        }
    }
    return out;
}

void settleMnemonics(QWidget *window)
{
    QList<Owner> menus;
    for (const QMenuBar *bar : window->findChildren<QMenuBar *>())
        for (const QAction *a : bar->actions()) {
            const QKeySequence key = QKeySequence::mnemonic(a->text());
            if (!key.isEmpty())
                menus << Owner{ key, nullptr };
        }

    QList<Owner> buttons;
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
        const QKeySequence key = QKeySequence::mnemonic(b->text());
        if (key.isEmpty())
            continue;
        const QWidget *page = pageOf(b, window);
        if (clashes(menus, key, page))
            b->setText(withoutMnemonic(b->text()));
        else
            buttons << Owner{ key, page };
    }
    const QList<Owner> winners = menus + buttons;

    for (QLabel *l : window->findChildren<QLabel *>()) {
        const QKeySequence key = QKeySequence::mnemonic(l->text());
        if (l->buddy() && !key.isEmpty() && clashes(winners, key, pageOf(l, window)))
            l->setText(withoutMnemonic(l->text()));
    }
    for (QGroupBox *g : window->findChildren<QGroupBox *>()) {
        const QKeySequence key = QKeySequence::mnemonic(g->title());
        if (!key.isEmpty() && clashes(winners, key, pageOf(g, window)))
            g->setTitle(withoutMnemonic(g->title()));
    }
}

} // namespace ui
