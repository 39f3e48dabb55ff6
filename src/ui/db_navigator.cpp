#include "ui/db_navigator.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

#include "ui/action.h"
#include "ui/messages.h"

namespace ui {

namespace {

struct ButtonLook
{
    DbNavigator::Button button;
    const char *text;
    const char *hint;
    QStyle::StandardPixmap icon;
};

const ButtonLook kLooks[] = {
    { DbNavigator::First, "First", "First record", QStyle::SP_MediaSkipBackward },
    { DbNavigator::Prior, "Prior", "Prior record", QStyle::SP_MediaSeekBackward },
    { DbNavigator::Next, "Next", "Next record", QStyle::SP_MediaSeekForward },
    { DbNavigator::Last, "Last", "Last record", QStyle::SP_MediaSkipForward },
    { DbNavigator::Insert, "Insert", "Insert record", QStyle::SP_FileDialogNewFolder },
    { DbNavigator::Delete, "Delete", "Delete record", QStyle::SP_TrashIcon },
    { DbNavigator::Edit, "Edit", "Edit record", QStyle::SP_FileDialogDetailedView },
    { DbNavigator::Post, "Post", "Post edit", QStyle::SP_DialogApplyButton },
    { DbNavigator::Cancel, "Cancel", "Cancel edit", QStyle::SP_DialogCancelButton },
    { DbNavigator::Refresh, "Refresh", "Refresh data", QStyle::SP_BrowserReload },
};

} // namespace

DbNavigator::DbNavigator(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const ButtonLook &look : kLooks) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(look.text) + QStringLiteral("Btn"));
        b->setText(QString::fromLatin1(look.text));
        b->setToolTip(QString::fromLatin1(look.hint));
        b->setIcon(style()->standardIcon(look.icon));
        b->setAutoRaise(true);
        const Button which = look.button;
        connect(b, &QToolButton::clicked, this, [this, which] { run(which); });
        layout->addWidget(b);
        m_buttons.insert(look.button, b);
    }
    updateButtons();
}

void DbNavigator::bind(Dataset *dataset, Messages *messages)
{
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_dataset = dataset;
    m_messages = messages;
    if (dataset)
        m_connections << connect(dataset, &Dataset::stateChanged, this, &DbNavigator::updateButtons)
                      << connect(dataset, &Dataset::afterScroll, this, &DbNavigator::updateButtons)
                      << connect(
                             dataset, &Dataset::recordChanged, this, &DbNavigator::updateButtons);
    updateButtons();
}

void DbNavigator::setVisibleButtons(Buttons buttons)
{
    for (auto it = m_buttons.begin(); it != m_buttons.end(); ++it)
        it.value()->setVisible(buttons.testFlag(it.key()));
}

void DbNavigator::updateButtons()
{
    const bool open = m_dataset && m_dataset->isOpen();
    const bool editing = open && m_dataset->isEditing();
    const bool browsing = open && !editing;
    const bool empty = !open || m_dataset->bookmark().recNo == 0;
    const bool atFirst = empty || m_dataset->bof();
    const bool atLast = empty || m_dataset->eof();
    m_buttons[First]->setEnabled(browsing && !atFirst);
    m_buttons[Prior]->setEnabled(browsing && !atFirst);
    m_buttons[Next]->setEnabled(browsing && !atLast);
    m_buttons[Last]->setEnabled(browsing && !atLast);
    m_buttons[Insert]->setEnabled(browsing);
    m_buttons[Delete]->setEnabled(browsing && !empty);
    m_buttons[Edit]->setEnabled(browsing && !empty);
    m_buttons[Post]->setEnabled(editing);
    m_buttons[Cancel]->setEnabled(editing);
    m_buttons[Refresh]->setEnabled(browsing);
}

void DbNavigator::click(Button b)
{
    if (m_buttons.value(b) && m_buttons[b]->isEnabled())
        run(b);
}

void DbNavigator::run(Button b)
{
    if (!m_dataset || !m_messages)
        return;
    Dataset &d = *m_dataset;
    if (b == Delete && !m_confirmDelete.isEmpty()
        && m_messages->confirm(m_confirmDelete, MessageButtons::OkCancel) != MessageAnswer::Ok)
        return;
    runAction(*m_messages, [&] {
        switch (b) {
        case First:
            d.first();
            break;
        case Prior:
            d.prior();
            break;
        case Next:
            d.next();
            break;
        case Last:
            d.last();
            break;
        case Insert:
            d.insert();
            break;
        case Delete:
            d.remove();
            break;
        case Edit:
            d.edit();
            break;
        case Post:
            d.post();
            break;
        case Cancel:
            d.cancel();
            break;
        case Refresh:
            d.refresh();
            break;
        }
    });
    updateButtons();
}

} // namespace ui
